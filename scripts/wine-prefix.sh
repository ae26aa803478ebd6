#!/bin/sh
# Creates the build's Wine prefix once; later calls return at once.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${SETUP_WINEPREFIX:-$root/build/wine}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
[ -f "$WINEPREFIX/system.reg" ] && exit 0
mkdir -p "$WINEPREFIX"
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
/usr/lib/wine/wineserver -w
test -f "$WINEPREFIX/system.reg"
