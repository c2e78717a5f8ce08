#!/usr/bin/env bash
# wine_trace.sh RUNNER WINDOWS_BIN LINUX_BIN WORK [FRAMES]
#
# Traces between Linux and a Windows build under Wine, against the frames of
# the demo played on Linux through the recorder:
#   1. that trace (uncompressed) replayed by the Windows kxreplay.exe;
#   2. the demo under Wine through the Windows recorder (bin/kxtrace/
#      kxpwrvr.dll, the real driver named by KXTRACE_DRIVER): its frames, and
#   3. the trace it wrote replayed on Linux;
#   4. the trace tools on that trace (wine_trace_tools.sh).
# Every frame must be the same bit for bit. The demo plays FRAMES frames
# (default 120; the 32-bit Wine is slow). Exit 77 (skipped) while the Windows
# build has not made its programs.
set -u
runner=$1 win=$2 linux=$3 work=$4 count=${5:-120}
for f in kxreplay.exe kxdemo.exe kxpwrvr.dll kxtrace/kxpwrvr.dll; do
  [ -f "$win/$f" ] || { echo "SKIP: $win/$f not built"; exit 77; }
done
rm -rf "$work" && mkdir -p "$work"
fail() { echo "FAIL: $*"; exit 1; }
frames=$(seq 0 10 $((count - 1)) | paste -sd, -),$((count - 1))
saved=$(echo "$frames" | tr , '\n' | sort -u | wc -l)

echo "== the demo on Linux, recorded uncompressed"
KXTRACE_COMPRESS=none KXTRACE_FILE="$work/linux.kxtrace" "$linux/kxdemo" \
  --frames "$count" --driver "$linux/libkxtrace.so" --write every:10 --out "$work/linux_demo" >/dev/null ||
  fail "the Linux demo failed"

echo "== the Linux trace replayed under Wine"
"$runner" --timeout 900 --expect '^kxreplay: every call played as recorded$' \
  "$win/kxreplay.exe" "Z:$work/linux.kxtrace" --quiet --dump-frames "Z:$work/wine_replay" \
  --frames $frames || fail "kxreplay.exe failed or differed"
"$linux/kximgdiff" "$work/linux_demo" "$work/wine_replay" || fail "frames replayed under Wine differ"

echo "== the demo under Wine through the Windows recorder"
KXTRACE_DRIVER="Z:$win/kxpwrvr.dll" KXTRACE_FILE="Z:$work/wine.kxtrace" \
  "$runner" --timeout 900 --expect '' --require "kxdemo: $saved PNG frames in" "$win/kxdemo.exe" \
  --frames "$count" --driver "Z:$win/kxtrace/kxpwrvr.dll" --write every:10 --out "Z:$work/wine_demo" ||
  fail "the demo failed under Wine through the recorder"
"$linux/kximgdiff" "$work/linux_demo" "$work/wine_demo" || fail "the recorded demo's frames differ under Wine"

echo "== the Wine trace replayed on Linux"
"$linux/kxtrace" info "$work/wine.kxtrace" | head -5
"$linux/kxreplay" "$work/wine.kxtrace" --quiet --dump-frames "$work/linux_replay" --frames $frames ||
  fail "the Wine trace failed or differed on Linux"
"$linux/kximgdiff" "$work/linux_demo" "$work/linux_replay" || fail "the Wine trace's frames differ on Linux"
"$(dirname "$0")/wine_trace_tools.sh" "$linux" "$work" || fail "the trace tools on the Wine trace"
echo "PASS: $saved frames the same: Linux, Linux trace under Wine, Wine recording, Wine trace on Linux"
