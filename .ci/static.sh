#!/usr/bin/env bash
# Static checks: formatting, clang-tidy and cppcheck, each with no finding allowed.
# Needs the compile commands of a configured build folder (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${TARNWICK_STATIC_BUILD:-build}

mapfile -t sources < <(git ls-files '*.cpp' '*.h')

echo "== clang-format"
clang-format --dry-run --Werror "${sources[@]}"

echo "== clang-tidy"
# Every file of the program, its tests and benchmarks that the build compiles.
run-clang-tidy -quiet -p "$build" -j "$(nproc)" "$PWD/(src|tests|bench)/" > "$build/clang-tidy.log" 2>&1 || {
  grep -E 'warning:|error:' "$build/clang-tidy.log" || cat "$build/clang-tidy.log"
  echo "clang-tidy found problems" >&2
  exit 1
}

echo "== cppcheck"
cppcheck --enable=warning,performance,portability --library=googletest --library=posix \
  --std=c++20 --error-exitcode=1 --inline-suppr --suppress=missingIncludeSystem --quiet \
  -I src src tests bench fuzz
echo "static checks: no findings"
