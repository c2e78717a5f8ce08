#!/usr/bin/env bash
# kernel_sets.sh RUNNER kxdemo.exe NATIVE_KXDEMO PNGCOMPARE WORKDIR
#
# The kernel sets of a Windows build under Wine: the demo played once per
# kernel level cap (KXPWRVR_KERNELS=scalar, sse2, and avx512, which is above
# every set a Windows build has and so leaves the driver its own choice), and
# each run's frames compared pixel for pixel with the same frames of the demo
# on Linux. While the variable is set the driver and sgl.dll name the level
# they run on the debugger output, which Wine prints on its debugstr
# channel: it must be the cap, and for the open run the best level this
# processor offers a Windows build (AVX2 where /proc/cpuinfo lists it, else
# SSE2). Every run passes through the kernels of its set: the keyed blits,
# the stretch, the read-back of each saved frame, the texel conversion and
# scaling, and softsgl's spans. Each run also draws its frames in bands on
# its own number of threads (KXPWRVR_THREADS 1, 3 and 2, which sgl.dll names
# too): the pixels must not depend on it.
# Exit 77 (skipped) while the Windows build has not made kxdemo.exe or its
# Wine cannot run here.
set -u
. "$(dirname "$0")/wine_log.sh"
runner=$1
windows_demo=$2
native_demo=$3
compare=$4
work=$5

frames=12
write=every:4 # frames 0, 4, 8 and 11

if [ ! -f "$windows_demo" ]; then
  echo "SKIP: $windows_demo not built (cmake --preset win32/win64 and build it)"
  exit 77
fi
"$runner" --check "$windows_demo" || exit $?
if grep -qw avx2 /proc/cpuinfo; then
  best=avx2
elif grep -qw sse2 /proc/cpuinfo; then
  best=sse2
else
  best=scalar
fi

rm -rf "$work"
mkdir -p "$work/linux"
echo "== the demo on Linux"
if ! "$native_demo" --frames $frames --write $write --out "$work/linux" >"$work/linux.log" 2>&1; then
  cat "$work/linux.log"
  echo "FAIL: the Linux demo failed"
  exit 1
fi
frames_saved=$(cd "$work/linux" && ls frame_*.png 2>/dev/null)
[ -n "$frames_saved" ] || { echo "FAIL: the Linux demo saved no frames"; exit 1; }

failures=0
for run in scalar:1 sse2:3 avx512:2; do
  cap=${run%:*}
  threads=${run#*:}
  expected=$cap
  [ "$cap" = avx512 ] && expected=$best
  echo "== the demo under Wine, KXPWRVR_KERNELS=$cap KXPWRVR_THREADS=$threads: expecting the $expected set"
  mkdir -p "$work/$cap"
  # Wine maps the Unix root to drive Z:.
  KXPWRVR_KERNELS=$cap KXPWRVR_THREADS=$threads "$runner" --wine-debug '-all,+debugstr' \
    "$windows_demo" --frames $frames --write $write --out "Z:$work/$cap" >"$work/$cap.log" 2>&1
  if ! wine_passed "$work/$cap.log" '^kxdemo: [0-9]+ PNG frames? in ' \
    "OutputDebugStringA \"kxpwrvr: kernels $expected\\n\"" \
    "OutputDebugStringA \"softsgl: spans $expected\\n\"" \
    "OutputDebugStringA \"softsgl: threads $threads\\n\""; then
    grep -E 'kxpwrvr: kernels|softsgl: |wine_run|kxdemo:' "$work/$cap.log" 2>/dev/null
    echo "FAIL: the demo under Wine failed or named another set (KXPWRVR_KERNELS=$cap)"
    failures=$((failures + 1))
    continue
  fi
  echo "named: $(grep -oE '(kxpwrvr: kernels|softsgl: spans|softsgl: threads) [a-z0-9]*' "$work/$cap.log" | sort -u | tr '\n' ' ')"
  for frame in $frames_saved; do
    printf '%s: ' "$frame"
    "$compare" "$work/linux/$frame" "$work/$cap/$frame"
    case $? in
      0) ;;
      1) failures=$((failures + 1)) ;;
      *) echo "FAIL: cannot compare $frame"; failures=$((failures + 1)) ;;
    esac
  done
done

if [ $failures -ne 0 ]; then
  echo "FAIL: $failures failure(s) (runs and frames kept in $work)"
  exit 1
fi
echo "PASS: the scalar, sse2 and $best sets, on 1, 3 and 2 threads, drew the Linux frames under Wine"
