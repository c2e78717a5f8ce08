#!/usr/bin/env bash
# instructions_32_64.sh [SETTING=VALUE...] [FRAMES]
#
# SETTING=VALUE (filter=bilinear, antialias=2, dither=on) is exported as
# KXPWRVR_<SETTING> for both builds' runs: the counts with the quality
# settings on.
#
# Where the 32-bit sgl.dll's extra time goes, counted rather than timed (a
# machine that runs 32-bit code only under emulation times nothing useful):
# softsgl and the benchmark frames (bench/frame_scenes.h) built for i686 and
# for x86-64 with the compiler and options of the Windows builds' sgl.dll
# (GCC 12, -O3, no contraction; i686 with SSE2 float math and a 4-byte
# incoming stack, not position-independent, as a DLL is not), run under
# valgrind's callgrind, which executes both natively, counting the
# instructions of sgltri_render per frame, and the functions they go to.
# Both run the SSE2 span kernels (valgrind offers 32-bit code no AVX); the
# pixels are compared by checksum. Needs g++-multilib and valgrind.
#
# The timing a player sees is the replay of the demo trace under Wine:
# bench/wine_render_time.sh, on a machine that runs 32-bit code natively.
set -eu
cd "$(dirname "$0")/.."
. bench/settings_words.sh
take_settings "$@"
shift "$settings_count"
frames=${1:-10}
work=$(mktemp -d "${TMPDIR:-/tmp}/kxinsn.XXXXXX")
trap 'rm -rf "$work"' EXIT

sources="softsgl/*.cpp settings/*.cpp cpu/kernel_level.cpp calls/call_counter.cpp bench/frame_scenes.cpp bench/frame_queue.cpp bench/count/frame_count.cpp"
common="-std=c++17 -O3 -DNDEBUG -ffp-contract=off -fno-threadsafe-statics -fno-pie -no-pie -pthread -I. -g"
# shellcheck disable=SC2086
g++ -m32 -msse2 -mfpmath=sse -mincoming-stack-boundary=2 $common $sources -o "$work/count32"
# shellcheck disable=SC2086
g++ -m64 $common $sources -o "$work/count64"

for scene in light heavy; do
  for bits in 32 64; do
    KXPWRVR_KERNELS=sse2 KXPWRVR_THREADS=1 valgrind --tool=callgrind --toggle-collect=sgltri_render \
      --callgrind-out-file="$work/$scene.$bits.out" "$work/count$bits" $scene "$frames" \
      >"$work/$scene.$bits.txt" 2>"$work/$scene.$bits.err"
    callgrind_annotate --inclusive=no "$work/$scene.$bits.out" >"$work/$scene.$bits.annotate" 2>/dev/null
  done
  total() { sed -n 's/^ *\([0-9,]*\) .*PROGRAM TOTALS.*/\1/p' "$1" | tr -d ,; }
  t32=$(total "$work/$scene.32.annotate")
  t64=$(total "$work/$scene.64.annotate")
  echo "== $scene frame, sgltri_render, $frames frames, SSE2 spans, settings:${settings:- none}"
  echo "   pixels: i686 $(head -1 "$work/$scene.32.txt"); x86-64 $(head -1 "$work/$scene.64.txt")"
  awk -v a="$t32" -v b="$t64" -v f="$frames" 'BEGIN {
    printf "   instructions per frame: i686 %.0f, x86-64 %.0f: i686 runs %.2f times as many\n",
      a / f, b / f, a / b }'
  echo "   the functions (instructions per frame, i686 then x86-64):"
  for bits in 32 64; do
    sed -n '/^-* *$/,$p' "$work/$scene.$bits.annotate" | grep -E '^ *[0-9,]+ ' | head -8 |
      awk -v f="$frames" -v b="$bits" '{ n = $1; gsub(",", "", n); $1 = ""; $2 = "";
        sub(/^ +/, ""); sub(/\[.*$/, ""); printf "     %s-bit %10.0f  %s\n", b, n / f, substr($0, 1, 110) }'
  done
done
