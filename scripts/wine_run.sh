#!/usr/bin/env bash
# Runs one Windows program (32- or 64-bit) under Wine, headless, and decides
# pass/fail.
#
#   scripts/wine_run.sh [options] program.exe [arguments...]
#
#   --timeout N        seconds the program may run (default 120)
#   --expect REGEX     the program's last output line must match (default:
#                      "^DONE: 0 failure\(s\)$"); "" accepts any last line
#   --require TEXT     TEXT must appear somewhere in the output (repeatable)
#   --wine-debug CHANNELS  WINEDEBUG for the program run (default -all)
#   --prefix DIR       Wine prefix (default: build/wine-prefix of this tree for
#                      64-bit programs, build/wine-prefix32 for 32-bit ones)
#   --log FILE         keep the program's output there as well
#   --dll-override E   add E (e.g. ddraw=n,b: a ddraw.dll beside the program
#                      before Wine's own) to WINEDLLOVERRIDES (repeatable)
#   --no-virtual-desktop  run the program on the whole X screen (1024x768)
#                      instead of the prefix's 640x480 virtual desktop, where
#                      no 640x480 display mode can be set
#
# The program's PE header decides the Wine: a 64-bit program runs under
# wine64 in a 64-bit prefix, a 32-bit one under the 32-bit loader (Debian's
# wine32:i386) in a 32-bit prefix of its own. A 32-bit program handed to
# wine64 prints nothing and exits 0, so the choice is never left to chance.
#
# A private Xvfb is started on a free display for every run and stopped by its
# process id afterwards. The prefix is made once (wineboot, then a virtual
# desktop of 640x480 and no crash dialog) and reused. Runs that share a prefix
# are serialised with a lock, because they would share one wineserver and the
# "wineserver -k" after each run would kill the other's program.
#
# Passes (exit 0) only when the program exited with 0 and its last output line
# matched; exit 77 means Wine or Xvfb is not installed (skip).
set -u

script_dir=$(cd "$(dirname "$0")" && pwd)
tree=$(dirname "$script_dir")

timeout_s=120
expect='^DONE: 0 failure\(s\)$'
requires=()
wine_debug=-all
prefix=
log_copy=
overrides=
no_desktop=0
while [ $# -gt 0 ]; do
  case "$1" in
    --timeout) timeout_s=$2; shift 2 ;;
    --expect) expect=$2; shift 2 ;;
    --require) requires+=("$2"); shift 2 ;;
    --wine-debug) wine_debug=$2; shift 2 ;;
    --prefix) prefix=$2; shift 2 ;;
    --log) log_copy=$2; shift 2 ;;
    --dll-override) overrides="$overrides;$2"; shift 2 ;;
    --no-virtual-desktop) no_desktop=1; shift ;;
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
  8664)
    bits=64
    wine=${KX_WINE64:-/usr/lib/wine/wine64}
    wineserver=${KX_WINESERVER64:-/usr/lib/wine/wineserver64}
    winearch=win64
    ;;
  014c)
    # The 64-bit wineserver serves 32-bit Wine processes as well; it runs
    # natively also where 32-bit programs need an emulator (scripts/i386.sh).
    bits=32
    wine=${KX_WINE32:-/usr/lib/wine/wine}
    wineserver=${KX_WINESERVER64:-/usr/lib/wine/wineserver64}
    winearch=win32
    ;;
  *)
    echo "wine_run: $program is not a 32- or 64-bit x86 Windows program" >&2
    exit 2
    ;;
esac
[ -n "$prefix" ] || prefix=$tree/build/wine-prefix$([ $bits = 32 ] && echo 32)
for tool in "$wine" "$wineserver"; do
  if [ ! -x "$tool" ]; then
    echo "wine_run: SKIP: $tool not installed (the $bits-bit Wine)"
    exit 77
  fi
done
if ! "$wine" --version >/dev/null 2>&1; then
  echo "wine_run: SKIP: this machine cannot start $wine (no 32-bit support: run scripts/i386.sh as root)"
  exit 77
fi
if ! command -v Xvfb >/dev/null; then
  echo "wine_run: SKIP: Xvfb not installed"
  exit 77
fi
program=$(cd "$(dirname "$program")" && pwd)/$(basename "$program")

mkdir -p "$(dirname "$prefix")"
prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")
work=$(mktemp -d "${TMPDIR:-/tmp}/kxwine.XXXXXX")

export WINEPREFIX=$prefix
export WINEARCH=$winearch
export WINESERVER=$wineserver
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d$overrides"
export WINEDEBUG=-all
unset WINELOADER

xvfb_pid=

stop_xvfb() {
  [ -n "$xvfb_pid" ] || return 0
  kill -TERM "$xvfb_pid" 2>/dev/null
  for _ in $(seq 50); do
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$xvfb_pid" 2>/dev/null; then
    kill -KILL "$xvfb_pid" 2>/dev/null
  fi
  xvfb_pid=
  rm -f "$prefix.xvfb-pid"
}

stop_wine() {
  timeout -k 2 10 "$wineserver" -k >/dev/null 2>&1 9>&-
}

holding_lock=0
cleanup() {
  # Wine and Xvfb are ours to stop only while we hold the prefix.
  if [ "$holding_lock" = 1 ]; then
    stop_wine
    stop_xvfb
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Only one run per prefix at a time. The lock lives on descriptor 9, which no
# child inherits (9>&-): a leftover Xvfb or wineserver of a killed run must not
# keep the prefix locked.
exec 9>"$prefix.lock"
if ! flock -w 600 9; then
  echo "wine_run: the prefix $prefix stayed busy for 10 minutes" >&2
  exit 1
fi
holding_lock=1
# Leftovers of a run that was killed before its clean-up: its wineserver, and
# its Xvfb, known by the process id that run wrote down.
stop_wine
if [ -f "$prefix.xvfb-pid" ]; then
  old_pid=$(cat "$prefix.xvfb-pid")
  if [ -n "$old_pid" ] && [ "$(cat /proc/"$old_pid"/comm 2>/dev/null)" = Xvfb ]; then
    xvfb_pid=$old_pid
    stop_xvfb
  fi
  rm -f "$prefix.xvfb-pid"
fi

# A private X server on a free display; it writes the display number once it
# accepts connections.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
  3>"$work/display" >"$work/xvfb.log" 2>&1 9>&- &
xvfb_pid=$!
echo "$xvfb_pid" >"$prefix.xvfb-pid"
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
if [ ! -s "$work/display" ]; then
  echo "wine_run: Xvfb did not start" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
export DISPLAY=:$(head -n1 "$work/display")

make_prefix() {
  local started=$SECONDS
  rm -rf "$prefix"
  if ! timeout -k 5 300 "$wine" wineboot -i >"$work/wineboot.log" 2>&1 9>&- ||
     ! timeout -k 5 120 "$wineserver" -w 9>&-; then
    echo "wine_run: wineboot failed" >&2
    cat "$work/wineboot.log" >&2
    return 1
  fi
  # A virtual desktop of the driver's display size: without it a 640x480x16
  # mode cannot be set on the X screen. No crash dialog: a crash would wait
  # for a click until the timeout.
  printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Explorer]' '"Desktop"="Default"' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]' '"Default"="640x480"' '' \
    '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' '"ShowCrashDialog"=dword:00000000' '' \
    >"$prefix/drive_c/kx-settings.reg"
  if ! timeout -k 5 120 "$wine" regedit /S 'C:\kx-settings.reg' >>"$work/wineboot.log" 2>&1 9>&- ||
     ! timeout -k 5 120 "$wineserver" -w 9>&-; then
    echo "wine_run: registry import failed" >&2
    cat "$work/wineboot.log" >&2
    return 1
  fi
  if ! grep -q '"Default"="640x480"' "$prefix/user.reg"; then
    echo "wine_run: the virtual desktop setting did not reach the registry" >&2
    return 1
  fi
  touch "$prefix/.kx-ready"
  echo "wine_run: made the Wine prefix $prefix in $((SECONDS - started)) s"
}

if [ ! -f "$prefix/.kx-ready" ]; then
  make_prefix || exit 1
fi

# Without the virtual desktop: a desktop of this program's own name that
# has no size (Wine's per-program setting), so it gets the whole X screen.
desktop_key="HKCU\\Software\\Wine\\AppDefaults\\$(basename "$program")\\Explorer"
if [ "$no_desktop" = 1 ]; then
  timeout -k 5 120 "$wine" reg add "$desktop_key" /v Desktop /d kxNoVirtualDesktop /f \
    >/dev/null 2>&1 9>&-
  timeout -k 5 60 "$wineserver" -w 9>&-
fi

started=$(date +%s.%N)
(
  cd "$(dirname "$program")" &&
    WINEDEBUG=$wine_debug exec timeout -k 5 "$timeout_s" "$wine" "$program" "$@"
) >"$work/out" 2>&1 </dev/null 9>&-
rc=$?
finished=$(date +%s.%N)
if [ "$no_desktop" = 1 ]; then
  timeout -k 5 120 "$wine" reg delete "$desktop_key" /f >/dev/null 2>&1 9>&-
  timeout -k 5 60 "$wineserver" -w 9>&-
fi
stop_wine
stop_xvfb

# Windows programs end their lines with CR LF.
tr -d '\r' <"$work/out" >"$work/out.txt"
cat "$work/out.txt"
[ -n "$log_copy" ] && cp "$work/out.txt" "$log_copy"
last=$(grep -v '^[[:space:]]*$' "$work/out.txt" | tail -n1)
seconds=$(awk -v a="$started" -v b="$finished" 'BEGIN { printf "%.1f", b - a }')

verdict=0
if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
  echo "wine_run: FAIL: $(basename "$program") timed out after $timeout_s s"
  verdict=1
elif [ "$rc" -ne 0 ]; then
  echo "wine_run: FAIL: $(basename "$program") exited with $rc"
  verdict=1
fi
if [ -n "$expect" ] && ! printf '%s\n' "$last" | grep -Eq -- "$expect"; then
  echo "wine_run: FAIL: last line \"$last\" does not match /$expect/"
  verdict=1
fi
for text in ${requires[@]+"${requires[@]}"}; do
  if ! grep -Fq -- "$text" "$work/out.txt"; then
    echo "wine_run: FAIL: the output lacks \"$text\""
    verdict=1
  fi
done
echo "wine_run: $(basename "$program") ran ${seconds} s, exit code $rc: $([ $verdict -eq 0 ] && echo PASS || echo FAIL)"
exit $verdict
