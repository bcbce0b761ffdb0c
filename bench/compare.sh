#!/usr/bin/env bash
# Measures the program against copying and scanning the same files, each ratio in this one run:
# instructions of the whole process (callgrind) converting the largest input against cp copying
# it, and converting 20 MB of line feeds, then of CR LF pairs, against wc -l counting them; peak
# resident memory; and, for information only, wall time on the line feeds (best of 3).
# Needs valgrind and GNU time (/usr/bin/time); builds what it needs in build-bench.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${TARNWICK_BENCH_BUILD:-$root/build-bench}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARNWICK_BENCH=ON \
  -DTARNWICK_TESTS=OFF >/dev/null
cmake --build "$build" -j2 >/dev/null
exe=$build/tarnwick

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# The largest input the format allows, as the benchmarks and the tests make it.
"$build/bench/tarnwick_bench" --largest-input > largest.hex
# 20 MB of line feeds, and of CR LF pairs (yes ends each line it prints with a line feed).
yes '' | head -c 20971520 > lf.hex || true
yes $'\r' | head -c 20971520 > crlf.hex || true

instructions() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}
best_seconds() {
  local best="" start end t
  for _ in 1 2 3; do
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    t=$(( (end - start) / 1000 ))
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  echo "$best"
}
# The least of five runs: the kernel counts a process's pages per processor and sums them only
# roughly, so one run can show up to 128 KB more than the process touched.
peak_kb() {
  for _ in 1 2 3 4 5; do /usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -n 1; done | sort -n | head -n 1
}
# Pages the process touched (minor page faults), which the kernel counts exactly.
pages() {
  /usr/bin/time -f '%R' "$@" 2>&1 >/dev/null | tail -n 1
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

"$exe" largest.hex | grep -q 'Success!' || { echo "largest.hex did not convert" >&2; exit 1; }
tw_ir=$(instructions "$exe" largest.hex)
cp_ir=$(instructions cp largest.hex copy.hex)
lf_ir=$(instructions "$exe" lf.hex)
wc_lf_ir=$(instructions wc -l lf.hex)
crlf_ir=$(instructions "$exe" crlf.hex)
wc_crlf_ir=$(instructions wc -l crlf.hex)
tw_us=$(best_seconds "$exe" lf.hex)
wc_us=$(best_seconds wc -l lf.hex)
peak_largest=$(peak_kb "$exe" largest.hex)
peak_lf=$(peak_kb "$exe" lf.hex)
peak_crlf=$(peak_kb "$exe" crlf.hex)
pages_largest=$(pages "$exe" largest.hex)
pages_lf=$(pages "$exe" lf.hex)

printf 'largest input (%s bytes): tarnwick %s instructions, cp %s: ratio %s (target <= 0.40)\n' \
  "$(wc -c < largest.hex)" "$tw_ir" "$cp_ir" "$(ratio "$tw_ir" "$cp_ir")"
printf '20 MB of line feeds: tarnwick %s instructions, wc -l %s: ratio %s (target <= 2)\n' \
  "$lf_ir" "$wc_lf_ir" "$(ratio "$lf_ir" "$wc_lf_ir")"
printf '20 MB of CR LF pairs: tarnwick %s instructions, wc -l %s: ratio %s (target <= 3)\n' \
  "$crlf_ir" "$wc_crlf_ir" "$(ratio "$crlf_ir" "$wc_crlf_ir")"
printf 'peak resident memory: %s KB on the largest input (target <= 944), %s KB on the line feeds, %s KB on the CR LF pairs (target <= 816)\n' \
  "$peak_largest" "$peak_lf" "$peak_crlf"
printf 'pages touched, exactly: %s on the largest input, %s on the line feeds\n' \
  "$pages_largest" "$pages_lf"
printf 'wall time on the line feeds, for information: tarnwick %d ms, wc -l %d ms (best of 3)\n' \
  $((tw_us / 1000)) $((wc_us / 1000))
