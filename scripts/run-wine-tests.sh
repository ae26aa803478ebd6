#!/usr/bin/env bash
# Runs a command (normally the win64 ctest) with the build's Wine prefix ready,
# one wineserver kept alive for the whole run, and a virtual X display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${SETUP_WINEPREFIX:-$root/build/wine}"
export WINEDEBUG=-all

if [ "${1:-}" = --inside-display ]; then
  shift
  /usr/lib/wine/wineserver -p
  trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
  # Start Wine's background services now, detached from our output: started by
  # the first test instead, they would inherit ctest's pipes and ctest would
  # wait for them to close.
  /usr/lib/wine/wine64 cmd /c exit </dev/null >/dev/null 2>&1 || true
  "$@"
  exit
fi

"$root/scripts/wine-prefix.sh"
if [ -n "${DISPLAY:-}" ] && [ -z "${SETUP_FORCE_XVFB:-}" ]; then
  exec "$0" --inside-display "$@"
fi
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --inside-display "$@"
