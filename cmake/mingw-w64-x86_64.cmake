# Cross-building for 64-bit Windows from Linux with MinGW-w64 (Debian: g++-mingw-w64-x86-64).
#
# The posix-threads compilers, so that std::thread and std::mutex are there; the C++ runtime,
# libgcc and winpthreads linked statically, so that a built .exe needs no DLL beside it. Built
# programs run under Wine (cmake/wine-run.sh) in a Wine prefix of the build folder's own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# zlib (libz-mingw-w64-dev) linked statically too: preview.exe needs no zlib1.dll beside it.
set(ZLIB_USE_STATIC_LIBS ON)

if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh
                                    ${CMAKE_BINARY_DIR}/wine-prefix)
endif()
