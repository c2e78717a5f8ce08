#!/usr/bin/env bash
# The trace goals, measured on the demo (build/release, configured if needed):
#   - recording costs at most 10 % more time per frame than playing without
#     the recorder;
#   - kxreplay --benchmark of the demo's trace reaches at least 90 % of the
#     demo's own frames per second;
#   - the size of the 120-frame demo's trace.
# Runs alternate (plain demo, recorded demo, replay), ROUNDS times (default 5);
# the medians are compared. Run it under the benchmark lock:
#   flock /work/bench.lock bench/trace_speed.sh
set -eu
cd "$(dirname "$0")/.."
rounds=${1:-5}
[ -f build/release/CMakeCache.txt ] || cmake --preset release >/dev/null
cmake --build build/release --target kxdemo kxtrace_recorder kxreplay kxtrace_tool -j2 >/dev/null
bin=$PWD/build/release/bin
work=$(mktemp -d "${TMPDIR:-/tmp}/kxtrace-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

fps() { sed -n 's/.* frames in .* s: \([0-9.]*\) frames per second/\1/p' | tail -n1; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

for r in $(seq "$rounds"); do
  "$bin/kxdemo" --write none --out "$work/out" | fps >>"$work/plain"
  KXTRACE_FILE="$work/demo.kxtrace" "$bin/kxdemo" --driver "$bin/libkxtrace.so" --write none \
    --out "$work/out" 2>/dev/null | fps >>"$work/recorded"
  "$bin/kxreplay" "$work/demo.kxtrace" --benchmark --quiet | fps >>"$work/replayed"
done
plain=$(median <"$work/plain")
recorded=$(median <"$work/recorded")
replayed=$(median <"$work/replayed")
size=$(stat -c %s "$work/demo.kxtrace")
"$bin/kxtrace" unpack "$work/demo.kxtrace" "$work/unpacked.kxtrace" >/dev/null
unpacked=$(stat -c %s "$work/unpacked.kxtrace")

echo "trace speed, medians of $rounds rounds (frames per second of the demo's 120 frames):"
echo "  demo without recorder   $(echo "$plain" | tr , .)   ($(paste -sd' ' "$work/plain"))"
echo "  demo through recorder   $recorded   ($(paste -sd' ' "$work/recorded"))"
echo "  kxreplay --benchmark    $replayed   ($(paste -sd' ' "$work/replayed"))"
awk -v p="$plain" -v r="$recorded" -v q="$replayed" 'BEGIN {
  overhead = 100 * (p / r - 1); share = 100 * q / p
  printf "  recording overhead      %.1f %% more time per frame (goal <= 10 %%): %s\n", overhead, overhead <= 10 ? "met" : "NOT MET"
  printf "  replay speed            %.0f %% of the demo (goal >= 90 %%): %s\n", share, share >= 90 ? "met" : "NOT MET" }'
echo "  trace of 120 frames     $size bytes zstd, $unpacked bytes uncompressed"
"$bin/kxtrace" info "$work/demo.kxtrace" | sed -n '/blobs/p;/inline/p'
