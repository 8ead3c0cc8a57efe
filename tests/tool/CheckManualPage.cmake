# The manual page velcor.1 is written by hand: groff (or man) must read it without a warning, and
# it must describe every command, option and setting that `velcor --help` lists. Without groff
# and man it says so, which the test takes as skipped.
#   cmake -DVELCOR=<tool> -DPAGE=<velcor.1> -P CheckManualPage.cmake
find_program(GROFF groff)
find_program(MAN man)
if(GROFF)
  execute_process(COMMAND ${GROFF} -ww -z -man "${PAGE}"
    RESULT_VARIABLE status ERROR_VARIABLE warnings)
elseif(MAN)
  execute_process(COMMAND ${MAN} --warnings -l "${PAGE}"
    RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE warnings)
else()
  message(STATUS "skipped: neither groff nor man is installed")
  return()
endif()
if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "${PAGE} does not read cleanly (${status}):\n${warnings}")
endif()

execute_process(COMMAND ${VELCOR} --help RESULT_VARIABLE status OUTPUT_VARIABLE usage)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "velcor --help exited with ${status}")
endif()
file(READ "${PAGE}" page)
# In roff a hyphen of an option is written \-.
string(REPLACE "\\-" "-" page "${page}")
# Commands: the first word of each synopsis under "commands".
string(REGEX MATCH "commands[^\n]*\n(.*)settings:" commands "${usage}")
string(REGEX MATCHALL "\n  [a-z]+" names "\n${CMAKE_MATCH_1}")
# Options: every --word of the usage.
string(REGEX MATCHALL "--[a-z-]+" options "${usage}")
# Settings: the comma separated names after "settings:" up to the exit status.
string(REGEX MATCH "settings:(.*)exit status" settings "${usage}")
string(REGEX MATCHALL "[a-z0-9]+" settings "${CMAKE_MATCH_1}")
set(missing "")
foreach(name IN LISTS names)
  string(STRIP "${name}" name)
  if(NOT page MATCHES "\n\\.B[IR]? ${name}")
    list(APPEND missing "command ${name}")
  endif()
endforeach()
foreach(name IN LISTS options settings)
  string(FIND "${page}" "${name}" at)
  if(at EQUAL -1)
    list(APPEND missing "${name}")
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "${PAGE} does not describe: ${missing}")
endif()
