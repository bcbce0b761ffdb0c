# Cross-building for Linux on s390x: cmake -S . -B build-s390x -DCMAKE_TOOLCHAIN_FILE=cmake/s390x-linux-gnu.cmake
# s390x stores numbers high byte first, so the suite run there proves the file's byte order.
set(tarnwick_cross_arch s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
