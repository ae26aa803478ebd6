#!/usr/bin/env bash
# Packs the demo product Morvane into dist/demo/Setup-Morvane.exe and installs
# it under Wine in the demo's own prefix (build/wine-demo): through the setup
# window when a display is available, otherwise unattended (Setup.exe /S).
# `make demo` installs the dependencies and builds first; run alone, this
# script expects dist/linux/mksetup and the dist/win64 programs to exist.
#   DEMO_FRESH=1       start from a new Wine prefix
#   DEMO_UNATTENDED=1  install without the window even when a display exists
#   DEMO_PACK_ONLY=1   pack and verify only (the damaged-installer test's
#                      fixture); without a built packer it says so and ends
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

mksetup=dist/linux/mksetup
stub=dist/win64/Setup.exe
package=examples/morvane/morvane.pkg
language=examples/morvane/Setup.lng
installer=dist/demo/Setup-Morvane.exe
prefix="$root/build/wine-demo"
record="$root/build/demo-launch.txt"

if [ "${DEMO_PACK_ONLY:-}" = 1 ] && [ ! -x "$mksetup" ]; then
  echo "demo: $mksetup is not built (make linux builds it); nothing packed"
  exit 0
fi
for f in "$mksetup" "$stub" dist/win64/Morvane.exe dist/win64/Start.exe; do
  [ -f "$f" ] || { echo "demo: $f is missing; run 'make demo' (it builds first)" >&2; exit 1; }
done

echo "== packing $installer"
lang_args=()
if [ -f "$language" ]; then
  lang_args=(--lang "$language")
else
  echo "demo: $language not found; the installer will carry no language file" >&2
fi
start=$(date +%s.%N)
"$mksetup" build "$package" -o "$installer" --stub "$stub" "${lang_args[@]}" --compare-zlib
end=$(date +%s.%N)
awk -v s="$start" -v e="$end" 'BEGIN { printf "packing took %.2f s (wall clock, with the zlib level 9 comparison)\n", e - s }'
"$mksetup" verify "$installer"
# What winget needs to install it (the download address is the maker's).
"$mksetup" manifest "$installer" --id Brumo.Morvane \
    --url https://www.brumo.example/download/Setup-Morvane.exe -o dist/demo/Setup-Morvane.yaml
echo "winget manifest: dist/demo/Setup-Morvane.yaml"
[ "${DEMO_PACK_ONLY:-}" = 1 ] && exit 0

echo
echo "== installing under Wine (prefix $prefix)"
[ "${DEMO_FRESH:-}" = 1 ] && rm -rf "$prefix"
export SETUP_WINEPREFIX="$prefix" WINEPREFIX="$prefix" WINEDEBUG=-all
scripts/wine-prefix.sh
# A new Wine prefix lacks the 32-bit view of the list of installed programs
# that every 64-bit Windows has; the installer registers itself there.
scripts/wine-run.sh reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /reg:32 /f >/dev/null 2>&1 || true
rm -f "$record"
# Morvane.exe, started by the installer at its end, writes how it was launched here.
export MORVANE_LAUNCH_RECORD="Z:${record//\//\\}"
status=0
if [ -n "${DISPLAY:-}" ] && [ "${DEMO_UNATTENDED:-}" != 1 ]; then
  echo "the setup window opens on $DISPLAY: choose a language, confirm, and the installation runs"
  scripts/wine-run.sh "$installer" || status=$?
  /usr/lib/wine/wineserver -w || true
else
  echo "no display: unattended installation (Setup-Morvane.exe /S)"
  # Wine still wants an X server for its desktop services, so a virtual one is
  # used, kept until every Wine process of the installation has ended.
  timeout 600 xvfb-run -a -s "-screen 0 1280x1024x24" bash -c \
    'scripts/wine-run.sh "$1" /S; rc=$?; /usr/lib/wine/wineserver -w; exit $rc' demo "$installer" 2>&1 \
    | grep -v '^X connection to' || true
  status=${PIPESTATUS[0]}
fi
echo "the installer ended with exit code $status"

drive="$prefix/drive_c"
echo
echo "== installed files"
found=0
for dir in "$drive/Program Files/Morvane" "$drive/Program Files (x86)/Morvane"; do
  if [ -d "$dir" ]; then
    found=1
    echo "$dir:"
    (cd "$dir" && find . -type f | sed 's|^\./|  |' | sort)
  fi
done
if [ "$found" = 0 ]; then
  echo "  (no Morvane folder under Program Files: the installation did not run)"
  [ "$status" = 0 ] && status=1
fi

echo
echo "== uninstall entry"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
entry=""
for view in /reg:32 /reg:64; do
  out=$(scripts/wine-run.sh reg query "$uninstall_key" /s $view 2>/dev/null | tr -d '\r' || true)
  # The package names its entry Brumo.Morvane (Key= on its uninst line).
  block=$(echo "$out" | awk '/^HKEY/ {keep = ($0 ~ /\\Brumo\.Morvane$/)} keep')
  if [ -n "$block" ]; then entry=$block; echo "$block"; break; fi
done
[ -n "$entry" ] || echo "  (none registered)"

echo
echo "== product key"
for view in /reg:32 /reg:64; do
  if out=$(scripts/wine-run.sh reg query 'HKLM\Software\Brumo\Morvane' $view 2>/dev/null); then
    echo "$out" | tr -d '\r' | sed '/^$/d'
    break
  fi
  [ $view = /reg:64 ] && echo "  (none)"
done

echo
echo "== shortcuts"
find "$drive" \( -path '*Desktop*' -o -path '*Start Menu*' \) \( -iname '*.lnk' -o -iname 'desktop.ini' \) 2>/dev/null \
  | grep -i morvane | sed "s|^$drive|  C:|" || echo "  (none)"

echo
echo "== launch of the installed program"
if [ -f "$record" ]; then
  sed 's/^/  /' "$record" | tr -d '\r'
else
  echo "  (Morvane.exe was not started: the setup window starts it at its end, an unattended installation does not)"
fi

echo
echo "== to remove it again"
command=$(echo "$entry" | sed -n 's/^ *UninstallString *REG_SZ *//p' | head -n 1)
if [ -n "$command" ]; then
  echo "  SETUP_WINEPREFIX=$prefix scripts/wine-run.sh $command        (with its window)"
  echo "  SETUP_WINEPREFIX=$prefix xvfb-run -a scripts/wine-run.sh $command /S   (unattended)"
else
  echo "  SETUP_WINEPREFIX=$prefix scripts/wine-run.sh 'C:\\Program Files\\Morvane\\uninstall.exe' /uninst"
fi
echo "  or throw the whole prefix away: rm -rf $prefix"
exit "$status"
