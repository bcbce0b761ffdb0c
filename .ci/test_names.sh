#!/usr/bin/env bash
# Usage: test_names.sh BUILD [OTHER_BUILD]
# Checks that ctest's test names in BUILD are short (at most 100 characters) and free of
# GoogleTest's dumps of case values, and, given a second build of the same sources, that both
# list the very same names.
set -euo pipefail

names() {
  ctest --test-dir "$1" -N | sed -n 's/^ *Test *#[0-9]*: //p'
}

listed=$(names "$1")
count=$(grep -c . <<<"$listed" || true)
((count > 0)) || { echo "test_names.sh: ctest lists no test in $1" >&2; exit 1; }
long=$(awk 'length($0) > 100' <<<"$listed")
[[ -z $long ]] || { echo "test_names.sh: names longer than 100 characters:"$'\n'"$long" >&2; exit 1; }
dumps=$(grep -E 'GetParam|#' <<<"$listed" || true)
[[ -z $dumps ]] || { echo "test_names.sh: names holding values:"$'\n'"$dumps" >&2; exit 1; }
if (($# > 1)); then
  diff <(sort <<<"$listed") <(names "$2" | sort) ||
    { echo "test_names.sh: $1 and $2 list different names" >&2; exit 1; }
fi
echo "test_names.sh: $count names, none over 100 characters${2:+, the same in $2}"
