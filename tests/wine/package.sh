#!/usr/bin/env bash
# package.sh RUNNER ZIP WIN32_BIN LINUX_BIN CNC_DDRAW WORK
#
# The players' zip under the 32-bit Wine, from its own files: unpacked, its
# kxcheck.exe as a player meets it (tests/wine/kxcheck.sh); the 32-bit demo
# (the game) beside the zip's DLLs with cnc-ddraw's ddraw.dll, checked by
# kxcheck and played to the Linux demo's frames; and a trace recorded with
# the recorder folder exactly as its README.txt says, the demo's frames and
# the trace replayed on Linux compared with the Linux demo's; the zip's
# kxpwrvr.ini with settings on (frames as Linux's with the same file,
# kxcheck naming them) and a hostile one (frames unchanged, each bad line
# named in the log).
# Exit 77 (skipped) while the package or the 32-bit demo is not built, or
# the 32-bit Wine cannot run here.
set -u
. "$(dirname "$0")/wine_log.sh"
runner=$1 zip=$2 win=$3 linux=$4 cnc=$5 work=$6
here=$(cd "$(dirname "$0")" && pwd)
[ -f "$zip" ] || { echo "SKIP: $zip not built (scripts/package.sh)"; exit 77; }
[ -f "$win/kxdemo.exe" ] || { echo "SKIP: $win/kxdemo.exe not built"; exit 77; }
"$runner" --check "$win/kxdemo.exe" || exit $?
rm -rf "$work" && mkdir -p "$work/package"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
frames=20
write=every:10 # frames 0, 10 and 19
list=0,10,19

(cd "$work/package" && cmake -E tar xf "$zip") || { echo "FAIL: cannot unpack $zip"; exit 1; }
echo "== the package: $(cd "$work/package" && find . -type f | sort | tr '\n' ' ')"
# A game folder: the zip's files and the game (the 32-bit demo).
game() {
  rm -rf "$1" && mkdir -p "$1"
  cp "$work/package/kxpwrvr.dll" "$work/package/sgl.dll" "$work/package/kxcheck.exe" \
    "$win/kxdemo.exe" "$1/"
}

echo "== kxcheck.exe from the package"
"$here/kxcheck.sh" "$runner" "$work/package" "$work/kxcheck" || fail "kxcheck from the package"

echo "== the demo on Linux: the frames to match"
"$linux/kxdemo" --frames $frames --write $write --out "$work/linux" >/dev/null ||
  { echo "FAIL: the Linux demo failed"; exit 1; }

echo "== with cnc-ddraw's ddraw.dll beside the game"
if [ ! -f "$cnc" ]; then
  fail "cnc-ddraw's ddraw.dll is not at $cnc"
else
  game "$work/cnc"
  cp "$cnc" "$work/cnc/ddraw.dll"
  # Wine takes its own ddraw.dll unless told to prefer the one beside the
  # program; its loader log shows which one served.
  "$runner" --dll-override ddraw=n,b --wine-debug '-all,+loaddll' "$work/cnc/kxcheck.exe" \
    >"$work/cnc_kxcheck.out" 2>&1
  wine_passed "$work/cnc_kxcheck.out" '^kxcheck: report written to ' ||
    { cat "$work/cnc_kxcheck.out"; fail "kxcheck with cnc-ddraw did not pass"; }
  grep -Eq 'Loaded .*cnc\\\\ddraw\.dll.*native' "$work/cnc_kxcheck.out" ||
    fail "Wine did not load cnc-ddraw's ddraw.dll (see $work/cnc_kxcheck.out)"
  for text in "ddraw.dll: 32-bit" "(a DirectDraw replacement" "the frame matches the expected image" \
    "every step passed"; do
    grep -qF -- "$text" "$work/cnc/kxcheck.txt" || fail "kxcheck's report under cnc-ddraw lacks \"$text\""
  done
  # cnc-ddraw answers ShowCursor from a counter of its own while its
  # DirectDraw object lives, so the counter a host could read around Init
  # and Shutdown is not Windows'. What the player sees is the cursor's
  # state on the screen, which kxcheck reads: shown again after Shutdown.
  grep -qF "mouse cursor shown again" "$work/cnc/kxcheck.txt" ||
    fail "under cnc-ddraw the cursor is not shown again after Shutdown"
  sed -n '/^Step 1/,/^Step 2/p;/mouse cursor/p' "$work/cnc/kxcheck.txt"
  "$runner" --dll-override ddraw=n,b "$work/cnc/kxdemo.exe" --frames $frames --write $write \
    --out "Z:$work/cnc_frames" >"$work/cnc_demo.out" 2>&1
  wine_passed "$work/cnc_demo.out" '^kxdemo: [0-9]+ PNG frames? in ' ||
    { cat "$work/cnc_demo.out"; fail "the demo with cnc-ddraw failed"; }
  "$linux/kximgdiff" "$work/linux" "$work/cnc_frames" || fail "the frames under cnc-ddraw differ from Linux's"
fi

# The zip's kxpwrvr.ini beside the game, edited as its notes say (every
# key taken up, filter, antialias and dither on): the settings change the
# frames as they do on Linux with the same file, the log is written where
# the file says, and kxcheck reports the file's settings. A hostile file
# changes no frame, and the log names each of its bad lines.
# (The tests run with KXPWRVR_INI empty, no file; these runs drop it.)
echo "== the zip's kxpwrvr.ini with settings on"
settings_frames=11 settings_write=every:10 # frames 0 and 10
set_on() { # FILE: the player's edit of the shipped file, CR LF kept
  sed -e 's/^;filter = nearest/filter = bilinear/' -e 's/^;dither = off/dither = on/' \
    -e 's/^;antialias = 1/antialias = 2/' -e 's/^;log = off/log = kxpwrvr-log.txt/' \
    -e 's/^;fps_limit = 0/fps_limit = 500/' -e 's/^;threads = 0/threads = 3/' \
    -e 's/^;kernels = best/kernels = sse2/' "$work/package/kxpwrvr.ini"
}
played_with() { # NAME INI [kxcheck]: the demo (and kxcheck) in a game folder with INI
  game "$work/$1"
  cp "$2" "$work/$1/kxpwrvr.ini"
  env -u KXPWRVR_INI "$runner" "$work/$1/kxdemo.exe" --frames $settings_frames \
    --write $settings_write --out "Z:$work/$1_frames" >"$work/$1_demo.out" 2>&1
  wine_passed "$work/$1_demo.out" '^kxdemo: [0-9]+ PNG frames? in ' ||
    { cat "$work/$1_demo.out"; fail "$1: the demo failed"; }
  [ "${3:-}" = kxcheck ] || return 0
  env -u KXPWRVR_INI "$runner" "$work/$1/kxcheck.exe" >"$work/$1_kxcheck.out" 2>&1
  wine_passed "$work/$1_kxcheck.out" '^kxcheck: report written to ' ||
    { cat "$work/$1_kxcheck.out"; fail "$1: kxcheck did not pass"; }
}
linux_with() { # NAME INI: the Linux demo with the same file
  KXPWRVR_INI=$2 "$linux/kxdemo" --frames $settings_frames --write $settings_write \
    --out "$work/$1_linux" >/dev/null || fail "$1: the Linux demo failed"
}
set_on >"$work/on.ini"
[ "$(grep -c '^[a-z_]* = ' "$work/on.ini")" = 7 ] ||
  fail "the shipped kxpwrvr.ini lacks one of the lines the edit takes up (see $work/on.ini)"
played_with on "$work/on.ini" kxcheck
linux_with on "$work/on.ini"
"$linux/kximgdiff" "$work/on_linux" "$work/on_frames" || fail "with settings on, the frames differ from Linux's"
cmp -s "$work/on_linux/frame_0010.png" "$work/linux/frame_0010.png" &&
  fail "the settings on did not change the Linux demo's frame 10"
for text in "filter = bilinear (kxpwrvr.ini)" "dither = on (kxpwrvr.ini)" "antialias = 2 (kxpwrvr.ini)" \
  "fps_limit = 500 (kxpwrvr.ini)" "threads = 3 (kxpwrvr.ini)" "kernels = sse2 (kxpwrvr.ini)" \
  "log = Z:" "Pixel kernels: sse2" "the frame matches the expected image" "every step passed"; do
  grep -qF -- "$text" "$work/on/kxcheck.txt" || fail "kxcheck's report with settings on lacks \"$text\""
done
grep -q "not used:" "$work/on/kxcheck.txt" && fail "kxcheck found a line of the edited file it could not use"
# The log the file names, beside it: the demo's run, at the capped level.
grep -q "pixel kernels sse2" "$work/on/kxpwrvr-log.txt" 2>/dev/null ||
  fail "the log kxpwrvr.ini names is not beside it, or does not name the capped level"
sed -n '/^Settings:/,/^$/p' "$work/on/kxcheck.txt"

echo "== a hostile kxpwrvr.ini"
{
  # Its one good line puts the demo's messages where this test reads them.
  printf 'filter = blinear\r\nantialias = 9\r\nfps_limit = -1\r\nwhat = ever\r\nlog = hostile.txt\r\n[elsewhere]\r\n'
  head -c 1500 /dev/zero | tr '\0' x
  printf '\r\n'
  printf 'MZ\x90\x00\x03\x00\x00\x00\x04\x00\x00\x00\xff\xff' # a program's first bytes
} >"$work/hostile.ini"
played_with hostile "$work/hostile.ini"
"$linux/kximgdiff" "$work/linux/frame_0000.png" "$work/hostile_frames/frame_0000.png" &&
  "$linux/kximgdiff" "$work/linux/frame_0010.png" "$work/hostile_frames/frame_0010.png" ||
  fail "a hostile kxpwrvr.ini changed the frames"
for text in "line 1: filter" "line 2: antialias" "line 3: fps_limit" "line 4: unknown key" \
  "line 6: unknown section" "line 7: longer than 1,000" "line 8: not text"; do
  grep -qF -- "$text" "$work/hostile/hostile.txt" 2>/dev/null ||
    fail "the driver's log of a hostile file lacks \"$text\""
done

echo "== a trace, recorded as recorder/README.txt says"
game "$work/game"
(
  cd "$work/game" &&
    mv kxpwrvr.dll kxpwrvr_real.dll &&             # 1. rename the driver
    cp "$work/package/recorder/kxpwrvr.dll" . # 2. the recorder in its place
) || fail "the recorder's steps 1 and 2"
# 3. play (from the game's folder, where the runner starts it)
"$runner" "$work/game/kxdemo.exe" --frames $frames --write $write --out "Z:$work/recorded_frames" \
  >"$work/record.out" 2>&1
wine_passed "$work/record.out" '' "kxdemo: 3 PNG frames in" ||
  { cat "$work/record.out"; fail "the demo through the recorder failed"; }
# 4. the trace, named after the game, in the folder it was started from
trace=$work/game/kxdemo.kxtrace
[ -s "$trace" ] || fail "no kxdemo.kxtrace in the game's folder"
# Putting things back.
(cd "$work/game" && rm kxpwrvr.dll && mv kxpwrvr_real.dll kxpwrvr.dll) || fail "putting things back"
cmp -s "$work/game/kxpwrvr.dll" "$work/package/kxpwrvr.dll" || fail "the driver is not back in place"
"$linux/kximgdiff" "$work/linux" "$work/recorded_frames" || fail "the recorded demo's frames differ from Linux's"

echo "== the trace replayed on Linux"
if [ -s "$trace" ]; then
  "$linux/kxtrace" info "$trace" | sed -n '1,5p'
  "$linux/kxreplay" "$trace" --quiet --dump-frames "$work/replay" --frames $list ||
    fail "the trace did not replay as recorded on Linux"
  "$linux/kximgdiff" "$work/linux" "$work/replay" || fail "the trace's frames differ from Linux's"
  # Its size beside the Linux recorder's for the same frames (lz4 both).
  KXTRACE_FILE="$work/linux.kxtrace" "$linux/kxdemo" --frames $frames --write none \
    --driver "$linux/libkxtrace.so" >/dev/null 2>&1
  if [ -s "$work/linux.kxtrace" ]; then
    a=$(stat -c %s "$trace") b=$(stat -c %s "$work/linux.kxtrace")
    echo "trace sizes: 32-bit Windows recorder $a bytes, Linux recorder $b bytes," \
      "$(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.3f", a / b }')x"
  fi
fi

if [ $failures -ne 0 ]; then
  echo "FAIL: $failures check(s) failed (kept in $work)"
  exit 1
fi
echo "PASS: the package's kxcheck, the game with cnc-ddraw and a recorded trace, all as on Linux"
