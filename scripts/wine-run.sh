#!/bin/sh
# Runs a Windows program under 64-bit Wine in the build's own prefix (never ~/.wine).
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${SETUP_WINEPREFIX:-$root/build/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
[ -d "$WINEPREFIX" ] || "$root/scripts/wine-prefix.sh"
exec /usr/lib/wine/wine64 "$@"
