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

# Every file of the program, its tests and benchmarks that the build compiles. Files are
# named, never matched by a pattern built from the checkout's path, which may hold any
# character.
database=$build/compile_commands.json
[[ -f $database ]] || fail "$database is missing; configure the build folder first"
tidy_files=()
while IFS= read -r file; do
  grep -Fq "\"file\": \"$PWD/$file\"" "$database" && tidy_files+=("$file")
done < <(git ls-files 'src/*.cpp' 'tests/*.cpp' 'bench/*.cpp')
((${#tidy_files[@]} > 0)) || fail "the build's compile database names no source file of this checkout"

echo "== clang-tidy: ${#tidy_files[@]} files"
printf '%s\0' "${tidy_files[@]}" |
  xargs -0 -n 4 -P "$(nproc)" clang-tidy --quiet -p "$build" > "$build/clang-tidy.log" 2>&1 || {
  grep -E 'warning:|error:' "$build/clang-tidy.log" || cat "$build/clang-tidy.log"
  fail "clang-tidy found problems"
}

echo "== cppcheck"
cppcheck --enable=warning,performance,portability --library=googletest --library=posix \
  --std=c++20 --error-exitcode=1 --inline-suppr --suppress=missingIncludeSystem --quiet \
  -I src -I "$build/src/generated" src tests bench fuzz
echo "static checks: no findings"
