#!/usr/bin/env bash
# unload_cycles.sh RUNNER kxcycle.exe WORK [kxcycle options...]
#
# The shipped pair loaded, started, drawn with on several threads with the
# quality settings on, shut down and freed, over and over under Wine
# (kxcycle.exe, every tenth cycle freed without Shutdown): no crash, every
# cycle's frame and the one of a load after them alike, the handles and
# private memory after the last cycle where they were after the tenth.
# First the check itself: a run that leaks a handle and a MiB a cycle on
# purpose must fail on both counts, or the counters Wine gives do not move.
# Exit 77 (skipped) while the build has not made kxcycle.exe.
set -u
runner=$1 cycle=$2 work=$3
shift 3
[ -f "$cycle" ] || { echo "SKIP: $cycle not built"; exit 77; }
rm -rf "$work" && mkdir -p "$work"
failures=0

echo "== leaking a handle and a MiB a cycle: the check must fail on both"
# Two frames of a hundred draws: the loads are what counts here.
"$runner" --timeout 600 --expect '' --log "$work/leaking.log" "$cycle" --cycles 20 --frames 2 \
  --draws 100 --leak-handle --leak-mebibyte >"$work/leaking.out" 2>&1
for line in '^FAIL: handles went from ' '^FAIL: private memory went from ' '^DONE: 2 failure\(s\)$'; do
  if ! grep -Eq -- "$line" "$work/leaking.log"; then
    cat "$work/leaking.out"
    echo "FAIL: the leaking run lacks a line /$line/"
    failures=$((failures + 1))
  fi
done

echo "== kxcycle $*"
if ! "$runner" --timeout 900 --wine-debug '-all,+debugstr' \
  --require 'OutputDebugStringA "softsgl: threads ' --log "$work/cycles.log" \
  "$cycle" "$@" >"$work/cycles.out" 2>&1; then
  failures=$((failures + 1))
fi
grep -Ev 'OutputDebugString|^[0-9a-f]+:' "$work/cycles.out"
if [ $failures -ne 0 ]; then
  echo "FAIL: $failures check(s) failed (kept in $work)"
  exit 1
fi
echo "PASS: the driver and sgl.dll loaded, drawn with and freed $(grep -c '^cycle ' "$work/cycles.log") times over, nothing leaked"
