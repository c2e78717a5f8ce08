#!/usr/bin/env bash
# Makes the Wine prefix scripts/wine_run.sh runs a build's programs in, once:
#
#   scripts/wine_prefix.sh win32|win64 [PREFIX]
#
# (default PREFIX: build/wine-prefix for win64, build/wine-prefix32 for
# win32). wineboot, then a virtual desktop of 640x480 (without it a 640x480x16
# display mode cannot be set on the X screen) and no crash dialog (a crash
# would wait for a click until the time limit). A prefix already made is
# kept. Exit 77 when that Wine cannot run here. CTest runs it as the fixture
# wine.prefix_win32 / _win64 before the Wine tests.
set -u
. "$(dirname "$0")/wine_env.sh"
[ $# -ge 1 ] || { echo "usage: wine_prefix.sh win32|win64 [PREFIX]" >&2; exit 2; }
wine_select "$1" "${2:-}" || exit $?
if [ -f "$prefix/.kx-ready" ]; then
  echo "wine_prefix: $prefix is ready"
  exit 0
fi
trap wine_stop EXIT
wine_stop
xvfb_start || exit 1
started=$SECONDS
rm -rf "$prefix"
fail() { echo "wine_prefix: $1 failed"; exit 1; }
"$wine" wineboot -i && "$wineserver" -w || fail wineboot
printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
  '[HKEY_CURRENT_USER\Software\Wine\Explorer]' '"Desktop"="Default"' '' \
  '[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]' '"Default"="640x480"' '' \
  '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' '"ShowCrashDialog"=dword:00000000' '' \
  >"$prefix/drive_c/kx-settings.reg"
"$wine" regedit /S 'C:\kx-settings.reg' && "$wineserver" -w || fail "the registry import"
grep -q '"Default"="640x480"' "$prefix/user.reg" || fail "the virtual desktop setting"
touch "$prefix/.kx-ready"
echo "wine_prefix: made $prefix in $((SECONDS - started)) s"
