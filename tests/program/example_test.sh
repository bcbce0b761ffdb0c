#!/usr/bin/env bash
# Usage: example_test.sh TARNWICK EXAMPLES_DIR VERSION READ_86P
# Assembles EXAMPLES_DIR/hello.asm again, checks that the committed hello.hex is what pasmo
# makes of it, converts it with TARNWICK and checks the program file, read by READ_86P, against
# the hex text.
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

# The expected program body, from the hex text alone: 00 "AsmPrgm" D6, then the data digits
# of each record with data, D6 between two of them.
printf '\0AsmPrgm\326' >"$work/expected_body"
records=0
while IFS= read -r line || [[ -n $line ]]; do
  line=${line%$'\r'}
  [[ -z $line ]] && continue
  if [[ ! $line =~ ^:[0-9A-F]+$ ]] || ((${#line} != 11 + 2 * 16#${line:1:2})); then
    fail "hello.hex has a record that is not well formed: '$line'"
    continue
  fi
  data=${line:9:${#line}-11}
  [[ -z $data ]] && continue
  ((records > 0)) && printf '\326' >>"$work/expected_body"
  printf '%s' "$data" >>"$work/expected_body"
  records=$((records + 1))
done <"$work/hello.hex"
((records > 0)) || fail "hello.hex has no data records"

output=$(cd "$work" && "$tarnwick" hello.hex) || fail "tarnwick exited with status $?"
expected_output="- Tarnwick ($version) -"$'\n\nConverting hello.hex\n\nOutputting hello.86p\n\nSuccess!'
[[ $output == "$expected_output" ]] || fail "unexpected console output:"$'\n'"$output"

# The file's fields, checked by the tests' decoder; then what it leaves to the caller.
if fields=$("$read_86p" "$work/hello.86p" "$work/body"); then
  { read -r time && read -r name; } <<<"$fields"
  time_pattern='^(Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)'
  time_pattern+=' [0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}$'
  [[ $time =~ $time_pattern ]] || fail "comment does not start with a time: '$time'"
  [[ $name == hello.86 ]] || fail "variable name is '$name', not hello.86"
  cmp "$work/body" "$work/expected_body" ||
    fail "program body differs from 00 AsmPrgm D6 and the data digits of hello.hex"
else
  fail "hello.86p is not well formed:"$'\n'"$fields"
fi

if ((failures > 0)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "hello.hex matches pasmo's output and converts to a well-formed hello.86p"
