#!/usr/bin/env bash
# Builds the whole test suite with AddressSanitizer and UndefinedBehaviorSanitizer (g++, the
# project's compiler, whose runtimes come with it) and runs it. Any sanitizer report aborts
# the process that made it, so the test that ran it fails. Builds in the folder given, or in
# build-san.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-san}
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

CXX=g++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_WERROR=ON \
  -DTARNWICK_TESTS=ON -DCMAKE_CXX_FLAGS="$sanitize" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
cmake --build "$build" -j2

# Stack traces for undefined behaviour too; leaks are reported at every test process's exit.
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1"
ctest --test-dir "$build" --output-on-failure --no-tests=error
