#!/usr/bin/env bash
# band_sums.sh RUNNER kxbandsums.exe NATIVE_KXBANDSUMS WORKDIR
#
# The band scenes in a Windows build's sgl.dll under Wine, on 1, 2, 3 and 8
# threads (KXPWRVR_THREADS, which sgl.dll names on the debugger output):
# each frame's sum must be the Linux build's on one thread. Then once more
# with bilinear filtering and dithering on (KXPWRVR_FILTER, KXPWRVR_DITHER),
# on 2 threads, and once with 2 x 2 supersampling and dithering at its
# resolve (KXPWRVR_ANTIALIAS, KXPWRVR_DITHER) on 3, against Linux's frames
# with the same settings on one.
# Exit 77 (skipped) while the Windows build has not made kxbandsums.exe or
# its Wine cannot run here.
set -u
. "$(dirname "$0")/wine_log.sh"
runner=$1
windows_sums=$2
native_sums=$3
work=$4

if [ ! -f "$windows_sums" ]; then
  echo "SKIP: $windows_sums not built (cmake --preset win32/win64 and build it)"
  exit 77
fi
"$runner" --check "$windows_sums" || exit $?
rm -rf "$work"
mkdir -p "$work"
if ! KXPWRVR_THREADS=1 "$native_sums" >"$work/linux.txt" 2>"$work/linux.log"; then
  cat "$work/linux.log"
  echo "FAIL: kxbandsums failed on Linux"
  exit 1
fi
grep -q '^DONE: ' "$work/linux.txt" || { echo "FAIL: kxbandsums on Linux did not finish"; exit 1; }

run() { # THREADS [VARIABLE=VALUE...]: one run under Wine
  local threads=$1
  shift
  env "$@" KXPWRVR_THREADS="$threads" "$runner" --wine-debug '-all,+debugstr' "$windows_sums" \
    >"$work/wine_$threads.log" 2>&1
  wine_passed "$work/wine_$threads.log" '^DONE: [0-9]+ frames$' \
    "OutputDebugStringA \"softsgl: threads $threads\\n\""
}

failures=0
compare() { # LINUX_SUMS WINE_RUN WHAT: the program's own lines of the Wine run against Linux's
  grep -E '^[0-9]+ x [0-9]+ stride |^DONE: ' "$2.log" | tr -d '\r' >"$2.txt"
  if ! diff "$1" "$2.txt"; then
    echo "FAIL: frames $3 differ from Linux's (above: < Linux, > Wine)"
    failures=$((failures + 1))
  else
    echo "the same $(grep -c ' scene ' "$1") frames"
  fi
}

for threads in 1 2 3 8; do
  echo "== under Wine on $threads thread(s)"
  ok=1
  run "$threads" || ok=0
  # The 32-bit Wine under qemu-user (a kernel without 32-bit support) has
  # crashed in about one run of ten once the program had printed DONE and
  # was ending, with every frame's line right: one more run, said aloud, and
  # a second crash fails.
  if [ $ok -eq 0 ] && grep -q '^DONE: ' "$work/wine_$threads.log" &&
    grep -q 'qemu: uncaught target signal' "$work/wine_$threads.log"; then
    echo "(qemu crashed as the program ended; running it once more)"
    ok=1
    run "$threads" || ok=0
  fi
  if [ $ok -eq 0 ]; then
    tail -5 "$work/wine_$threads.log"
    echo "FAIL: kxbandsums failed under Wine on $threads thread(s)"
    failures=$((failures + 1))
    continue
  fi
  compare "$work/linux.txt" "$work/wine_$threads" "on $threads thread(s)"
done
# NAME THREADS WHAT VARIABLE=VALUE...: the program on Linux (one thread) and
# under Wine with those settings, the Wine run's frames against Linux's.
settings_run() {
  local name=$1 threads=$2 what=$3
  shift 3
  echo "== $what, $threads threads"
  if ! env "$@" KXPWRVR_THREADS=1 "$native_sums" >"$work/linux_$name.txt" 2>>"$work/linux.log"; then
    echo "FAIL: kxbandsums failed on Linux with $what"
    failures=$((failures + 1))
  elif cmp -s "$work/linux.txt" "$work/linux_$name.txt"; then
    echo "FAIL: $what changed no frame on Linux"
    failures=$((failures + 1))
  else
    run "$threads" "$@" || run "$threads" "$@" || true
    compare "$work/linux_$name.txt" "$work/wine_$threads" "with $what"
  fi
}
settings_run filtered 2 "filter = bilinear and dither = on" KXPWRVR_FILTER=bilinear KXPWRVR_DITHER=on
settings_run supersampled 3 "antialias = 2 and dither = on" KXPWRVR_ANTIALIAS=2 KXPWRVR_DITHER=on
if [ $failures -ne 0 ]; then
  echo "FAIL: $failures run(s) differ (kept in $work)"
  exit 1
fi
echo "PASS: the band scenes under Wine on 1, 2, 3 and 8 threads, with filtering and dithering on, and supersampled, are Linux's frames"
