#!/usr/bin/env bash
# Writes dist/release/: the two installer programs, the packer for Linux and
# for Windows, the documentation and SHA256SUMS. Expects a built tree
# (`make release` builds first). Every program carries the same version
# (VERSION file, else git describe), printed here.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
out=dist/release

copy() { # source target
  [ -f "$1" ] || { echo "release: $1 is missing (make release builds it)" >&2; exit 1; }
  mkdir -p "$(dirname "$out/$2")"
  cp "$1" "$out/$2"
}

rm -rf "$out"
mkdir -p "$out"
copy dist/win32/Setup.exe Setup-win32.exe
copy dist/win64/Setup.exe Setup-win64.exe
copy dist/linux/mksetup linux/mksetup
copy dist/win64/mksetup.exe win64/mksetup.exe
copy README.md README.md
copy tools/mksetup/README.md tools/mksetup/README.md
[ -f docs/package-reference.md ] && copy docs/package-reference.md docs/package-reference.md

version=$("$out/linux/mksetup" --version)
(cd "$out" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | sort | xargs sha256sum >SHA256SUMS)
echo "release: $version"
(cd "$out" && find . -type f | sed 's|^\./||' | sort | while read -r f; do printf '  %-32s %10d bytes\n' "$f" "$(stat -c %s "$f")"; done)
