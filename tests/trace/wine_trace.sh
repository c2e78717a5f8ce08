#!/usr/bin/env bash
# wine_trace.sh RUNNER WINDOWS_BIN LINUX_BIN WORK [FRAMES [SETTINGS_REPLAY]]
#
# Traces between Linux and a Windows build under Wine, against the frames of
# the demo played on Linux through the recorder:
#   1. that trace (uncompressed) replayed by the Windows kxreplay.exe, and
#      (unless SETTINGS_REPLAY is 0) a short one recorded with filtering and
#      dithering on, which kxreplay.exe must replay with them;
#   2. the demo under Wine through the Windows recorder (bin/kxtrace/
#      kxpwrvr.dll, the real driver named by KXTRACE_DRIVER), with a frame
#      limit the trace must keep: its frames, and
#   3. the trace it wrote replayed on Linux;
#   4. the trace tools on that trace (wine_trace_tools.sh).
# Every frame must be the same bit for bit. The demo plays FRAMES frames
# (default 120; the 32-bit Wine is slow). Exit 77 (skipped) while the Windows
# build has not made its programs or its Wine cannot run here.
set -u
. "$(dirname "$0")/../wine/wine_log.sh"
runner=$1 win=$2 linux=$3 work=$4 count=${5:-120} settings_replay=${6:-1}
for f in kxreplay.exe kxdemo.exe kxpwrvr.dll kxtrace/kxpwrvr.dll; do
  [ -f "$win/$f" ] || { echo "SKIP: $win/$f not built"; exit 77; }
done
"$runner" --check "$win/kxdemo.exe" || exit $?
rm -rf "$work" && mkdir -p "$work"
fail() { echo "FAIL: $*"; exit 1; }
frames=$(seq 0 10 $((count - 1)) | paste -sd, -),$((count - 1))
saved=$(echo "$frames" | tr , '\n' | sort -u | wc -l)

echo "== the demo on Linux, recorded uncompressed"
KXTRACE_COMPRESS=none KXTRACE_FILE="$work/linux.kxtrace" "$linux/kxdemo" \
  --frames "$count" --driver "$linux/libkxtrace.so" --write every:10 --out "$work/linux_demo" >/dev/null ||
  fail "the Linux demo failed"

echo "== the Linux trace replayed under Wine"
"$runner" "$win/kxreplay.exe" "Z:$work/linux.kxtrace" --quiet --dump-frames "Z:$work/wine_replay" \
  --frames $frames >"$work/wine_replay.log" 2>&1
cat "$work/wine_replay.log"
wine_passed "$work/wine_replay.log" '^kxreplay: every call played as recorded$' ||
  fail "kxreplay.exe failed or differed"
"$linux/kximgdiff" "$work/linux_demo" "$work/wine_replay" || fail "frames replayed under Wine differ"

if [ "$settings_replay" = 1 ]; then
  echo "== a Linux trace with filtering and dithering replayed under Wine, with them"
  KXPWRVR_FILTER=bilinear KXPWRVR_DITHER=on KXTRACE_FILE="$work/settings.kxtrace" "$linux/kxdemo" \
    --frames 3 --driver "$linux/libkxtrace.so" --write 2 --out "$work/settings_demo" >/dev/null ||
    fail "the Linux demo with settings failed"
  "$runner" "$win/kxreplay.exe" "Z:$work/settings.kxtrace" --quiet \
    --dump-frames "Z:$work/settings_wine" --frames 2 >"$work/settings_wine.log" 2>&1
  cat "$work/settings_wine.log"
  wine_passed "$work/settings_wine.log" '^kxreplay: every call played as recorded$' \
    "settings filter = bilinear, antialias = 1, dither = on" ||
    fail "kxreplay.exe did not replay the trace with its settings"
  "$linux/kximgdiff" "$work/settings_demo" "$work/settings_wine" ||
    fail "frames replayed under Wine with the trace's settings differ"
fi

echo "== the demo under Wine through the Windows recorder"
# A frame limit changes no frame; the trace must keep it.
KXPWRVR_FPS_LIMIT=1000 KXTRACE_DRIVER="Z:$win/kxpwrvr.dll" KXTRACE_FILE="Z:$work/wine.kxtrace" \
  "$runner" "$win/kxdemo.exe" --frames "$count" --driver "Z:$win/kxtrace/kxpwrvr.dll" \
  --write every:10 --out "Z:$work/wine_demo" >"$work/wine_demo.log" 2>&1
cat "$work/wine_demo.log"
wine_passed "$work/wine_demo.log" '' "kxdemo: $saved PNG frames in" ||
  fail "the demo failed under Wine through the recorder"
"$linux/kximgdiff" "$work/linux_demo" "$work/wine_demo" || fail "the recorded demo's frames differ under Wine"

echo "== the Wine trace replayed on Linux"
"$linux/kxtrace" info "$work/wine.kxtrace" >"$work/wine_info.txt" || fail "kxtrace info failed"
head -6 "$work/wine_info.txt"
grep -q "settings .*, fps_limit = 1000$" "$work/wine_info.txt" ||
  fail "the Windows recording does not carry the settings it was made with"
"$linux/kxreplay" "$work/wine.kxtrace" --quiet --dump-frames "$work/linux_replay" --frames $frames ||
  fail "the Wine trace failed or differed on Linux"
"$linux/kximgdiff" "$work/linux_demo" "$work/linux_replay" || fail "the Wine trace's frames differ on Linux"
"$(dirname "$0")/wine_trace_tools.sh" "$linux" "$work" || fail "the trace tools on the Wine trace"
echo "PASS: $saved frames the same: Linux, Linux trace under Wine, Wine recording, Wine trace on Linux"
