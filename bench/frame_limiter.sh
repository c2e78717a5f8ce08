#!/usr/bin/env bash
# The frame limiter's spacing under Wine: the demo of a Windows build played
# with fps_limit = 60 from a kxpwrvr.ini beside a copy of its files, its
# frame times (kxdemo --frame-times) summed up. The goal: the median within
# 2 % of 16.67 ms, no frame under 16.5 ms. Not a test: timing depends on the
# machine; run it on a quiet one.
#
#   bench/frame_limiter.sh [win32|win64] [FRAMES]
#
# The 32-bit build is what players run; where this machine runs 32-bit code
# only under an emulator (scripts/i386.sh says so), time the 64-bit one.
set -eu
cd "$(dirname "$0")/.."
arch=${1:-win32}
frames=${2:-600}
bin=build/$arch/bin
[ -f "$bin/kxdemo.exe" ] || { echo "no $bin/kxdemo.exe: build the $arch preset first" >&2; exit 2; }
work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
cp "$bin/kxdemo.exe" "$bin/kxpwrvr.dll" "$bin/sgl.dll" "$work/"
printf '[kxpwrvr]\nfps_limit = 60\n' >"$work/kxpwrvr.ini"
# The file beside the DLLs, not a variable: as a player sets it.
scripts/wine_prefix.sh "$arch" >/dev/null
env -u KXPWRVR_INI -u KXPWRVR_FPS_LIMIT scripts/wine_run.sh "$work/kxdemo.exe" --frames "$frames" \
  --write none --out "Z:$work/out" --frame-times "Z:$work/times.txt" >"$work/run.log" 2>&1 ||
  { cat "$work/run.log"; exit 1; }
python3 - "$work/times.txt" "$arch" <<'PY'
import statistics, sys
times = [float(line) for line in open(sys.argv[1]) if line.strip()]
median = statistics.median(times)
print(f"{sys.argv[2]}: {len(times)} frame times with fps_limit = 60: median {median:.3f} ms "
      f"({100 * (median / (1000 / 60) - 1):+.2f} % from 16.667), "
      f"shortest {min(times):.3f} ms, longest {max(times):.3f} ms")
ok = abs(median / (1000 / 60) - 1) <= 0.02 and min(times) >= 16.5
print("goal met" if ok else "goal NOT met: median within 2 % of 16.667 ms, none under 16.5 ms")
sys.exit(0 if ok else 1)
PY
