# Cross-building for macOS with zig's C++ compiler, which brings the system's headers and
# libraries and signs arm64 programs ad hoc, as Apple silicon requires. Set
# TARNWICK_MACOS_ARCH (x86_64 or aarch64), TARNWICK_MACOS_VERSION (the oldest macOS the program
# is to run on, such as 11.0) and TARNWICK_ZIG (the zig program, which .ci/macos pins);
# llvm-lipo joins the two programs into one universal program.
if(DEFINED CMAKE_CXX_VERBOSE_FLAG)  # read again, after CMake's Apple rules (below)
  set(CMAKE_CXX_VERBOSE_FLAG -v)
  return()
endif()
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR ${TARNWICK_MACOS_ARCH})
# The try_compile projects read this file too and need the same three settings.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TARNWICK_MACOS_ARCH TARNWICK_MACOS_VERSION
     TARNWICK_ZIG)
set(CMAKE_CXX_COMPILER ${TARNWICK_ZIG} c++
                       -target ${TARNWICK_MACOS_ARCH}-macos.${TARNWICK_MACOS_VERSION})
set(CMAKE_AR llvm-ar)
set(CMAKE_RANLIB llvm-ranlib)
# macOS has no static C library: the program links the system's libSystem, as every one does.
set(TARNWICK_STATIC OFF CACHE BOOL "")


# CMake's Apple rules ask the compiler what it links with -Wl,-v, which zig's linker refuses;
# this file, read again after those rules, asks without it.
set(CMAKE_USER_MAKE_RULES_OVERRIDE ${CMAKE_CURRENT_LIST_FILE})
