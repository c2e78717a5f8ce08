#!/usr/bin/env bash
# wine_trace_tools.sh LINUX_BIN WORK
#
# The trace tools on the trace the demo recorded under Wine (WORK/wine.kxtrace,
# from wine_trace.sh), against the Linux recording of the same demo
# (WORK/linux.kxtrace) and the Linux demo's frames (WORK/linux_demo): the
# same frames, textures and pixel stories, only real differences in diff.
set -u
bin=$1 work=$2
wine=$work/wine.kxtrace linux=$work/linux.kxtrace
out=$work/tools
rm -rf "$out" && mkdir -p "$out"
fail() { echo "FAIL: $*"; exit 1; }
frame=20 ref=$work/linux_demo/frame_0020.png
[ -f "$ref" ] || fail "no $ref"

echo "== dump and state"
"$bin/kxtrace" dump "$wine" --frames $frame >"$out/dump.txt" || fail "dump failed"
grep -q "^== frame $frame: calls " "$out/dump.txt" || fail "dump has no frame $frame header"
grep -q "^    v0  x " "$out/dump.txt" || fail "dump shows no vertices"
flip=$(sed -n "s/^\[$frame\] \([0-9]*\) PageFlip.*/\1/p" "$out/dump.txt")
[ -n "$flip" ] || fail "no PageFlip in frame $frame"
"$bin/kxtrace" state "$wine" "$flip" | grep -q "^state when call $flip is made (frame $frame" ||
  fail "state at call $flip"

echo "== kxreplay --draw-at the last call before frame $frame's flip: the frame as shown"
"$bin/kxreplay" "$wine" --draw-at $((flip - 1)) --out "$out/at.png" >/dev/null || fail "draw-at failed"
"$bin/kximgdiff" "$ref" "$out/at.png" || fail "--draw-at $((flip - 1)) differs from frame $frame"

echo "== trim to frames $frame-$((frame + 1)), replayed on its own"
"$bin/kxtrace" trim "$wine" "$out/trimmed.kxtrace" --frames $frame-$((frame + 1)) || fail "trim failed"
"$bin/kxreplay" "$out/trimmed.kxtrace" --quiet --frames $frame --dump-frames "$out/trimmed" ||
  fail "the trimmed trace did not replay"
"$bin/kximgdiff" "$ref" "$out/trimmed/frame_$(printf %04d $frame).png" ||
  fail "the trimmed trace's frame $frame differs"

echo "== who-drew: the same story on both recordings"
for t in linux wine; do
  "$bin/kxtrace" who-drew "$work/$t.kxtrace" $frame 320 300 >"$out/who_$t.txt" || fail "who-drew $t"
done
grep -q "^the pixel shows call " "$out/who_wine.txt" || fail "who-drew names no call"
# Handles and addresses differ between the two; the calls and verdicts do not.
mask() { sed 's/0x[0-9a-f]*//g' "$1"; }
diff <(mask "$out/who_linux.txt") <(mask "$out/who_wine.txt") || fail "who-drew differs"

echo "== textures: the same images from both recordings"
for t in linux wine; do
  "$bin/kxtrace" textures "$work/$t.kxtrace" "$out/textures_$t" >/dev/null || fail "textures $t"
  (cd "$out/textures_$t" && for f in *.png; do
     echo "$(echo "$f" | sed 's/_[0-9a-f]*_call/_call/') $(md5sum <"$f" | cut -c1-32)"
   done | sort) >"$out/textures_$t.txt"
done
[ -s "$out/textures_wine.txt" ] || fail "no textures written"
diff "$out/textures_linux.txt" "$out/textures_wine.txt" || fail "the textures differ"

echo "== diff: a trace against itself, and the two recordings"
"$bin/kxtrace" diff "$wine" "$wine" >/dev/null || fail "the Wine trace differs from itself"
"$bin/kxtrace" diff "$linux" "$wine" >"$out/diff.txt"
[ $? -le 1 ] || fail "diff failed"
# Only the demo's own float arithmetic may differ between the builds: vertices.
if grep "^- \[" "$out/diff.txt" | grep -v "DrawPrimitive(" | head -3 | grep .; then
  fail "the recordings differ in calls other than vertices (see $out/diff.txt)"
fi
tail -n1 "$out/diff.txt"

echo "== report"
frames=$("$bin/kxtrace" info "$wine" | sed -n 's/^  frames *\([0-9]*\)$/\1/p')
"$bin/kxtrace" report "$wine" "$out/report.html" | grep ": $frames frames (replayed in " ||
  fail "the report did not show the trace's $frames frames"
echo "PASS: dump, state, draw-at, trim, who-drew, textures, diff and report on the Wine trace"
