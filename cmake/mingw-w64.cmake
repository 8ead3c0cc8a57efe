# Cross build of the Windows DLL with Debian's MinGW-w64 (posix thread model: std::thread and
# std::mutex come from winpthreads). The runtime (libgcc, libstdc++, winpthreads) is linked
# statically, so the DLL needs only the system DLLs. Included by the toolchain file of each
# target (mingw-w64-x86_64.cmake, mingw-w64-i686.cmake), which names VELCOR_MINGW_PREFIX and
# CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${VELCOR_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELCOR_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VELCOR_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${VELCOR_MINGW_PREFIX}-objdump)
set(CMAKE_NM ${VELCOR_MINGW_PREFIX}-nm)
set(CMAKE_DLLTOOL ${VELCOR_MINGW_PREFIX}-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${VELCOR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
