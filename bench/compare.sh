#!/usr/bin/env bash
# Measures the program against yardsticks run on the same files in this one run, and prints
# each figure beside its bound:
#   - instructions of the whole process (callgrind) converting the largest input against cp
#     copying it, and the same records all at address 0 (each one warning) against the clean file;
#   - converting 20 MB of line feeds, then of CR LF pairs, against wc -l counting them:
#     instructions, and wall time (medians of runs in pairs);
#   - the largest input's wall time against the durable-write floor: a small C program that
#     reads the input, writes 65 KB to a temporary file, flushes it, renames it over the output
#     and flushes the folder (medians of runs in pairs);
#   - peak resident memory.
# Exits with 1 when a figure is past its bound. Needs valgrind, GNU time (/usr/bin/time) and a C
# compiler; builds the program in build-bench.
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

# The largest input the format allows, as the benchmarks and the tests make it, and the same
# records all at address 0.
"$build/bench/tarnwick_bench" --largest-input > largest.hex
"$build/bench/tarnwick_bench" --largest-input-at-zero > zero.hex
# 20 MB of line feeds, and of CR LF pairs (yes ends each line it prints with a line feed).
yes '' | head -c 20971520 > lf.hex || true
yes $'\r' | head -c 20971520 > crlf.hex || true

# The durable-write floor: what any program that replaces its output safely must do.
cat > floor.c <<'EOF'
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>
int main(int argc, char** argv) {
  static char buf[65536], out[65592];
  int in = open(argv[1], O_RDONLY);
  while (read(in, buf, sizeof buf) > 0) {}
  close(in);
  memset(out, 'x', sizeof out);
  int fd = open("floor.tmp", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 || write(fd, out, sizeof out) != (ssize_t)sizeof out || fsync(fd) != 0) return 1;
  close(fd);
  if (rename("floor.tmp", argv[2]) != 0) return 1;
  int dir = open(".", O_RDONLY | O_DIRECTORY);
  return dir < 0 || fsync(dir) != 0;
}
EOF
cc -O2 -o floor floor.c

instructions() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}
# Microseconds of one run of the command.
micros() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null
  end=$(date +%s%N)
  echo $(((end - start) / 1000))
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# The medians of 15 runs of two commands, one after the other, as "A B": what the machine is
# doing at the time weighs on both alike.
pairs() {
  local a=$1 b=$2 i
  : > a.us
  : > b.us
  for i in $(seq 15); do
    micros $a >> a.us
    micros $b >> b.us
  done
  echo "$(median < a.us) $(median < b.us)"
}
# The least of five runs: the kernel counts a process's pages per processor and sums them only
# roughly, so one run can show up to 128 KB more than the process touched.
peak_kb() {
  for _ in 1 2 3 4 5; do /usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -n 1; done | sort -n | head -n 1
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
over=0
# check WHAT RATIO BOUND: prints the line and notes a ratio past its bound.
check() {
  local verdict=within
  if awk -v r="$2" -v b="$3" 'BEGIN { exit !(r > b) }'; then verdict=OVER; over=1; fi
  printf '%s: %s (bound %s) %s\n' "$1" "$2" "$3" "$verdict"
}

"$exe" largest.hex | grep -q 'Success!' || { echo "largest.hex did not convert" >&2; exit 1; }
tw_ir=$(instructions "$exe" largest.hex)
cp_ir=$(instructions cp largest.hex copy.hex)
zero_ir=$(instructions "$exe" zero.hex)
lf_ir=$(instructions "$exe" lf.hex)
wc_lf_ir=$(instructions wc -l lf.hex)
crlf_ir=$(instructions "$exe" crlf.hex)
wc_crlf_ir=$(instructions wc -l crlf.hex)
read -r tw_lf_us wc_lf_us < <(pairs "$exe lf.hex" "wc -l lf.hex")
read -r tw_crlf_us wc_crlf_us < <(pairs "$exe crlf.hex" "wc -l crlf.hex")
read -r tw_us floor_us < <(pairs "$exe largest.hex" "./floor largest.hex floor.86p")
peak=0
for f in largest.hex zero.hex lf.hex crlf.hex; do
  kb=$(peak_kb "$exe" "$f")
  printf 'peak resident memory on %s: %s KB\n' "$f" "$kb"
  ((kb > peak)) && peak=$kb
done

printf 'largest input (%s bytes): tarnwick %s instructions, cp %s\n' \
  "$(wc -c < largest.hex)" "$tw_ir" "$cp_ir"
check "  against cp" "$(ratio "$tw_ir" "$cp_ir")" 1.00
printf 'the same records at address 0, each warning: %s instructions\n' "$zero_ir"
check "  against the clean file" "$(ratio "$zero_ir" "$tw_ir")" 1.50
printf '20 MB of line feeds: tarnwick %s instructions and %d us, wc -l %s and %d us\n' \
  "$lf_ir" "$tw_lf_us" "$wc_lf_ir" "$wc_lf_us"
check "  instructions against wc -l" "$(ratio "$lf_ir" "$wc_lf_ir")" 10
check "  wall time against wc -l" "$(ratio "$tw_lf_us" "$wc_lf_us")" 2
printf '20 MB of CR LF pairs: tarnwick %s instructions and %d us, wc -l %s and %d us\n' \
  "$crlf_ir" "$tw_crlf_us" "$wc_crlf_ir" "$wc_crlf_us"
check "  instructions against wc -l" "$(ratio "$crlf_ir" "$wc_crlf_ir")" 10
check "  wall time against wc -l" "$(ratio "$tw_crlf_us" "$wc_crlf_us")" 2
printf 'largest input, wall time: tarnwick %d us, the durable-write floor %d us\n' \
  "$tw_us" "$floor_us"
check "  against the floor" "$(ratio "$tw_us" "$floor_us")" 1.20
check "peak resident memory, MB" "$(awk -v k="$peak" 'BEGIN { printf "%.2f", k / 1024 }')" 1.00
exit "$over"
