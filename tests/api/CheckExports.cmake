# Compares the dynamic symbols the library defines with the functions its public headers
# declare: the library must export exactly those, and 149 of them are Velcor_ functions.
# Run as: cmake -DLIBRARY=<lib> -DHEADERS=<include/velcor> -P CheckExports.cmake
execute_process(COMMAND nm -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE nm_out RESULT_VARIABLE nm_result)
if(NOT nm_result EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[A-Za-z] [A-Za-z_][A-Za-z0-9_]*\n" lines "${nm_out}")
set(exported)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^[A-Za-z] ([A-Za-z0-9_]+)\n$" "\\1" name "${line}")
  list(APPEND exported ${name})
endforeach()

include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/ExportCheck.cmake)
velcor_check_exports("${exported}" ${HEADERS} "export set")
