#!/usr/bin/env bash
# wine_render_time.sh [--csmt-off] [SETTING=VALUE...] [ROUNDS]
#
# SETTING=VALUE (filter=bilinear, antialias=2, dither=on, any key of the
# settings file) is exported as KXPWRVR_<SETTING>, which both programs'
# libraries read under Wine as on Linux: the two builds timed with the
# quality settings on.
#
# The render time per frame of the shipped 32-bit pair (kxpwrvr.dll and our
# sgl.dll of build/win32) under 32-bit Wine against the 64-bit pair of
# build/win64 under wine64: the demo's trace (recorded once on Linux)
# replayed with kxreplay.exe --benchmark --loop 3, ROUNDS times each
# (default 5).
# The frame's render is its first BltToCard (two a frame: the first has the
# scene rendered, the second is a small blit); the figures are BltToCard's
# milliseconds over the trace's frames, and DrawPrimitive's microseconds a
# call. The goal: the 32-bit pair within 1.1 times the 64-bit pair's render
# time per frame.
#
# That time holds Wine's DirectDraw too (its locks and blits through
# OpenGL), which is the same in both and varies from round to round. So each
# round also times sgl.dll alone: frame_count.exe (bench/count) draws the
# benchmark frames, light and heavy, through each build's sgl.dll on the
# threads it chooses, and the heavy one again on one thread
# (KXPWRVR_THREADS=1); its figure is the median frame of the run.
#
# A shared host's speed drifts from minute to minute, so besides each
# side's median the script gives the median of the rounds' own ratios (each
# round's 32-bit figure over the 64-bit one taken just after it) and the
# ratio of the two sides' fastest rounds, the nearest to an idle host.
#
# --csmt-off: in Wine prefixes of their own with Wine's command stream
# thread off (HKCU\Software\Wine\Direct3D, csmt = 0). By default that
# thread waits for work spinning (wined3d's cs loop polls ten million times
# before it sleeps), so on a two-core machine it takes a core from
# sgl.dll's band threads while they draw: with the quality settings on the
# render time more than doubles, and the two builds' figures differ by how
# their threads met Wine's rather than by their code. Off, Wine's DirectDraw
# does its work on the caller's thread.
#
# Only meaningful where the kernel runs 32-bit programs natively: where they
# run under qemu-user (scripts/i386.sh) the 32-bit figures are the
# emulator's, and the script says so. Needs the release, win32 and win64
# builds, and Wine (scripts/deps.sh).
set -eu
cd "$(dirname "$0")/.."
csmt=on
if [ "${1:-}" = --csmt-off ]; then
  csmt=off
  shift
fi
. bench/settings_words.sh
take_settings "$@"
shift "$settings_count"
rounds=${1:-5}
bin=$PWD/build/release/bin
for f in "$bin/kxdemo" "$bin/libkxtrace.so" "$bin/kxtrace" build/win32/bin/kxreplay.exe \
  build/win64/bin/kxreplay.exe build/win32/bin/frame_count.exe build/win64/bin/frame_count.exe; do
  [ -e "$f" ] || { echo "missing $f: build the release, win32 and win64 presets first"; exit 1; }
done
if grep -qs qemu-i386 /proc/sys/fs/binfmt_misc/* 2>/dev/null; then
  echo "NOTE: 32-bit programs run under qemu-user here: the 32-bit timings are the emulator's."
fi
prefix32=build/wine-prefix32 prefix64=build/wine-prefix
if [ "$csmt" = off ]; then
  prefix32=build/wine-prefix-nocsmt32 prefix64=build/wine-prefix-nocsmt64
fi
scripts/wine_prefix.sh win32 "$prefix32" >/dev/null
scripts/wine_prefix.sh win64 "$prefix64" >/dev/null
if [ "$csmt" = off ]; then
  for arch in win32 win64; do
    p=$prefix64
    [ $arch = win32 ] && p=$prefix32
    grep -q '"csmt"=dword:00000000' "$p/user.reg" && continue
    printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
      '[HKEY_CURRENT_USER\Software\Wine\Direct3D]' '"csmt"=dword:00000000' '' \
      >"$p/drive_c/kx-csmt.reg"
    (. scripts/wine_env.sh && wine_select $arch "$p" && "$wine" regedit /S 'C:\kx-csmt.reg' &&
      "$wineserver" -w)
    grep -q '"csmt"=dword:00000000' "$p/user.reg" ||
      { echo "could not turn csmt off in $p"; exit 1; }
  done
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/kxwinrender.XXXXXX")
trap 'rm -rf "$work"' EXIT

KXTRACE_FILE="$work/demo.kxtrace" "$bin/kxdemo" --driver "$bin/libkxtrace.so" --write none \
  --out "$work/out" >/dev/null 2>&1
"$bin/kxtrace" unpack "$work/demo.kxtrace" "$work/plain.kxtrace" >/dev/null

# frame_count.exe's runs: scene, frames, threads (empty: sgl.dll's own count).
runs="light:200: heavy:60: heavy:60:1"
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# The rounds' figures of file $1 (32-bit) against file $2 (64-bit): the two
# medians, their ratio, the median of the rounds' own ratios (0 when a round
# gave no figure on one side and the rounds do not pair) and the ratio of the
# fastest rounds.
compare() {
  local a b p=0
  a=$(median <"$1")
  b=$(median <"$2")
  if [ "$(wc -l <"$1")" -eq "$(wc -l <"$2")" ]; then
    p=$(paste "$1" "$2" | awk '$2 > 0 { print $1 / $2 }' | median)
  fi
  awk -v a="$a" -v b="$b" -v p="$p" -v f="$(sort -n "$1" | head -n1)" -v g="$(sort -n "$2" | head -n1)" \
    'BEGIN { printf "%s %s %.2f %.2f %.2f\n", a, b, (b > 0 ? a / b : 0), p, (g > 0 ? f / g : 0) }'
}
# The figures a run's last JSON line gives (kxreplay --json, frame_count).
figures() { grep '^{' "$1" | tail -n1 | jq -r "$2"; }
# The two builds take turns, round by round, so that a slow spell of a
# shared host falls on both.
for r in $(seq "$rounds"); do
  for arch in win32 win64; do
    p=$prefix64
    [ $arch = win32 ] && p=$prefix32
    scripts/wine_run.sh --prefix "$p" "build/$arch/bin/kxreplay.exe" "Z:$work/plain.kxtrace" \
      --benchmark --json --loop 3 --quiet >"$work/$arch.$r.log" 2>&1 || true
    figures "$work/$arch.$r.log" '.entry_points.BltToCard.ms / .frames' >>"$work/$arch.render"
    figures "$work/$arch.$r.log" \
      '.entry_points.DrawPrimitive | 1000 * .ms / .calls' >>"$work/$arch.draw"
    for run in $runs; do
      IFS=: read -r scene count threads <<<"$run"
      KXPWRVR_THREADS=$threads scripts/wine_run.sh --prefix "$p" "build/$arch/bin/frame_count.exe" \
        "$scene" "$count" >"$work/$arch.$r.$run.log" 2>&1 || true
      figures "$work/$arch.$r.$run.log" .median_ms >>"$work/$arch.$run"
    done
  done
done
for arch in win32 win64; do
  [ -s "$work/$arch.render" ] || { echo "no figures from $arch (logs: $work)"; trap - EXIT; exit 1; }
done
read -r r32 r64 ratio paired fastest < <(compare "$work/win32.render" "$work/win64.render")
echo "settings:${settings:- none (the defaults)}; Wine's command stream thread $csmt"
echo "render time per frame (BltToCard ms / frames), median of $rounds replays of the demo trace:"
echo "  32-bit pair under 32-bit Wine  $r32 ms   (rounds: $(tr '\n' ' ' <"$work/win32.render"))"
echo "  64-bit pair under wine64       $r64 ms   (rounds: $(tr '\n' ' ' <"$work/win64.render"))"
echo "DrawPrimitive, us a call: 32-bit $(median <"$work/win32.draw"), 64-bit $(median <"$work/win64.draw")"
verdict=$(awk -v r="$ratio" 'BEGIN { print (r <= 1.10 ? "met" : "NOT MET") }')
echo "  32-bit / 64-bit: $ratio (goal <= 1.10): $verdict; median of the rounds' ratios $paired; fastest rounds $fastest"
echo "sgl.dll alone (frame_count.exe), median ms a frame over the rounds:"
for run in $runs; do
  IFS=: read -r scene _ threads <<<"$run"
  read -r a b ratio paired fastest < <(compare "$work/win32.$run" "$work/win64.$run")
  printf "  %-5s frame, threads %-7s 32-bit %s  64-bit %s  32-bit / 64-bit: %s; rounds' ratios %s; fastest %s\n" \
    "$scene" "${threads:-its own}" "$a" "$b" "$ratio" "$paired" "$fastest"
done
