#!/usr/bin/env bash
# Static checks: formatting, clang-tidy and cppcheck, each with no finding allowed, and each
# failing when it found nothing to check. Needs the compile commands of a configured build
# folder (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${TARNWICK_STATIC_BUILD:-build}

fail() {
  echo "static.sh: $*" >&2
  exit 1
}

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
((${#sources[@]} > 0)) || fail "git lists no C++ source to check"

echo "== clang-format: ${#sources[@]} files"
clang-format --dry-run --Werror "${sources[@]}"

# Every file of the program, its tests and benchmarks that the build compiles.
bash .ci/tidy.sh "$build"

echo "== cppcheck"
cppcheck --enable=warning,performance,portability --library=googletest --library=posix \
  --std=c++20 --error-exitcode=1 --inline-suppr --suppress=missingIncludeSystem --quiet \
  -I src -I "$build/src/generated" src tests bench fuzz
echo "static checks: no findings"
