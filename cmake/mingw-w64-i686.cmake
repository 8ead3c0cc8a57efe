# The 32-bit x86 Windows DLL (Debian: g++-mingw-w64-i686-posix). Its exports are stdcall.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VELCOR_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
