# Cross-building for Linux on another architecture with Debian's cross compilers; what is built
# runs under qemu-user. Set tarnwick_cross_arch (aarch64, s390x, arm), and
# tarnwick_cross_triple where Debian's compilers are not named ARCH-linux-gnu, and include this
# file, as cmake/aarch64-linux-gnu.cmake, cmake/s390x-linux-gnu.cmake and
# cmake/arm-linux-gnueabi.cmake do.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${tarnwick_cross_arch})
if(NOT tarnwick_cross_triple)
  set(tarnwick_cross_triple ${tarnwick_cross_arch}-linux-gnu)
endif()
set(CMAKE_C_COMPILER ${tarnwick_cross_triple}-gcc)
set(CMAKE_CXX_COMPILER ${tarnwick_cross_triple}-g++)

# Libraries and headers come from the architecture's own prefix, never from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${tarnwick_cross_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${tarnwick_cross_triple}/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# Every program is static, so the emulator needs no copy of the architecture's libraries.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
# ctest, and GoogleTest's test discovery, run the built programs under the emulator, on the
# processor tarnwick_cross_cpu names where one is set.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${tarnwick_cross_arch}-static)
if(tarnwick_cross_cpu)
  list(APPEND CMAKE_CROSSCOMPILING_EMULATOR -cpu ${tarnwick_cross_cpu})
endif()
