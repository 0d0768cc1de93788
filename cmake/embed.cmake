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

# embed_resource_table(TARGET SYMBOL FILE...): compiles the FILEs into TARGET as one table
#   struct EmbeddedFile { const char* name; const unsigned char* data; std::size_t size; };
#   extern const EmbeddedFile SYMBOL[];   // by file name (no folder), ended by a null name
# so code finds a resource by the name its folder gives it.
function(embed_resource_table target symbol)
  set(_files)
  set(_abs_list)
  foreach(_f IN LISTS ARGN)
    get_filename_component(_abs ${_f} ABSOLUTE)
    list(APPEND _abs_list ${_abs})
  endforeach()
  string(REPLACE ";" "|" _joined "${_abs_list}")
  set(_out ${PRINTCONV_GENERATED_DIR}/embed_${symbol}.cpp)
  add_custom_command(
    OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} "-DINS=${_joined}" -DOUT=${_out} -DSYMBOL=${symbol}
            -P ${CMAKE_SOURCE_DIR}/cmake/embed_table.cmake
    DEPENDS ${_abs_list} ${CMAKE_SOURCE_DIR}/cmake/embed_table.cmake
    COMMENT "Embedding the ${symbol} table"
    VERBATIM)
  add_library(embed_${symbol} OBJECT ${_out})
  target_sources(${target} PRIVATE $<TARGET_OBJECTS:embed_${symbol}>)
endfunction()
