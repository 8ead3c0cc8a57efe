# The dialog view module exports its entry function alone and stands on GTK only: it must not
# load the library or carry a copy of it.
# Run as: cmake -DMODULE=<libVelcorSdk_TX40_gtk.so> -P CheckViewModule.cmake
execute_process(COMMAND nm -D --defined-only ${MODULE}
  OUTPUT_VARIABLE nm_out RESULT_VARIABLE nm_result)
execute_process(COMMAND readelf -d ${MODULE}
  OUTPUT_VARIABLE readelf_out RESULT_VARIABLE readelf_result)
if(NOT nm_result EQUAL 0 OR NOT readelf_result EQUAL 0)
  message(FATAL_ERROR "cannot read ${MODULE}")
endif()
string(REGEX MATCHALL "[A-Za-z] [A-Za-z_][A-Za-z0-9_]*\n" lines "${nm_out}")
set(exported)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^[A-Za-z] ([A-Za-z0-9_]+)\n$" "\\1" name "${line}")
  list(APPEND exported ${name})
endforeach()
if(NOT exported STREQUAL "VelcorDialogView_Run")
  message(FATAL_ERROR "the module exports [${exported}], not VelcorDialogView_Run alone")
endif()
string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*" needed "${readelf_out}")
if(NOT needed MATCHES "libgtk-3")
  message(FATAL_ERROR "the module does not load GTK 3: ${needed}")
endif()
if(needed MATCHES "VelcorSdk")
  message(FATAL_ERROR "the module loads the library: ${needed}")
endif()
