#!/usr/bin/env bash
# soak.sh [FRAMES] [win32|win64] [kxsoak options...]
#
# The soak: kxsoak (bench/soak) draws the heavy frame with texture churn
# (a texture loaded, one unloaded, one modified and evictions every frame)
# with filter, antialias 2 and dither on, on 2 threads, for FRAMES frames
# (default 100,000): once on Linux (build/release) and once under Wine
# (the given Windows build, default win32, the one players run). Every
# 1,000 frames each prints the frame's checksum, its handles and private
# memory and its pace; the checksums of the two runs must be equal line by
# line, the last frame's included, and each run's handles and memory must
# end within 1 % of its first report (kxsoak checks that itself).
# Not in CI: 100,000 heavy frames take minutes natively and far longer
# under an emulated 32-bit Wine. Needs the release build and the Windows one.
set -u
cd "$(dirname "$0")/.."
frames=${1:-100000}
arch=${2:-win32}
shift $(($# > 2 ? 2 : $#))
native=build/release/bin/kxsoak
windows=build/$arch/bin/kxsoak.exe
for f in "$native" "$windows"; do
  [ -f "$f" ] || { echo "missing $f: build the release and $arch presets first"; exit 1; }
done
if [ "$arch" = win32 ] && grep -qs qemu-i386 /proc/sys/fs/binfmt_misc/* 2>/dev/null; then
  echo "NOTE: 32-bit programs run under qemu-user here: the 32-bit pace is the emulator's."
fi
work=build/$arch/soak
mkdir -p "$work"
status=0
echo "== Linux: $frames frames"
started=$SECONDS
KXPWRVR_INI= "$native" --frames "$frames" "$@" | tee "$work/linux.log" || status=1
echo "(Linux: $((SECONDS - started)) s)"
echo "== $arch under Wine: $frames frames"
started=$SECONDS
scripts/wine_prefix.sh "$arch" "build/wine-prefix-soak${arch#win}" >/dev/null || exit 1
KXPWRVR_INI= scripts/wine_run.sh --prefix "build/wine-prefix-soak${arch#win}" "$windows" \
  --frames "$frames" "$@" | tee "$work/wine.log"
[ "${PIPESTATUS[0]}" = 0 ] || status=1
echo "($arch under Wine: $((SECONDS - started)) s)"
# The checksums, without the figures that differ between the systems.
sums() { grep -E '^frame [0-9]+: checksum ' "$1" | cut -d'|' -f1; }
if [ -z "$(sums "$work/linux.log")" ] || ! diff <(sums "$work/linux.log") <(sums "$work/wine.log"); then
  echo "FAIL: the frames under Wine are not Linux's (above: < Linux, > Wine; logs in $work)"
  status=1
else
  echo "the same $(sums "$work/linux.log" | wc -l) checksums, the last: $(sums "$work/linux.log" | tail -n1)"
fi
[ $status = 0 ] && echo "PASS: $frames frames on Linux and under Wine ($arch) alike, handles and memory flat"
exit $status
