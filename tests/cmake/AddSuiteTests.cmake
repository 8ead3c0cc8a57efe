# Registers the cases of the GoogleTest program TEST_EXECUTABLE with CTest in groups: one test
# per suite, or per CHUNK cases of a larger suite so that no single process becomes the long
# pole of a parallel run. Run after each build of the program; writes the registrations to
# CTEST_FILE. Suites whose name matches SKIP_REGEX are left out (they are registered
# elsewhere). Used by the sanitizer builds, where starting an instrumented process costs a
# third of a second of CPU: a process per group instead of per case saves minutes and still
# runs every case.
if(NOT CHUNK)
  set(CHUNK 16)
endif()
execute_process(COMMAND "${TEST_EXECUTABLE}" --gtest_list_tests
  OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "listing the tests of ${TEST_EXECUTABLE} failed (${status}):\n${listing}")
endif()
string(REPLACE "\n" ";" lines "${listing}")

set(script "")
set(suite "")
set(cases "")
macro(flush_suite)
  if(suite AND NOT (SKIP_REGEX AND suite MATCHES "${SKIP_REGEX}"))
    list(LENGTH cases count)
    if(count LESS_EQUAL CHUNK)
      string(APPEND script "add_test([=[${suite}]=] [=[${TEST_EXECUTABLE}]=] "
                           "[=[--gtest_filter=${suite}.*]=])\n")
    else()
      set(part 1)
      set(filter "")
      set(taken 0)
      foreach(case IN LISTS cases)
        string(APPEND filter "${suite}.${case}:")
        math(EXPR taken "${taken} + 1")
        if(taken EQUAL CHUNK)
          string(APPEND script "add_test([=[${suite}.part${part}]=] [=[${TEST_EXECUTABLE}]=] "
                               "[=[--gtest_filter=${filter}]=])\n")
          math(EXPR part "${part} + 1")
          set(filter "")
          set(taken 0)
        endif()
      endforeach()
      if(taken GREATER 0)
        string(APPEND script "add_test([=[${suite}.part${part}]=] [=[${TEST_EXECUTABLE}]=] "
                             "[=[--gtest_filter=${filter}]=])\n")
      endif()
    endif()
  endif()
endmacro()

foreach(line IN LISTS lines)
  if(line MATCHES "^([^ #][^ ]*)\\.")
    # A suite line: "Suite." or "Prefix/Suite/0.  # TypeParam = ...".
    set(next "${CMAKE_MATCH_1}")
    flush_suite()
    set(suite "${next}")
    set(cases "")
  elseif(line MATCHES "^  ([^ #]+)")
    # A case line: "  Case" or "  Case/3  # GetParam() = ...".
    list(APPEND cases "${CMAKE_MATCH_1}")
  endif()
endforeach()
flush_suite()
file(WRITE "${CTEST_FILE}" "${script}")
