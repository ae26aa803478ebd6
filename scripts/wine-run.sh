#!/bin/sh
# Runs a Windows program under 64-bit Wine in the build's own prefix (never ~/.wine).
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${SETUP_WINEPREFIX:-$root/build/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
# Wine's shell starts winemenubuilder for every shortcut it saves; it opens the
# new link a moment later, and a test that deletes or rewrites the link then
# sometimes finds it in use. No Windows has it, so the tests run without it.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"
[ -d "$WINEPREFIX" ] || "$root/scripts/wine-prefix.sh"
exec /usr/lib/wine/wine64 "$@"
