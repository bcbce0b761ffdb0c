#!/usr/bin/env bash
# Usage: example_test.sh TARNWICK EXAMPLES_DIR VERSION
# Assembles EXAMPLES_DIR/hello.asm again, checks that the committed hello.hex is what pasmo
# makes of it, converts it with TARNWICK and checks the program file against the hex text.
# Exits 77 (a skip) where pasmo is not installed.
set -euo pipefail

tarnwick=$(realpath "$1")
examples=$(realpath "$2")
version=$3

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

out=$work/hello.86p
if [[ ! -f $out ]]; then
  fail "no hello.86p was written"
  exit 1
fi
mapfile -t bytes < <(od -An -v -tu1 -w1 "$out" | tr -d ' ')
size=${#bytes[@]}
word() { echo $((bytes[$1] + 256 * bytes[$1 + 1])); }
text() { head -c $(($1 + $2)) "$out" | tail -c "$2"; }

if ((size < 75)); then
  fail "hello.86p has $size bytes, fewer than any program file"
  exit 1
fi
[[ $(text 0 8) == '**TI86**' ]] || fail "signature is not **TI86**"
[[ "${bytes[*]:8:3}" == "26 10 0" ]] || fail "marker after the signature is not 1A 0A 00"
time_pattern='^(Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)'
time_pattern+=' [0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}$'
[[ $(text 11 24) =~ $time_pattern ]] || fail "comment does not start with a time: '$(text 11 24)'"
for ((i = 35; i < 53; i++)); do
  ((bytes[i] == 0)) || fail "comment byte $i is ${bytes[i]}, not a zero byte of its padding"
done

p=$(word 71)
((size == p + 75)) || fail "file size $size is not P + 75 for P = $p"
(($(word 53) == p + 18)) || fail "data section length $(word 53) is not P + 18 = $((p + 18))"
(($(word 55) == 12)) || fail "variable header length $(word 55) is not 12"
(($(word 57) == p + 2)) || fail "variable data length $(word 57) is not P + 2 = $((p + 2))"
(($(word 69) == p + 2)) || fail "second variable data length $(word 69) is not P + 2"
((bytes[59] == 0x12)) || fail "variable type ${bytes[59]} is not 0x12"
((bytes[60] == 8)) || fail "name length ${bytes[60]} is not 8"
[[ $(text 61 8) == hello.86 ]] || fail "variable name is '$(text 61 8)', not hello.86"

if ((size == p + 75)); then
  sum=0
  for ((i = 55; i < 73 + p; i++)); do sum=$((sum + bytes[i])); done
  (($(word $((73 + p))) == (sum & 0xFFFF))) ||
    fail "checksum $(word $((73 + p))) is not the byte sum $((sum & 0xFFFF))"
  text 73 "$p" >"$work/body"
  cmp "$work/body" "$work/expected_body" ||
    fail "program body differs from 00 AsmPrgm D6 and the data digits of hello.hex"
fi

if ((failures > 0)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "hello.hex matches pasmo's output and converts to a well-formed hello.86p"
