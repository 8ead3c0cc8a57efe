# The tool carries a static copy of the engine and a simulator of its own for --product; the C
# API and its VelcorSim_*/VelcorWin_* helpers must still come from the shared library alone. A
# definition of one of them in the executable would interpose on the library's export, and the
# C API commands would attach their simulated cameras to the tool's simulator, which the
# library's camera object never sees.
#   cmake -DNM=<nm> -DVELCOR=<tool> -P CheckOneLibraryCopy.cmake
execute_process(COMMAND ${NM} --defined-only ${VELCOR}
  RESULT_VARIABLE status OUTPUT_VARIABLE defined ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} failed: ${err}")
endif()
string(REGEX MATCHALL "[^\n]* (Velcor|VelcorSim|VelcorWin)_[A-Za-z0-9_]+\n" copies "${defined}")
if(copies)
  message(FATAL_ERROR "the tool defines exports of the library itself:\n${copies}")
endif()
execute_process(COMMAND ${NM} -D --undefined-only ${VELCOR}
  RESULT_VARIABLE status OUTPUT_VARIABLE imported ERROR_VARIABLE err)
foreach(symbol Velcor_Initialize VelcorSim_AttachCamera VelcorWin_CreateMessageWindow)
  if(NOT imported MATCHES "U ${symbol}\n")
    message(FATAL_ERROR "the tool does not take ${symbol} from the shared library")
  endif()
endforeach()
