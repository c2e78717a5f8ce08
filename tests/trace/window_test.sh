#!/usr/bin/env bash
# window_test.sh BIN WORK TRACE
#
# kxdemo --window and kxreplay --window on a private X server (Xvfb, 640 x
# 480, its screen kept in a file): the window's pixels must be the frame the
# program writes as PNG, bit for bit, and the keys (xdotool presses them) must
# pause, step a frame, step a call, play on and quit. Exit 77 (skipped)
# without Xvfb or xdotool.
set -u
bin=$1 work=$2 trace=$3
here=$(cd "$(dirname "$0")" && pwd)
for tool in Xvfb xdotool; do
  command -v $tool >/dev/null || { echo "SKIP: $tool not installed"; exit 77; }
done
rm -rf "$work" && mkdir -p "$work/screen"
fail() { echo "FAIL: $*"; [ -f "$work/log" ] && tail -20 "$work/log"; exit 1; }

Xvfb -displayfd 3 -screen 0 640x480x24 -fbdir "$work/screen" -nolisten tcp -noreset \
  3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
program=
cleanup() {
  [ -n "$program" ] && kill "$program" 2>/dev/null
  kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=:$(head -n1 "$work/display")
export XDG_RUNTIME_DIR=$work # SDL looks for it (Wayland) before it takes X
xdotool mousemove 320 240    # keys go to the window under the pointer

# Waits until the program's output has a line matching $1.
await() {
  for _ in $(seq 300); do
    grep -q -- "$1" "$work/log" && return 0
    kill -0 "$program" 2>/dev/null || fail "the program ended before \"$1\""
    sleep 0.1
  done
  fail "no \"$1\" within 30 s"
}
# The screen as PNG must become the frame $1 (the X server writes its file
# a moment after the window is drawn).
screen_is() {
  for _ in $(seq 50); do
    python3 "$here/xwd_to_png.py" "$work/screen/Xvfb_screen0" "$work/screen.png" 640 480 &&
      "$bin/kximgdiff" "$1" "$work/screen.png" >"$work/imgdiff.log" 2>&1 && return 0
    sleep 0.1
  done
  cp "$work/screen.png" "$work/${2}_screen.png"
  fail "the window does not show $1: $(cat "$work/imgdiff.log") (screen in $work/${2}_screen.png)"
}
key() { xdotool key "$1"; }
finish() {
  key q
  for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
  wait "$program" || fail "the program failed after Q"
  program=
}

echo "== kxdemo --window"
"$bin/kxdemo" --frames 31 --write 30 --out "$work/demo" --window --fps 0 >"$work/log" 2>&1 &
program=$!
await "the window shows frame 30"
screen_is "$work/demo/frame_0030.png" demo
finish

echo "== kxreplay --window, paused: stepping frames and calls"
"$bin/kxreplay" "$trace" --window --paused --dump-frames "$work/replay" --frames 0-3 \
  >"$work/log" 2>&1 &
program=$!
await "kxreplay: paused"
key n && await "frame 0 shown"
key n && key n && await "frame 2 shown"
screen_is "$work/replay/frame_0002.png" replay2
grep -q "kxreplay: call " "$work/log" && fail "calls were printed while stepping frames"
flip=$(sed -n 's/.*frame 2 shown (call \([0-9]*\)).*/\1/p' "$work/log")
key c && key c && key c
await "kxreplay: call $((flip + 3)): "
[ "$(grep -c "kxreplay: call " "$work/log")" -eq 3 ] && grep -q "kxreplay: call $((flip + 1)): " "$work/log" ||
  fail "three presses of C did not play the three calls after frame 2"
key space && await "the window shows frame 3"
screen_is "$work/replay/frame_0003.png" replay3
finish
grep -q "every call played as recorded" "$work/log" || fail "the replay differed"
echo "PASS: the windows show the frames bit for bit; pause, frame and call steps, play and quit work"
