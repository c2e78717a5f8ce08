#!/usr/bin/env bash
# demo_frames.sh RUNNER kxdemo.exe NATIVE_KXDEMO PNGCOMPARE WORKDIR
#
# Plays the demo twice, natively on Linux (our DirectDraw and Win32 stand-ins)
# and as a Windows build (32- or 64-bit) under Wine (Wine's own DirectDraw), saves
# the same frames from both and compares them pixel for pixel. Both runs use
# the same driver and SGL code, so every frame must come out the same.
# Exit 77 (skipped) while the Windows build has not made kxdemo.exe or its
# Wine cannot run here.
set -u
. "$(dirname "$0")/wine_log.sh"
runner=$1
windows_demo=$2
native_demo=$3
compare=$4
work=$5

frames=120
write=every:10 # frames 0, 10, ..., 110 and 119

if [ ! -f "$windows_demo" ]; then
  echo "SKIP: $windows_demo not built (cmake --preset win32/win64 and build it)"
  exit 77
fi
"$runner" --check "$windows_demo" || exit $?

rm -rf "$work/linux" "$work/wine"
mkdir -p "$work/linux" "$work/wine"

echo "== the demo on Linux"
if ! "$native_demo" --frames $frames --write $write --out "$work/linux"; then
  echo "FAIL: the Linux demo failed"
  exit 1
fi

echo "== the demo under Wine"
# Wine maps the Unix root to drive Z:.
"$runner" "$windows_demo" --frames $frames --write $write --out "Z:$work/wine" >"$work/wine.log" 2>&1
cat "$work/wine.log"
if ! wine_passed "$work/wine.log" '^kxdemo: [0-9]+ PNG frames? in '; then
  echo "FAIL: the demo under Wine failed"
  exit 1
fi

echo "== frames compared"
failures=0
linux_frames=$(cd "$work/linux" && ls frame_*.png 2>/dev/null)
wine_frames=$(cd "$work/wine" && ls frame_*.png 2>/dev/null)
if [ -z "$linux_frames" ] || [ "$linux_frames" != "$wine_frames" ]; then
  echo "FAIL: the runs saved different frames:"
  echo "  Linux: $(echo $linux_frames)"
  echo "  Wine:  $(echo $wine_frames)"
  exit 1
fi
for frame in $linux_frames; do
  printf '%s: ' "$frame"
  "$compare" "$work/linux/$frame" "$work/wine/$frame"
  case $? in
    0) ;;
    1) failures=$((failures + 1)) ;;
    *) echo "FAIL: cannot compare $frame"; exit 1 ;;
  esac
done

# The comparison itself must see a difference where there is one: the first
# and the last frame of the drive differ.
first=$(echo $linux_frames | cut -d' ' -f1)
last=$(echo $linux_frames | awk '{ print $NF }')
if "$compare" "$work/linux/$first" "$work/linux/$last" >/dev/null; then
  echo "FAIL: $first and $last compare equal; the comparison sees nothing"
  exit 1
fi

if [ $failures -ne 0 ]; then
  echo "FAIL: $failures frame(s) differ between Linux and Wine (frames kept in $work)"
  exit 1
fi
echo "PASS: $(echo $linux_frames | wc -w) frames the same on Linux and under Wine"
