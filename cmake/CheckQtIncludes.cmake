# Only src/ui/ knows Qt: no other source file of the program or of its tests may include a Qt
# header. Included by the configure (fails it) and run as a test with
#   cmake -DLUMIGRID_SOURCE_DIR=<tree> -P CheckQtIncludes.cmake
# so that a file added since the configure is checked too.
if(NOT LUMIGRID_SOURCE_DIR)
  set(LUMIGRID_SOURCE_DIR "${PROJECT_SOURCE_DIR}")
endif()

file(GLOB_RECURSE lumigrid_sources_to_check
     LIST_DIRECTORIES false
     "${LUMIGRID_SOURCE_DIR}/src/*.h" "${LUMIGRID_SOURCE_DIR}/src/*.cpp"
     "${LUMIGRID_SOURCE_DIR}/src/*.in"
     "${LUMIGRID_SOURCE_DIR}/tests/*.h" "${LUMIGRID_SOURCE_DIR}/tests/*.cpp")
# Qt's headers: the class headers (<QWidget>, <QtCore/QString>) and the lower-case ones
# (<qglobal.h>); <qpdf/...> is not Qt.
set(lumigrid_qt_include_regex
    "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Za-z0-9_]*|q[a-z0-9_]*\\.h)[>\"/]")
set(lumigrid_qt_offenders "")
foreach(source IN LISTS lumigrid_sources_to_check)
  file(RELATIVE_PATH relative "${LUMIGRID_SOURCE_DIR}" "${source}")
  if(relative MATCHES "^(src|tests)/ui/")
    continue()
  endif()
  file(STRINGS "${source}" qt_includes REGEX "${lumigrid_qt_include_regex}")
  foreach(line IN LISTS qt_includes)
    string(STRIP "${line}" line)
    list(APPEND lumigrid_qt_offenders "  ${relative}: ${line}")
  endforeach()
endforeach()
if(lumigrid_qt_offenders)
  list(JOIN lumigrid_qt_offenders "\n" lumigrid_qt_offenders_text)
  message(FATAL_ERROR
          "Only src/ui/ (and its tests in tests/ui/) may include Qt headers; these files do:\n"
          "${lumigrid_qt_offenders_text}\n"
          "Move the Qt code into src/ui/ and call it from there.")
endif()
