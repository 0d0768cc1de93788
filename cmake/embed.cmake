# embed_resource(TARGET SYMBOL FILE): compiles FILE into TARGET as
#   extern const unsigned char SYMBOL[]; extern const std::size_t SYMBOL_size;
# The generated source is built by an object library of the calling folder, because a custom
# command's output only gets a build rule from targets of the folder that declares it.
function(embed_resource target symbol file)
  get_filename_component(_abs ${file} ABSOLUTE)
  set(_out ${PRINTCONV_GENERATED_DIR}/embed_${symbol}.cpp)
  add_custom_command(
    OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -DIN=${_abs} -DOUT=${_out} -DSYMBOL=${symbol}
            -P ${CMAKE_SOURCE_DIR}/cmake/embed_file.cmake
    DEPENDS ${_abs} ${CMAKE_SOURCE_DIR}/cmake/embed_file.cmake
    COMMENT "Embedding ${file}")
  add_library(embed_${symbol} OBJECT ${_out})
  target_sources(${target} PRIVATE $<TARGET_OBJECTS:embed_${symbol}>)
endfunction()
