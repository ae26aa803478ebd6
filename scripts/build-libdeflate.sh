#!/usr/bin/env bash
# Cross-builds libdeflate (static) for one MinGW target from Debian's source
# package; the packer uses it for its smallest zlib streams.
# Usage: build-libdeflate.sh TRIPLET PREFIX
# Idempotent: does nothing when PREFIX/lib/libdeflate.a exists.
set -euo pipefail
triplet=$1
prefix=$(realpath -m "$2")
[ -f "$prefix/lib/libdeflate.a" ] && exit 0

root=$(cd "$(dirname "$0")/.." && pwd)
srcroot="$root/build/deps/src"
mkdir -p "$srcroot"
src=$(find "$srcroot" -maxdepth 1 -type d -name 'libdeflate-*' | head -n 1)
if [ -z "$src" ]; then
  (cd "$srcroot" && apt-get source --download-only libdeflate >/dev/null 2>&1 || apt-get source --download-only libdeflate)
  (cd "$srcroot" && dpkg-source -x --no-check libdeflate_*.dsc >/dev/null)
  src=$(find "$srcroot" -maxdepth 1 -type d -name 'libdeflate-*' | head -n 1)
fi

# The library is a handful of C files without configuration: compile them
# directly instead of going through its Makefile's host detection.
work="$root/build/deps/libdeflate-$triplet"
rm -rf "$work"
mkdir -p "$work"
for c in "$src"/lib/*.c "$src"/lib/x86/*.c; do
  $triplet-gcc-posix -O2 -I"$src" -c "$c" -o "$work/$(basename "$(dirname "$c")")-$(basename "$c" .c).o"
done
mkdir -p "$prefix/lib" "$prefix/include"
rm -f "$work/libdeflate.a"
$triplet-ar rcs "$work/libdeflate.a" "$work"/*.o
cp "$work/libdeflate.a" "$prefix/lib/libdeflate.a"
cp "$src/libdeflate.h" "$prefix/include/"
