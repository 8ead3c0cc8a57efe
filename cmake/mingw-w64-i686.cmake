# The 32-bit x86 Windows DLL (Debian: g++-mingw-w64-i686-posix). Its exports are stdcall.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VELCOR_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
# Every x86 processor Windows still runs on has SSE2, which the pixel kernels use as on x64
# (floating point in SSE registers too, so results match the x64 build). Windows gives threads
# and callbacks stacks aligned to 4 bytes only: functions realign where SSE data needs 16.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
