#!/usr/bin/env bash
# wintest.sh RUNNER kxwintest.exe: runs the Windows test host under Wine.
# Exit 77 (skipped) while its Windows build has not made the program.
set -u
runner=$1
program=$2
if [ ! -f "$program" ]; then
  echo "SKIP: $program not built (cmake --preset win32/win64 and build it)"
  exit 77
fi
# The capability dump goes to OutputDebugStringA; Wine shows such lines on its
# debugstr channel.
exec "$runner" --timeout 420 --wine-debug '-all,+debugstr' \
  --require 'OutputDebugStringA "*** DirectDraw Driver Caps ***\n"' \
  --require 'OutputDebugStringA "DDCAPS_BLT\n"' "$program"
