# Sourced by wine_run.sh and wine_prefix.sh: which Wine serves a build, its
# environment, and a private X server.
#
#   wine_select win32|win64 [PREFIX]   sets wine, wineserver, prefix and the
#                                      WINE* variables; 77 when that Wine
#                                      cannot run here (the caller's skip)
#   xvfb_start                          a private Xvfb on a free display
#   wine_stop                           the prefix's wineserver and the Xvfb

wine_tree=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

wine_select() {
  case "$1" in
    win64)
      wine=${KX_WINE64:-/usr/lib/wine/wine64}
      prefix=${2:-$wine_tree/build/wine-prefix}
      ;;
    win32)
      # 32-bit programs run under Debian's wine32:i386 loader; the 64-bit
      # wineserver serves them too and runs natively also where 32-bit
      # programs need an emulator (scripts/i386.sh).
      wine=${KX_WINE32:-/usr/lib/wine/wine}
      prefix=${2:-$wine_tree/build/wine-prefix32}
      ;;
    *) echo "wine: no Wine for $1" >&2; return 2 ;;
  esac
  wineserver=${KX_WINESERVER64:-/usr/lib/wine/wineserver64}
  local tool
  for tool in "$wine" "$wineserver"; do
    [ -x "$tool" ] || { echo "SKIP: $tool not installed (the $1 Wine)"; return 77; }
  done
  if ! "$wine" --version >/dev/null 2>&1; then
    echo "SKIP: this machine cannot start $wine (no 32-bit support: run scripts/i386.sh as root)"
    return 77
  fi
  command -v Xvfb >/dev/null || { echo "SKIP: Xvfb not installed"; return 77; }
  mkdir -p "$(dirname "$prefix")"
  prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")
  export WINEPREFIX=$prefix WINEARCH=$1 WINESERVER=$wineserver WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  unset WINELOADER
}

xvfb_pid=
xvfb_work=
# Xvfb writes its display number once it accepts connections. It stays in
# this process group, so a runner that kills the group on a timeout ends it.
xvfb_start() {
  xvfb_work=$(mktemp -d "${TMPDIR:-/tmp}/kxxvfb.XXXXXX")
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
    3>"$xvfb_work/display" >"$xvfb_work/log" 2>&1 &
  xvfb_pid=$!
  local _
  for _ in $(seq 100); do
    [ -s "$xvfb_work/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -s "$xvfb_work/display" ]; then
    echo "wine: Xvfb did not start" >&2
    cat "$xvfb_work/log" >&2
    return 1
  fi
  export DISPLAY=:$(head -n1 "$xvfb_work/display")
}

# The wineserver outlives the program (and a killed run's leftovers are
# stopped by the next run on the prefix); Xvfb is stopped by its process id.
wine_stop() {
  timeout -k 2 10 "$wineserver" -k >/dev/null 2>&1
  if [ -n "$xvfb_pid" ]; then
    kill -TERM "$xvfb_pid" 2>/dev/null
    local _
    for _ in $(seq 50); do
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=
  fi
  [ -z "$xvfb_work" ] || rm -rf "$xvfb_work"
  xvfb_work=
}
