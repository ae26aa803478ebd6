#!/bin/sh
# Creates the build's Wine prefix once; later calls return at once.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${SETUP_WINEPREFIX:-$root/build/wine}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
[ -f "$WINEPREFIX/.setup-prefix-ready" ] && exit 0
mkdir -p "$WINEPREFIX"
[ -f "$WINEPREFIX/system.reg" ] || /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
# 64-bit Windows always has the 32-bit view of the uninstall key; a 64-bit-only
# Wine prefix does not, and the installer opens that key without creating it.
/usr/lib/wine/wine64 reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /reg:32 /f >/dev/null 2>&1
/usr/lib/wine/wineserver -w
test -f "$WINEPREFIX/system.reg"
touch "$WINEPREFIX/.setup-prefix-ready"
