#!/usr/bin/env bash
# The Windows recorder's goals, measured on the demo under Wine:
#   - recording costs at most 10 % more time per frame than playing without
#     the recorder, measured on the 32-bit pair (what players run) where
#     this machine runs 32-bit programs natively; under qemu-user
#     (scripts/i386.sh) 32-bit timings mean nothing, and the script says so
#     and measures the 64-bit build under wine64 instead;
#   - the 120-frame demo's trace from the 32-bit recorder is at most 1.1
#     times the Linux recorder's (lz4 both); sizes do not depend on speed,
#     so this is measured also under qemu.
# Runs alternate (plain, recorded) ROUNDS times (default 5); the best frame
# rate of each is compared, the least processor time a frame too.
#   flock /work/bench.lock bench/windows_recorder.sh [ROUNDS]
set -eu
cd "$(dirname "$0")/.."
rounds=${1:-5}
tree=$PWD
for preset in release win32 win64; do
  [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
  cmake --build "build/$preset" -j2 >/dev/null
done
scripts/wine_prefix.sh win32 >/dev/null && scripts/wine_prefix.sh win64 >/dev/null || exit 1
work=$(mktemp -d "$tree/build/windows-recorder-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

emulated=0
if [ -r /proc/sys/fs/binfmt_misc/qemu-i386 ] && grep -q '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then
  emulated=1
fi

# A game folder of one build: the demo, the driver renamed, the recorder.
folder() { # ARCH
  local dir=$work/$1 bin=$tree/build/$1/bin
  mkdir -p "$dir/plain" "$dir/recorded"
  cp "$bin/kxdemo.exe" "$bin/kxpwrvr.dll" "$bin/sgl.dll" "$dir/plain/"
  cp "$bin/kxdemo.exe" "$bin/sgl.dll" "$dir/recorded/"
  cp "$bin/kxpwrvr.dll" "$dir/recorded/kxpwrvr_real.dll"
  cp "$bin/kxtrace/kxpwrvr.dll" "$dir/recorded/"
}
# kxdemo's figures (--json) in a game folder.
fps() { jq -r '.frames / .seconds * 10 | round / 10' "$1/figures.json"; }
cpu() { jq -r '1000 * .processor_seconds / .frames * 1000 | round / 1000' "$1/figures.json"; }
best() { sort -n | tail -n1; }
least() { sort -n | head -n1; }
play() { # DIR: one run of the demo, its figures in DIR/figures.json
  rm -f "$1/figures.json"
  scripts/wine_run.sh "$1/kxdemo.exe" --write none --json "Z:$1/figures.json" >"$1/run.log" 2>&1 ||
    cat "$1/run.log"
}

timing() { # ARCH
  local arch=$1 r out
  folder "$arch"
  for r in $(seq "$rounds"); do
    play "$work/$arch/plain"
    fps "$work/$arch/plain" >>"$work/$arch.plain"
    cpu "$work/$arch/plain" >>"$work/$arch.plain.cpu"
    rm -f "$work/$arch/recorded/kxdemo.kxtrace"
    play "$work/$arch/recorded"
    fps "$work/$arch/recorded" >>"$work/$arch.recorded"
    cpu "$work/$arch/recorded" >>"$work/$arch.recorded.cpu"
  done
  local p q pc qc
  p=$(best <"$work/$arch.plain") q=$(best <"$work/$arch.recorded")
  pc=$(least <"$work/$arch.plain.cpu") qc=$(least <"$work/$arch.recorded.cpu")
  echo "$arch, best of $rounds rounds: $p frames per second plain, $q through the recorder;"
  echo "  processor time a frame, least: $pc ms plain, $qc ms through the recorder"
  awk -v p="$p" -v q="$q" -v pc="$pc" -v qc="$qc" 'BEGIN {
    extra = 100 * (p / q - 1); c = 100 * (qc / pc - 1)
    printf "  recording overhead %.1f %% more time per frame (goal <= 10 %%): %s; %.1f %% more processor time\n",
      extra, (extra <= 10 ? "met" : "NOT MET"), c }'
}

echo "== recording overhead"
if [ "$emulated" = 1 ]; then
  echo "win32: NOT MEASURED: this machine runs 32-bit programs only under qemu-user, where"
  echo "  timings mean nothing; run this script where 32-bit programs run natively."
  timing win64
else
  timing win32
  timing win64
fi

echo "== trace size of the 120-frame demo (lz4)"
[ -d "$work/win32" ] || folder win32
rm -f "$work/win32/recorded/kxdemo.kxtrace"
play "$work/win32/recorded" >/dev/null
KXTRACE_FILE="$work/linux.kxtrace" build/release/bin/kxdemo --write none \
  --driver build/release/bin/libkxtrace.so >/dev/null 2>&1
a=$(stat -c %s "$work/win32/recorded/kxdemo.kxtrace") b=$(stat -c %s "$work/linux.kxtrace")
awk -v a="$a" -v b="$b" 'BEGIN {
  printf "  32-bit Windows recorder %d bytes, Linux recorder %d bytes: %.3fx (goal <= 1.1x): %s\n",
    a, b, a / b, (a / b <= 1.1 ? "met" : "NOT MET") }'
