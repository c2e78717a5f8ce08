#!/usr/bin/env bash
# The trace tools' goals on the 120-frame demo's trace (build/release,
# configured if needed), each the best of ROUNDS runs (default 5) on the
# clock, with the processor time (user + system) of that run beside it:
#   - kxtrace dump under 2 s;
#   - kxtrace trim and kxtrace diff under 5 s;
#   - kxreplay --draw-at under 1 s, at the first and the last drawing call and
#     one in the middle (calls with the driver stopped have nothing to draw);
#   - kxtrace report under 10 s.
# kxtrace textures and dump --json are shown too, without a goal. The load
# average is printed before and after: on a shared machine the clock figures
# are only as good as the machine was quiet. Run it under the benchmark lock:
#   flock /work/bench.lock bench/trace_tools_speed.sh
set -eu
cd "$(dirname "$0")/.."
rounds=${1:-5}
. bench/trace_bench_setup.sh kxtrace-tools-bench

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) processors"
# Two recordings of the same demo: diff compares them (they are the same).
for name in demo again; do
  KXTRACE_FILE="$work/$name.kxtrace" "$bin/kxdemo" --driver "$bin/libkxtrace.so" --write none \
    --out "$work/out" >/dev/null 2>&1
done
trace=$work/demo.kxtrace
# The trace's calls, one JSON object a line.
"$bin/kxtrace" dump "$trace" --json >"$work/calls.json"
calls=$(wc -l <"$work/calls.json")
frames=$(jq -s '[.[] | select(.entry == "PageFlip")] | length' "$work/calls.json")
echo "trace: $calls calls, $frames frames, $(stat -c %s "$trace") bytes"

TIMEFORMAT='%R %U %S'
# measure NAME GOAL_SECONDS COMMAND...: the best clock time of the rounds.
measure() {
  local name=$1 goal=$2
  shift 2
  : >"$work/times"
  for _ in $(seq "$rounds"); do
    { time "$@" >/dev/null 2>&1; } 2>>"$work/times" || { echo "  $name: FAILED ($*)"; return; }
  done
  sort -n "$work/times" | head -n1 | awk -v n="$name" -v g="$goal" '{
    cpu = $2 + $3
    verdict = g == "-" ? "" : sprintf("(goal < %s s): %s", g, $1 < g ? "met" : "NOT MET")
    printf "  %-28s %6.2f s on the clock, %5.2f s processor  %s\n", n, $1, cpu, verdict }'
}

echo "best of $rounds rounds:"
measure "dump" 2 "$bin/kxtrace" dump "$trace"
measure "dump --json" - "$bin/kxtrace" dump "$trace" --json
measure "trim --frames 30-40" 5 "$bin/kxtrace" trim "$trace" "$work/trimmed.kxtrace" --frames 30-40
measure "diff (two recordings)" 5 "$bin/kxtrace" diff "$trace" "$work/again.kxtrace"
jq 'select(.entry == "DrawPrimitive") | .call' "$work/calls.json" >"$work/draws"
for call in $(head -n1 "$work/draws") $((calls / 2)) $(tail -n1 "$work/draws"); do
  measure "--draw-at $call" 1 "$bin/kxreplay" "$trace" --draw-at "$call" --out "$work/at.png"
done
measure "textures" - "$bin/kxtrace" textures "$trace" "$work/textures"
measure "report" 10 "$bin/kxtrace" report "$trace" "$work/report.html"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
