# Cross-building for Linux on 32-bit ARM: cmake -S . -B build-arm -DCMAKE_TOOLCHAIN_FILE=cmake/arm-linux-gnueabi.cmake
# Debian's armel compiler makes ARMv5T code, which every Raspberry Pi runs, the ARMv6 Pi Zero
# and Pi 1 included; a static program does not care which float ABI the system uses.
set(tarnwick_cross_arch arm)
set(tarnwick_cross_triple arm-linux-gnueabi)
# The tests run on the Pi Zero's and Pi 1's core (.ci/cross.sh and .ci/release.sh read it here).
set(tarnwick_cross_cpu arm1176)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
