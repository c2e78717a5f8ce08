#!/usr/bin/env bash
# golden_trace.sh BIN TRACE GOLDEN_DIR WORK
#
# Replays a trace kept in the repository through the driver of this build and
# compares the frames named in GOLDEN_DIR bit for bit: a regression test of
# the whole driver on a real session. With KX_REGENERATE_GOLDENS=1 the
# frames are written into GOLDEN_DIR instead (look at them before committing).
set -u
bin=$1 trace=$2 golden=$3 work=$4
rm -rf "$work" && mkdir -p "$work"
frames=$(cd "$golden" && ls frame_*.png | sed 's/frame_0*\([0-9]\)/\1/; s/\.png//' | paste -sd, -)
[ -n "$frames" ] || { echo "FAIL: no golden frames in $golden"; exit 1; }
"$bin/kxreplay" "$trace" --dump-frames "$work" --frames "$frames" || { echo "FAIL: the replay failed"; exit 1; }
if [ "${KX_REGENERATE_GOLDENS:-0}" = 1 ]; then
  cp "$work"/frame_*.png "$golden/" && echo "Rewrote the golden frames in $golden" && exit 0
fi
"$bin/kximgdiff" "$golden" "$work" --html "$work/report.html" ||
  { echo "FAIL: frames differ from the golden ones (see $work/report.html)"; exit 1; }
