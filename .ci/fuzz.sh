#!/usr/bin/env bash
# Builds the libFuzzer targets (clang++, AddressSanitizer, UndefinedBehaviorSanitizer) and
# runs each on a scratch copy of its seed corpus, so a run never grows the repository.
# Any finding (crash, leak, sanitizer report, failed check) makes libFuzzer exit non-zero,
# and with it this script.
# FUZZ_SECONDS sets each target's run time (default 60), e.g. FUZZ_SECONDS=5 for a quick try.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-60}"
build=build-fuzz

CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARNWICK_FUZZ=ON -DTARNWICK_TESTS=OFF -DTARNWICK_WERROR=ON
cmake --build "$build" -j2

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

ran=0
for exe in "$build"/fuzz/fuzz_*; do
  [[ -f "$exe" && -x "$exe" ]] || continue
  ran=$((ran + 1))
  target="$(basename "$exe")"
  corpus="$scratch/$target"
  mkdir -p "$corpus"
  if [[ -d "fuzz/corpus/$target" ]]; then cp -R "fuzz/corpus/$target/." "$corpus"; fi
  echo "== $target: ${seconds}s"
  # A unit that runs for seconds is a hang, and a finding like any other.
  "$exe" -max_total_time="$seconds" -timeout=25 -print_final_stats=1 \
    -dict=fuzz/tarnwick.dict -artifact_prefix="$scratch/$target-" "$corpus" || {
    status=$?
    echo "== $target found a fault (exit $status); the input that shows it:"
    for artifact in "$scratch/$target-"*; do
      [[ -f "$artifact" ]] || continue
      echo "$artifact"
      od -A d -t x1z "$artifact" | head -40
    done
    exit "$status"
  }
done
if ((ran == 0)); then
  echo "fuzz.sh: no fuzz target was built in $build/fuzz" >&2
  exit 1
fi
echo "fuzz.sh: $ran targets ran ${seconds}s each without a finding"
