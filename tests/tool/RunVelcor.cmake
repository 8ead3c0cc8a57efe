# Runs the velcor tool once and checks its exit status and what it printed (standard output and
# standard error together).
#   cmake -DVELCOR=<tool> "-DARGS=<arguments, separated by spaces>" -DEXIT=<status>
#         "-DEXPECT=<regex that must match>" ["-DREJECT=<regex that must not match>"]
#         ["-DCREATES=<files, separated by |, that the run must leave behind>"] -P RunVelcor.cmake
separate_arguments(arguments UNIX_COMMAND "${ARGS}")
string(REPLACE "|" ";" CREATES "${CREATES}")
foreach(file IN LISTS CREATES)
  file(REMOVE "${file}")
endforeach()
execute_process(COMMAND ${VELCOR} ${arguments}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
set(printed "${out}${err}")
message(STATUS "velcor ${ARGS} exited with ${status}:\n${printed}")
if(NOT "${status}" STREQUAL "${EXIT}")
  message(FATAL_ERROR "exit status ${status}, expected ${EXIT}")
endif()
if(NOT printed MATCHES "${EXPECT}")
  message(FATAL_ERROR "the output does not match \"${EXPECT}\"")
endif()
if(NOT "${REJECT}" STREQUAL "" AND printed MATCHES "${REJECT}")
  message(FATAL_ERROR "the output matches \"${REJECT}\", which it must not")
endif()
foreach(file IN LISTS CREATES)
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "the run did not write ${file}")
  endif()
endforeach()
