# Cross-building for Linux on aarch64: cmake -S . -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
set(tarnwick_cross_arch aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
