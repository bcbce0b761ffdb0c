#!/usr/bin/env bash
# clang-tidy, with no finding allowed, over every file of this checkout that a configured build
# folder compiles; fails when there is none. Further arguments go to clang-tidy.
#   bash .ci/tidy.sh BUILD [CLANG-TIDY ARGUMENTS...]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
shift

fail() {
  echo "tidy.sh: $*" >&2
  exit 1
}

# Files are named, never matched by a pattern built from the checkout's path, which may hold
# any character.
database=$build/compile_commands.json
[[ -f $database ]] || fail "$database is missing; configure the build folder first"
files=()
while IFS= read -r file; do
  grep -Fq "\"file\": \"$PWD/$file\"" "$database" && files+=("$file")
done < <(git ls-files 'src/*.cpp' 'tests/*.cpp' 'bench/*.cpp')
((${#files[@]} > 0)) || fail "$database names no source file of this checkout"

echo "== clang-tidy ($build): ${#files[@]} files"
printf '%s\0' "${files[@]}" |
  xargs -0 -n 4 -P "$(nproc)" clang-tidy --quiet -p "$build" "$@" > "$build/clang-tidy.log" 2>&1 || {
  grep -E 'warning:|error:' "$build/clang-tidy.log" || cat "$build/clang-tidy.log"
  fail "clang-tidy found problems"
}
