#!/usr/bin/env bash
# band_sums.sh RUNNER kxbandsums.exe NATIVE_KXBANDSUMS WORKDIR
#
# The band scenes in a Windows build's sgl.dll under Wine, on 1, 2, 3 and 8
# threads (KXPWRVR_THREADS, which sgl.dll names on the debugger output):
# each frame's sum must be the Linux build's on one thread.
# Exit 77 (skipped) while the Windows build has not made kxbandsums.exe.
set -u
runner=$1
windows_sums=$2
native_sums=$3
work=$4

if [ ! -f "$windows_sums" ]; then
  echo "SKIP: $windows_sums not built (cmake --preset win32/win64 and build it)"
  exit 77
fi
rm -rf "$work"
mkdir -p "$work"
if ! KXPWRVR_THREADS=1 "$native_sums" >"$work/linux.txt" 2>"$work/linux.log"; then
  cat "$work/linux.log"
  echo "FAIL: kxbandsums failed on Linux"
  exit 1
fi
grep -q '^DONE: ' "$work/linux.txt" || { echo "FAIL: kxbandsums on Linux did not finish"; exit 1; }

failures=0
for threads in 1 2 3 8; do
  echo "== under Wine on $threads thread(s)"
  if ! KXPWRVR_THREADS=$threads "$runner" --timeout 600 --expect '^DONE: [0-9]+ frames$' \
    --wine-debug '-all,+debugstr' --require "OutputDebugStringA \"softsgl: threads $threads\\n\"" \
    --log "$work/wine_$threads.log" "$windows_sums" >/dev/null; then
    tail -5 "$work/wine_$threads.log"
    echo "FAIL: kxbandsums failed under Wine on $threads thread(s)"
    failures=$((failures + 1))
    continue
  fi
  # The program's own lines, without Wine's debug channel.
  grep -E '^[0-9]+ x [0-9]+ stride |^DONE: ' "$work/wine_$threads.log" | tr -d '\r' >"$work/wine_$threads.txt"
  if ! diff "$work/linux.txt" "$work/wine_$threads.txt"; then
    echo "FAIL: frames on $threads thread(s) differ from Linux's (above: < Linux, > Wine)"
    failures=$((failures + 1))
  else
    echo "the same $(grep -c ' scene ' "$work/linux.txt") frames"
  fi
done
if [ $failures -ne 0 ]; then
  echo "FAIL: $failures run(s) differ (kept in $work)"
  exit 1
fi
echo "PASS: the band scenes under Wine on 1, 2, 3 and 8 threads are Linux's frames"
