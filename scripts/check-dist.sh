#!/usr/bin/env bash
# Checks the Windows executables in dist/: the right PE kind, no DLL imports
# beyond Windows' own libraries (everything else is linked statically), and
# the installer's program image within its byte budget: every installer
# carries it, so it is most of a small product's download.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
image_budget=${SETUP_IMAGE_BUDGET:-400000}
allowed='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|shlwapi|msvcrt|version|uxtheme|ws2_32|imm32|winmm|rpcrt4|uuid)\.dll$'
status=0
check() { # dir objdump-prefix expected-format
  local dir=$1 tool=$2 format=$3
  shopt -s nullglob
  local files=("$root/dist/$dir"/*.exe)
  if [ ${#files[@]} -eq 0 ]; then echo "check-dist: no executables in dist/$dir" >&2; status=1; return; fi
  for f in "${files[@]}"; do
    if ! $tool-objdump -f "$f" | grep -q "file format $format"; then
      echo "check-dist: $f is not $format" >&2; status=1
    fi
    while read -r dll; do
      if ! echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$allowed"; then
        echo "check-dist: $f imports $dll" >&2; status=1
      fi
    done < <($tool-objdump -p "$f" | sed -n 's/^\s*DLL Name: //p')
  done
  local image="$root/dist/$dir/Setup.exe" size
  if [ ! -f "$image" ]; then
    echo "check-dist: dist/$dir/Setup.exe is missing" >&2; status=1
  else
    size=$(stat -c %s "$image")
    if [ "$size" -gt "$image_budget" ]; then
      echo "check-dist: dist/$dir/Setup.exe is $size bytes, over its budget of $image_budget" >&2; status=1
    fi
  fi
  echo "check-dist: dist/$dir: ${#files[@]} executable(s), $format, Windows DLLs only, Setup.exe ${size:-?} of $image_budget bytes"
}
check win64 x86_64-w64-mingw32 pei-x86-64
check win32 i686-w64-mingw32 pei-i386
exit $status
