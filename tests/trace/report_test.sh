#!/usr/bin/env bash
# report_test.sh BIN WORK TRACE FRAME
#
# kxtrace report on TRACE, then the page in headless Chromium
# (report_page_test.py): no console error, a click on frame FRAME lists that
# frame's calls (as kxtrace dump numbers them), and a screenshot is kept in
# WORK/report.png.
set -u
bin=$1 work=$2 trace=$3 frame=$4
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work"
fail() { echo "FAIL: $*"; exit 1; }
"$bin/kxtrace" report "$trace" "$work/report.html" || fail "kxtrace report failed"
range=$("$bin/kxtrace" dump "$trace" --frames "$frame" | sed -n "s/^== frame $frame: calls \([0-9]*\) to \([0-9]*\).*/\1 \2/p")
[ -n "$range" ] || fail "no frame $frame in the dump"
set -- $range
python3 "$here/report_page_test.py" "$work/report.html" "$work/report.png" "$frame" "$1" $(($2 - $1 + 1))
