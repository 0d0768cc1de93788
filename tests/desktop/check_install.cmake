# Installs BUILD_DIR into PREFIX and checks what the desktop finds there. A missing validator
# is a failure: without it nothing would be checked.
# Variables: BUILD_DIR, PREFIX, ID (application id), VERSION (project version).
foreach(_v BUILD_DIR PREFIX ID VERSION)
  if(NOT DEFINED ${_v})
    message(FATAL_ERROR "${_v} is not set")
  endif()
endforeach()

set(_failures "")
macro(fail _text)
  list(APPEND _failures "${_text}")
endmacro()

file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE _rc OUTPUT_QUIET ERROR_VARIABLE _err)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${_rc}): ${_err}")
endif()

set(_entry ${PREFIX}/share/applications/${ID}.desktop)
set(_record ${PREFIX}/share/metainfo/${ID}.metainfo.xml)
set(_svg ${PREFIX}/share/icons/hicolor/scalable/apps/${ID}.svg)
set(_png ${PREFIX}/share/icons/hicolor/48x48/apps/${ID}.png)
set(_data ${PREFIX}/share/lumivane-basic)

# The programs, and the data folder where they look for it: bin/../share/lumivane-basic/.
foreach(_prog printconv printconv-cli)
  if(NOT EXISTS ${PREFIX}/bin/${_prog} OR IS_DIRECTORY ${PREFIX}/bin/${_prog})
    fail("bin/${_prog} is not installed")
  endif()
endforeach()
foreach(_page help-en.html help-de.html shape.lib)
  if(NOT EXISTS ${PREFIX}/bin/../share/lumivane-basic/${_page})
    fail("share/lumivane-basic/${_page} is not installed")
  endif()
endforeach()

# The menu entry: valid, and naming the installed program and icon.
find_program(_dfv desktop-file-validate)
if(NOT _dfv)
  fail("desktop-file-validate is not installed (package desktop-file-utils)")
elseif(NOT EXISTS ${_entry})
  fail("share/applications/${ID}.desktop is not installed")
else()
  execute_process(COMMAND ${_dfv} ${_entry} RESULT_VARIABLE _rc OUTPUT_VARIABLE _out
                  ERROR_VARIABLE _out)
  # Hints are advice on categories; errors and warnings are defects.
  if(NOT _rc EQUAL 0 OR _out MATCHES "(error|warning):")
    fail("desktop-file-validate: ${_out}")
  endif()
  file(STRINGS ${_entry} _exec REGEX "^Exec=")
  file(STRINGS ${_entry} _icon REGEX "^Icon=")
  if(NOT _exec MATCHES "^Exec=([^ ]+)" OR NOT EXISTS ${PREFIX}/bin/${CMAKE_MATCH_1})
    fail("the entry's ${_exec} does not name an installed program")
  endif()
  if(NOT _icon STREQUAL "Icon=${ID}")
    fail("the entry's ${_icon} is not the application id ${ID}")
  endif()
endif()

# The software-centre record.
find_program(_asc appstreamcli)
if(NOT _asc)
  fail("appstreamcli is not installed (package appstream)")
elseif(NOT EXISTS ${_record})
  fail("share/metainfo/${ID}.metainfo.xml is not installed")
else()
  execute_process(COMMAND ${_asc} validate --no-net --no-color ${_record} RESULT_VARIABLE _rc
                  OUTPUT_VARIABLE _out ERROR_VARIABLE _out)
  # Errors, warnings and infos are defects; pedantic notes only object to the upper-case id
  # that reverse-domain naming asks for.
  if(NOT _rc EQUAL 0 OR _out MATCHES "(^|\n)[EWI]: ")
    fail("appstreamcli validate: ${_out}")
  endif()
  # The tree check also follows the record's launchable to the installed menu entry.
  execute_process(COMMAND ${_asc} validate-tree --no-net --no-color ${PREFIX}
                  RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _out)
  if(NOT _rc EQUAL 0 OR _out MATCHES "(^|\n)[EWI]: ")
    fail("appstreamcli validate-tree: ${_out}")
  endif()
  file(READ ${_record} _xml)
  if(NOT _xml MATCHES "<release version=\"${VERSION}\"")
    fail("the record has no release ${VERSION}, the project version")
  endif()
endif()

# The icons: the drawing and its 48 x 48 rendering (PNG signature, then IHDR width and height).
if(NOT EXISTS ${_svg})
  fail("the scalable icon is not installed")
endif()
if(NOT EXISTS ${_png})
  fail("the 48 px icon is not installed")
else()
  file(READ ${_png} _head LIMIT 24 HEX)
  if(NOT _head MATCHES "^89504e470d0a1a0a........49484452(........)(........)$")
    fail("${_png} is not a PNG file")
  elseif(NOT CMAKE_MATCH_1 STREQUAL "00000030" OR NOT CMAKE_MATCH_2 STREQUAL "00000030")
    fail("the 48 px icon is ${CMAKE_MATCH_1} x ${CMAKE_MATCH_2} (hex), not 48 x 48")
  endif()
endif()

file(REMOVE_RECURSE ${PREFIX})
if(_failures)
  list(JOIN _failures "\n  " _text)
  message(FATAL_ERROR "installation check failed:\n  ${_text}")
endif()
message(STATUS "installation under ${PREFIX} checked")
