#!/usr/bin/env bash
# Usage: make_test.sh TARNWICK README EXAMPLES_DIR
# The README's pattern rule for make, taken from its "From make" part: a HEX file builds, and a
# conversion that does not end in Success! stops the build, its lines shown. Exits 77 (a skip)
# where make is not installed.
set -euo pipefail
if ! command -v make >/dev/null 2>&1; then
  echo "SKIP: make is not installed (Debian: make)"
  exit 77
fi
tarnwick=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
awk '/^## From make$/ { part = 1 } part && /^```make$/ { block = 1; next }
     block && /^```$/ { exit } block' "$2" >"$work/Makefile"
cp "$3/hello.hex" "$3/hello.asm" "$work/"
cp "$3/hello.hex" "$work/later.hex"
mv "$work/hello.asm" "$work/source.hex"  # the source, named as its HEX file by mistake
mkdir "$work/bin" && ln -s "$tarnwick" "$work/bin/tarnwick"
cd "$work"

good=$(PATH=$work/bin:$PATH make hello.86p 2>&1) && [[ -s hello.86p && $good == *$'\nSuccess!'* ]] ||
  { echo "FAIL: make hello.86p did not build it:"$'\n'"$good"; exit 1; }
if bad=$(PATH=$work/bin:$PATH make source.86p later.86p 2>&1) || [[ -e later.86p ]] ||
  [[ $bad != *$'\nError converting source.hex: not Intel HEX!\n'* ]]; then
  echo "FAIL: a failed conversion, shown, does not stop the build:"$'\n'"$bad"
  exit 1
fi
echo "the README's rule builds hello.86p and stops the build at source.hex"
