#!/usr/bin/env bash
# Usage: srec_test.sh TARNWICK READ_86P
# Files srec_cat writes for one program, at record sizes 16 and 255, its extended address
# record of 0000 included: each converts without a warning, and the program's rows, joined,
# are the program's bytes in hex. Exits 77 (a skip) where srec_cat is not installed.
set -euo pipefail

tarnwick=$(realpath "$1")
read_86p=$(realpath "$2")
if ! command -v srec_cat >/dev/null 2>&1; then
  echo "SKIP: srec_cat is not installed (Debian: srecord)"
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# 1000 bytes of every value, so that records of 255 bytes fill up.
for i in 1 2 3 4; do printf "$(printf '\\%03o' $(seq 0 255) | tr -d '\n')"; done | head -c 1000 >prog.bin
expected=$(od -An -v -tx1 prog.bin | tr -d ' \n' | tr a-f A-F)
failures=0
for size in 16 255; do
  srec_cat prog.bin -binary -offset 0xD748 -o "p$size.hex" -intel "-obs=$size"
  output=$("$tarnwick" "p$size.hex")
  if [[ $output == *Warning* || $output != *$'\nSuccess!' ]]; then
    echo "FAIL: records of $size bytes:"$'\n'"$output"
    failures=$((failures + 1))
  fi
  # The body, read back by the tests' decoder, is 00 "AsmPrgm" D6, then the rows, D6 between two.
  if ! problems=$("$read_86p" "p$size.86p" body); then
    echo "FAIL: p$size.86p: $problems"
    failures=$((failures + 1))
    continue
  fi
  rows=$(tail -c +10 body | tr -d '\326')
  if [[ $rows != "$expected" ]]; then
    echo "FAIL: records of $size bytes: the rows are not the program's bytes"
    failures=$((failures + 1))
  fi
done
((failures == 0))
