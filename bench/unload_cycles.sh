#!/usr/bin/env bash
# unload_cycles.sh [CYCLES] [win64|win32|both] [kxcycle options...]
#
# kxcycle.exe (bench/soak) for many cycles under Wine: the driver and our
# sgl.dll loaded, started, drawn with (the heavy frame, filter, antialias 2
# and dither on, 2 threads), stopped and freed CYCLES times (default 500),
# every tenth freed without Shutdown. Prints each build's handles and
# private memory after cycle 11 and after the load that follows the cycles,
# and the time.
# tests/wine/unload_cycles.sh runs 20. Needs the win64 and/or win32 builds.
set -u
cd "$(dirname "$0")/.."
cycles=${1:-500}
which=${2:-win64}
shift $(($# > 2 ? 2 : $#))
[ "$which" = both ] && which="win64 win32"
status=0
for arch in $which; do
  program=build/$arch/bin/kxcycle.exe
  [ -f "$program" ] || { echo "missing $program: cmake --preset $arch && cmake --build build/$arch"; exit 1; }
  echo "== $arch: $cycles cycles"
  # From a folder of its own, so that the build may go on meanwhile, and a
  # prefix of its own, so that the Wine tests may run.
  run=build/$arch/unload_cycles
  rm -rf "$run" && mkdir -p "$run"
  cp "$program" build/$arch/bin/kxpwrvr.dll build/$arch/bin/sgl.dll "$run/"
  scripts/wine_prefix.sh "$arch" "build/wine-prefix-cycles${arch#win}" >/dev/null || exit 1
  scripts/wine_run.sh --prefix "build/wine-prefix-cycles${arch#win}" "$run/kxcycle.exe" \
    --cycles "$cycles" "$@" | tee "$run/kxcycle.log"
  [ "${PIPESTATUS[0]}" = 0 ] || status=1
done
exit $status
