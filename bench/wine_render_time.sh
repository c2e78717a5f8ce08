#!/usr/bin/env bash
# wine_render_time.sh [ROUNDS]
#
# The render time per frame of the shipped 32-bit pair (kxpwrvr.dll and our
# sgl.dll of build/win32) under 32-bit Wine against the 64-bit pair of
# build/win64 under wine64: the demo's trace (recorded once on Linux)
# replayed with kxreplay.exe --benchmark, ROUNDS times each (default 5).
# The frame's render is its first BltToCard (two a frame: the first has the
# scene rendered, the second is a small blit); the figures are BltToCard's
# milliseconds over the trace's frames, and DrawPrimitive's microseconds a
# call. The goal: the 32-bit pair within 1.1 times the 64-bit pair's render
# time per frame.
#
# Only meaningful where the kernel runs 32-bit programs natively: where they
# run under qemu-user (scripts/i386.sh) the 32-bit figures are the
# emulator's, and the script says so. Needs the release, win32 and win64
# builds, and Wine (scripts/deps.sh).
set -eu
cd "$(dirname "$0")/.."
rounds=${1:-5}
bin=$PWD/build/release/bin
for f in "$bin/kxdemo" "$bin/libkxtrace.so" "$bin/kxtrace" build/win32/bin/kxreplay.exe \
  build/win64/bin/kxreplay.exe; do
  [ -e "$f" ] || { echo "missing $f: build the release, win32 and win64 presets first"; exit 1; }
done
if grep -qs qemu-i386 /proc/sys/fs/binfmt_misc/* 2>/dev/null; then
  echo "NOTE: 32-bit programs run under qemu-user here: the 32-bit timings are the emulator's."
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/kxwinrender.XXXXXX")
trap 'rm -rf "$work"' EXIT

KXTRACE_FILE="$work/demo.kxtrace" "$bin/kxdemo" --driver "$bin/libkxtrace.so" --write none \
  --out "$work/out" >/dev/null 2>&1
"$bin/kxtrace" unpack "$work/demo.kxtrace" "$work/plain.kxtrace" >/dev/null

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
for arch in win32 win64; do
  for r in $(seq "$rounds"); do
    scripts/wine_run.sh --timeout 1200 --expect '' --log "$work/$arch.$r.log" \
      "build/$arch/bin/kxreplay.exe" "Z:$work/plain.kxtrace" --benchmark --quiet >/dev/null || true
    frames=$(sed -n 's/.*calls, \([0-9]*\) frames in .*/\1/p' "$work/$arch.$r.log" | tail -n1)
    awk -v f="$frames" '$1 == "BltToCard" { print $3 / f }' "$work/$arch.$r.log" >>"$work/$arch.render"
    awk '$1 == "DrawPrimitive" { print $4 }' "$work/$arch.$r.log" >>"$work/$arch.draw"
  done
  [ -s "$work/$arch.render" ] || { echo "no figures from $arch (logs: $work)"; trap - EXIT; exit 1; }
done
r32=$(median <"$work/win32.render")
r64=$(median <"$work/win64.render")
echo "render time per frame (BltToCard ms / frames), median of $rounds replays of the demo trace:"
echo "  32-bit pair under 32-bit Wine  $r32 ms   (rounds: $(tr '\n' ' ' <"$work/win32.render"))"
echo "  64-bit pair under wine64       $r64 ms   (rounds: $(tr '\n' ' ' <"$work/win64.render"))"
echo "DrawPrimitive, us a call: 32-bit $(median <"$work/win32.draw"), 64-bit $(median <"$work/win64.draw")"
awk -v a="$r32" -v b="$r64" 'BEGIN { printf "  32-bit / 64-bit: %.2f (goal <= 1.10): %s\n", a / b, (a / b <= 1.10 ? "met" : "NOT MET") }'
