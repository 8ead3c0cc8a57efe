# Compares the export table of the DLL with the functions its public headers declare: the DLL
# must export exactly those, undecorated, and 149 of them are Velcor_ functions.
# Run as: cmake -DOBJDUMP=<objdump> -DLIBRARY=<dll> -DHEADERS=<include/velcor> -P CheckDllExports.cmake
execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY}
  OUTPUT_VARIABLE dump RESULT_VARIABLE dump_result)
if(NOT dump_result EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} failed on ${LIBRARY}")
endif()
# The name pointer table: lines "\t[ n] Name" after "[Ordinal/Name Pointer] Table".
string(FIND "${dump}" "[Ordinal/Name Pointer] Table" table_start)
if(table_start EQUAL -1)
  message(FATAL_ERROR "${LIBRARY} has no export name table")
endif()
string(SUBSTRING "${dump}" ${table_start} -1 table)
# The table ends at the first empty line; the sections after it have rows of the same shape.
string(FIND "${table}" "\n\n" table_end)
if(NOT table_end EQUAL -1)
  string(SUBSTRING "${table}" 0 ${table_end} table)
endif()
string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" rows "${table}")
set(exported)
foreach(row IN LISTS rows)
  string(REGEX REPLACE "^\\[ *[0-9]+\\] " "" name "${row}")
  string(STRIP "${name}" name)
  list(APPEND exported ${name})
endforeach()

include(${CMAKE_CURRENT_LIST_DIR}/../cmake/ExportCheck.cmake)
velcor_check_exports("${exported}" ${HEADERS} "export table")
