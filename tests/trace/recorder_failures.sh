#!/usr/bin/env bash
# recorder_failures.sh BIN WORK
#
# A recording that cannot start or that stops tells the player so, in the
# driver's log (KXPWRVR_LOG), and the game plays on: the demo through the
# recorder with a trace folder that does not exist, with no real driver, and
# with a file size limit that stops the writing part way (as a full disk
# would). The stopped trace keeps what came before.
set -u
bin=$1 work=$2
rm -rf "$work" && mkdir -p "$work"
fail() { echo "FAIL: $*"; exit 1; }
demo() { "$bin/kxdemo" --frames 30 --write none --driver "$bin/libkxtrace.so" >"$work/demo.out" 2>&1; }
expect_log() { # log, text
  grep -F -- "$2" "$1" || { cat "$1" 2>/dev/null; fail "$1 lacks \"$2\""; }
}

echo "== a trace folder that does not exist"
KXPWRVR_LOG="$work/no_folder.log" KXTRACE_FILE="$work/no/such/folder/demo.kxtrace" demo ||
  fail "the demo stopped"
expect_log "$work/no_folder.log" "kxtrace: cannot create $work/no/such/folder/demo.kxtrace"
expect_log "$work/no_folder.log" "the game runs without recording"

echo "== no real driver"
KXPWRVR_LOG="$work/no_driver.log" KXTRACE_DRIVER="$work/missing.so" KXTRACE_FILE="$work/x.kxtrace" \
  "$bin/kxdemo" --frames 3 --write none --driver "$bin/libkxtrace.so" >"$work/demo.out" 2>&1
expect_log "$work/no_driver.log" "nothing is recorded"

echo "== the disk fills up (a file size limit of 512 KiB)"
# Ignored, the signal leaves write() to fail with EFBIG, as a full disk
# fails with ENOSPC.
(
  trap '' XFSZ
  ulimit -f 512
  KXPWRVR_LOG="$work/full.log" KXTRACE_FILE="$work/full.kxtrace" demo
) || fail "the demo stopped when the trace could not be written"
expect_log "$work/full.log" "kxtrace: writing $work/full.kxtrace failed"
expect_log "$work/full.log" "the recording stopped after"
[ "$(grep -c 'the recording stopped' "$work/full.log")" = 1 ] || fail "the stop was reported more than once"
size=$(stat -c %s "$work/full.kxtrace")
[ "$size" -le $((512 * 1024)) ] || fail "the trace grew past the limit: $size bytes"
"$bin/kxtrace" info "$work/full.kxtrace" >"$work/full.info" 2>&1 || fail "the stopped trace cannot be read"
grep -q "no end record" "$work/full.info" || fail "the stopped trace claims to be complete"
calls=$(sed -n 's/^  calls *\([0-9]*\).*/\1/p' "$work/full.info")
[ "${calls:-0}" -gt 100 ] || fail "the stopped trace holds only ${calls:-0} calls"
echo "PASS: each problem told in the log; the stopped trace holds $calls calls in $size bytes"
