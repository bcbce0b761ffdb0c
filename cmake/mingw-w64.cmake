# Cross-building for 64-bit Windows with Debian's mingw-w64, the tests run under Wine:
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(tarnwick_mingw_target x86_64-w64-mingw32)
# The posix thread model: the win32 one of GCC 12 has no std::mutex, which GoogleTest needs.
set(CMAKE_C_COMPILER ${tarnwick_mingw_target}-gcc-posix)
set(CMAKE_CXX_COMPILER ${tarnwick_mingw_target}-g++-posix)
set(CMAKE_RC_COMPILER ${tarnwick_mingw_target}-windres)

# Libraries and headers come from the mingw prefix only, never from the Linux system.
set(tarnwick_mingw_prefix /usr/${tarnwick_mingw_target})
set(CMAKE_FIND_ROOT_PATH ${tarnwick_mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# So that pkg-config finds no Linux library (libtifiles) for a Windows build.
set(ENV{PKG_CONFIG_LIBDIR} ${tarnwick_mingw_prefix}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# Every program links its C and C++ runtimes in, so it runs without DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# ctest, and GoogleTest's test discovery, run the built programs under Wine.
find_program(TARNWICK_WINE wine)
if(TARNWICK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TARNWICK_WINE})
endif()
