#!/usr/bin/env bash
# settings_replay.sh BIN WORK OLD_TRACE GOLDEN_DIR
#
# A trace carries the settings it was recorded with, and replays apply them:
# the demo recorded with bilinear filtering, dithering and a frame limit (its
# variables) keeps them (kxtrace info); its replay draws the recording's
# frames, with --settings defaults the plain demo's, with --settings FILE the
# file's, with --benchmark no frame limit; kxtrace diff tells it from a plain
# recording. A trace recorded
# before settings were kept replays as it always did, whatever the
# environment asks: its golden frames.
set -u
bin=$1 work=$2 old=$3 golden=$4
rm -rf "$work" && mkdir -p "$work"
fail() { echo "FAIL: $*"; exit 1; }
export KXPWRVR_INI= # no settings file but those named here
demo() { # OUT [kxdemo options]: 4 frames, frames 1 and 3 written
  local out=$1
  shift
  "$bin/kxdemo" --frames 4 --write 1,3 --out "$out" "$@" >"$out.log" 2>&1 || { cat "$out.log"; fail "the demo failed"; }
}
replay() { # TRACE OUT EXIT [kxreplay options]: EXIT 1 when the frames read back differ
  local trace=$1 out=$2 code=$3
  shift 3
  "$bin/kxreplay" "$trace" --quiet --frames 1,3 --dump-frames "$out" "$@" >"$out.log" 2>&1
  [ $? = "$code" ] || { cat "$out.log"; fail "the replay of $trace did not end with $code"; }
}
same() { "$bin/kximgdiff" "$1" "$2" >"$work/diff.log" 2>&1 || { cat "$work/diff.log"; fail "$3"; }; }
differ() { ! "$bin/kximgdiff" "$1" "$2" >/dev/null 2>&1 || fail "$3"; }
expect() { # FILE TEXT
  grep -qF -- "$2" "$1" || { cat "$1"; fail "$1 lacks \"$2\""; }
}

echo "== recorded with filter = bilinear, dither = on and fps_limit = 1000"
KXPWRVR_FILTER=bilinear KXPWRVR_DITHER=on KXPWRVR_FPS_LIMIT=1000 KXTRACE_FILE="$work/set.kxtrace" \
  demo "$work/recorded" --driver "$bin/libkxtrace.so"
KXTRACE_FILE="$work/plain.kxtrace" demo "$work/plain" --driver "$bin/libkxtrace.so"
differ "$work/recorded" "$work/plain" "the settings did not change the recorded frames"
"$bin/kxtrace" info "$work/set.kxtrace" >"$work/info.txt" || fail "kxtrace info failed"
expect "$work/info.txt" "settings       filter = bilinear, antialias = 1, dither = on, fps_limit = 1000"

echo "== replayed: with the trace's settings, the defaults, a file's"
# Variables of the replaying machine do not change what the trace asks for.
KXPWRVR_DITHER=off replay "$work/set.kxtrace" "$work/replayed" 0
expect "$work/replayed.log" "settings filter = bilinear, antialias = 1, dither = on, fps_limit = 1000 (recorded in the trace)"
same "$work/recorded" "$work/replayed" "the replay's frames differ from the recording's"
replay "$work/set.kxtrace" "$work/defaults" 1 --settings defaults
expect "$work/defaults.log" "BltFromCard read back other pixels than when recorded"
same "$work/plain" "$work/defaults" "--settings defaults draws other frames than the plain demo"
printf '[kxpwrvr]\nfilter = bilinear\ndither = on\nlog = replay.log\nfps_limit = 1001\n' >"$work/given.ini"
replay "$work/plain.kxtrace" "$work/given" 1 --settings "$work/given.ini"
same "$work/recorded" "$work/given" "--settings FILE did not draw with the file's settings"
expect "$work/given.log" "settings: not used: given.ini line 5: fps_limit = \"1001\" is not"
[ ! -e "$work/replay.log" ] || fail "the replay wrote the file's log"
"$bin/kxreplay" "$work/set.kxtrace" --benchmark >"$work/benchmark.log" 2>&1 || fail "--benchmark failed"
expect "$work/benchmark.log" "fps_limit = 1000 (recorded in the trace); fps_limit not applied: --benchmark"
# --json: the same figures for scripts, one object on the last line.
"$bin/kxreplay" "$work/plain.kxtrace" --benchmark --json --loop 2 --quiet >"$work/json.log" 2>&1 ||
  fail "--benchmark --json failed"
python3 - "$work/json.log" <<'PY' || fail "--json's figures are not the played ones (see $work/json.log)"
import json, re, sys
lines = open(sys.argv[1]).read().splitlines()
figures = json.loads(lines[-1])
calls, frames = map(int, re.search(r"played (\d+) calls, (\d+) frames", "\n".join(lines)).groups())
entries = figures["entry_points"]
assert figures["calls"] == calls and figures["frames"] == frames and frames > 0, figures
assert sum(e["calls"] for e in entries.values()) == calls, entries
assert entries["PageFlip"]["calls"] == frames and entries["BltToCard"]["ms"] > 0, entries
PY
"$bin/kxreplay" "$work/plain.kxtrace" --json >"$work/json_alone.log" 2>&1
[ $? = 2 ] || fail "--json without --benchmark is not a usage error"
"$bin/kxreplay" "$work/plain.kxtrace" --settings "$work/none.ini" >"$work/missing.log" 2>&1
[ $? = 2 ] || fail "a missing --settings file is not a usage error"
expect "$work/missing.log" "none.ini cannot be read"

echo "== kxtrace diff tells the settings apart"
# Frame 0 is not read back: trimmed to it, the two make the same calls.
for t in set plain; do
  "$bin/kxtrace" trim "$work/$t.kxtrace" "$work/${t}_0.kxtrace" --frames 0-0 >/dev/null || fail "trim failed"
done
"$bin/kxtrace" diff "$work/set_0.kxtrace" "$work/plain_0.kxtrace" >"$work/diff.txt"
[ $? = 1 ] || { cat "$work/diff.txt"; fail "diff found the traces the same"; }
expect "$work/diff.txt" "settings differ: filter = bilinear in A, nearest in B"
expect "$work/diff.txt" "settings differ: dither = on in A, off in B"
expect "$work/diff.txt" "settings differ: fps_limit = 1000 in A, 0 in B"
expect "$work/diff.txt" "they differ: the settings (3 keys);"
"$bin/kxtrace" diff "$work/plain_0.kxtrace" "$old" >"$work/diff_old.txt"
grep -q "settings differ" "$work/diff_old.txt" && fail "a plain trace's settings differ from an old trace's defaults"

echo "== who-drew replays with the trace's settings too"
pixel() { # TRACE [--settings ...]: the colour who-drew reads back at a pixel of frame 1
  "$bin/kxtrace" who-drew "$@" 1 320 300 2>"$work/who.err" | sed -n 's/.*read back as \(#[0-9A-F]*\).*/\1/p'
}
recorded=$(pixel "$work/set.kxtrace") plain=$(pixel "$work/set.kxtrace" --settings defaults)
expect "$work/who.err" "settings filter = nearest, antialias = 1, dither = off"
[ -n "$recorded" ] && [ -n "$plain" ] && [ "$recorded" != "$plain" ] ||
  fail "who-drew read back $recorded with the trace's settings, $plain without"

echo "== a trace recorded before settings were kept"
"$bin/kxtrace" info "$old" >"$work/old_info.txt" || fail "kxtrace info failed on $old"
expect "$work/old_info.txt" "settings       defaults (recorded before settings were kept)"
frames=$(cd "$golden" && ls frame_*.png | sed 's/frame_0*\([0-9]\)/\1/; s/\.png//' | paste -sd, -)
KXPWRVR_FILTER=bilinear KXPWRVR_DITHER=on "$bin/kxreplay" "$old" --quiet --frames "$frames" \
  --dump-frames "$work/old" >"$work/old.log" 2>&1 || { cat "$work/old.log"; fail "the old trace failed"; }
expect "$work/old.log" "(defaults: the trace was recorded before settings were kept)"
same "$golden" "$work/old" "the old trace's frames differ from its golden ones"
echo "PASS: the settings recorded, shown, applied, chosen and compared; the old trace as before"
