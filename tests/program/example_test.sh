#!/usr/bin/env bash
# Usage: example_test.sh TARNWICK EXAMPLES_DIR VERSION READ_86P
# Assembles EXAMPLES_DIR/hello.asm again, checks that the committed hello.hex is what pasmo
# makes of it, converts it with TARNWICK and checks that READ_86P finds the program file well
# formed. Its name, time and body are tifiles_test's to check, as it reads the same hello.hex.
# Exits 77 (a skip) where pasmo is not installed.
set -euo pipefail

tarnwick=$(realpath "$1")
examples=$(realpath "$2")
version=$3
read_86p=$(realpath "$4")

if ! command -v pasmo >/dev/null 2>&1; then
  source "$(dirname "$0")/../../.ci/packages.sh"
  echo "SKIP: pasmo is not installed (Debian: $(packages example))"
  exit 77
fi

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$examples/hello.asm" "$work/"
(cd "$work" && pasmo --hex hello.asm hello.hex)
if ! cmp "$work/hello.hex" "$examples/hello.hex"; then
  fail "examples/hello.hex is not what 'pasmo --hex hello.asm hello.hex' makes of hello.asm"
fi

output=$(cd "$work" && "$tarnwick" hello.hex) || fail "tarnwick exited with status $?"
expected_output="- Tarnwick ($version) -"$'\n\nConverting hello.hex\n\nOutputting hello.86p\n\nSuccess!'
[[ $output == "$expected_output" ]] || fail "unexpected console output:"$'\n'"$output"
problems=$("$read_86p" "$work/hello.86p" "$work/body") ||
  fail "hello.86p is not well formed:"$'\n'"$problems"

if ((failures > 0)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "hello.hex matches pasmo's output and converts to a well-formed hello.86p"
