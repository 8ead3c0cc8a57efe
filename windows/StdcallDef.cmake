# Writes the 32-bit x86 form of the export list: each stdcall function of VelcorSdk_TX40.def as
# Name@N, N being the bytes of arguments the function takes off the stack, read from the
# compiled objects. The linker (--kill-at) exports the names without @N, as on x64, and the
# import library made from the same list (dlltool -k) binds the callers' decorated references
# to those undecorated names.
# Run as: cmake -DNM=<nm> -DOBJECTS=<file listing the objects> -DDEF=<.def> -DOUT=<.def> -P StdcallDef.cmake
file(STRINGS ${OBJECTS} objects)
execute_process(COMMAND ${NM} --defined-only ${objects}
  OUTPUT_VARIABLE symbols RESULT_VARIABLE nm_result)
if(NOT nm_result EQUAL 0)
  message(FATAL_ERROR "${NM} failed on the library's objects")
endif()
# Code symbols of an i386 PE object carry a leading underscore; stdcall ones end in @N.
string(REGEX MATCHALL " T _[A-Za-z0-9_]+(@[0-9]+)?" defined "${symbols}")
set(decorated)
foreach(symbol IN LISTS defined)
  string(REGEX REPLACE "^ T _" "" symbol "${symbol}")
  list(APPEND decorated ${symbol})
endforeach()

file(STRINGS ${DEF} lines)
set(text "; Generated from VelcorSdk_TX40.def for 32-bit x86: stdcall names with their @N.\n")
foreach(line IN LISTS lines)
  if(line MATCHES "^  ([A-Za-z0-9_]+)$")
    set(name ${CMAKE_MATCH_1})
    set(found ${decorated})
    list(FILTER found INCLUDE REGEX "^${name}(@[0-9]+)?$")
    list(REMOVE_DUPLICATES found)
    list(LENGTH found count)
    if(NOT count EQUAL 1)
      message(FATAL_ERROR "export ${name}: defined as [${found}] in the library's objects")
    endif()
    string(APPEND text "  ${found}\n")
  else()
    string(APPEND text "${line}\n")
  endif()
endforeach()
# Rewritten only when it changes, so an unchanged list does not relink the DLL.
file(WRITE ${OUT}.new "${text}")
file(COPY_FILE ${OUT}.new ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.new)
