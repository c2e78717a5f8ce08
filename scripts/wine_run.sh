#!/usr/bin/env bash
# Runs one Windows program (32- or 64-bit) under Wine, headless.
#
#   scripts/wine_run.sh [options] program.exe [arguments...]
#   scripts/wine_run.sh --check program.exe
#
#   --prefix DIR       Wine prefix, made by scripts/wine_prefix.sh (default:
#                      build/wine-prefix of this tree for 64-bit programs,
#                      build/wine-prefix32 for 32-bit ones)
#   --wine-debug CHANNELS  WINEDEBUG for the program (default -all)
#   --dll-override E   add E (e.g. ddraw=n,b: a ddraw.dll beside the program
#                      before Wine's own) to WINEDLLOVERRIDES (repeatable)
#   --no-virtual-desktop  run the program on the whole X screen (1024x768)
#                      instead of the prefix's 640x480 virtual desktop, where
#                      no 640x480 display mode can be set
#   --check            only say whether this program's Wine runs here
#
# The program's PE header decides the Wine: a 64-bit program runs under
# wine64, a 32-bit one under the 32-bit loader (Debian's wine32:i386). A
# 32-bit program handed to wine64 prints nothing and exits 0, so the choice
# is never left to chance. Each run gets a private Xvfb.
#
# Prints the program's output (line ends made Unix ones), then
# "wine_run: PROGRAM exit code N", and exits with the program's code; 77
# when that Wine or Xvfb is not installed or cannot start (a skip). Time
# limits, pass checks and one run a prefix at a time are the caller's: CTest's
# TIMEOUT, PASS_REGULAR_EXPRESSION and RESOURCE_LOCK (tests/wine/).
set -u
. "$(dirname "$0")/wine_env.sh"

prefix_option=
debug=-all
overrides=
no_desktop=0
check=0
while [ $# -gt 0 ]; do
  case "$1" in
    --prefix) prefix_option=$2; shift 2 ;;
    --wine-debug) debug=$2; shift 2 ;;
    --dll-override) overrides="$overrides;$2"; shift 2 ;;
    --no-virtual-desktop) no_desktop=1; shift ;;
    --check) check=1; shift ;;
    --) shift; break ;;
    -*) echo "wine_run: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
if [ $# -lt 1 ]; then
  echo "usage: wine_run.sh [options] program.exe [arguments...]" >&2
  exit 2
fi
program=$1
shift
if [ ! -f "$program" ]; then
  echo "wine_run: no such program: $program" >&2
  exit 2
fi

# The machine field of the PE header: 0x014c is i386, 0x8664 x86-64.
pe_machine() {
  local offset
  offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$offset" ] || return 1
  od -An -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' '
}
case "$(pe_machine "$program")" in
  8664) arch=win64 ;;
  014c) arch=win32 ;;
  *) echo "wine_run: $program is not a 32- or 64-bit x86 Windows program" >&2; exit 2 ;;
esac
wine_select $arch "$prefix_option" || exit $?
[ $check = 0 ] || exit 0
if [ ! -f "$prefix/.kx-ready" ]; then
  echo "wine_run: no Wine prefix at $prefix: make it with scripts/wine_prefix.sh $arch${prefix_option:+ $prefix_option}" >&2
  exit 1
fi
WINEDLLOVERRIDES=$WINEDLLOVERRIDES$overrides
program=$(cd "$(dirname "$program")" && pwd)/$(basename "$program")
out=$(mktemp "${TMPDIR:-/tmp}/kxwine.XXXXXX")
trap 'wine_stop; rm -f "$out"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# A run killed before its clean-up leaves the prefix's wineserver behind.
wine_stop
xvfb_start || exit 1

# Without the virtual desktop: a desktop of this program's own name that
# has no size (Wine's per-program setting), so it gets the whole X screen.
desktop_key="HKCU\\Software\\Wine\\AppDefaults\\$(basename "$program")\\Explorer"
if [ $no_desktop = 1 ]; then
  "$wine" reg add "$desktop_key" /v Desktop /d kxNoVirtualDesktop /f >/dev/null 2>&1
  "$wineserver" -w
fi
(cd "$(dirname "$program")" && WINEDEBUG=$debug exec "$wine" "$program" "$@") >"$out" 2>&1 </dev/null
rc=$?
if [ $no_desktop = 1 ]; then
  "$wine" reg delete "$desktop_key" /f >/dev/null 2>&1
  "$wineserver" -w
fi
# Windows programs end their lines with CR LF.
tr -d '\r' <"$out" | sed '$a\'
echo "wine_run: $(basename "$program") exit code $rc"
exit $rc
