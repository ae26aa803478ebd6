#!/usr/bin/env bash
# Cross-builds zlib (static) for one MinGW target from Debian's source package,
# for size: the installer's image carries it. Only the zlib format is used
# (window bits 15), so the gzip wrapper and its CRC tables are left out.
# Usage: build-zlib.sh TRIPLET PREFIX
# Idempotent: does nothing when PREFIX holds a library built with these settings.
set -euo pipefail
triplet=$1
prefix=$(realpath -m "$2")
# The 32-bit build differs (scripts/c-library-build.sh).
source "$(dirname "$0")/c-library-build.sh"
flags=$(c_library_flags "$triplet" "-Os -DNO_GZIP -ffunction-sections -fdata-sections -flto -ffat-lto-objects")
c_library_built "$prefix" libz "$flags" && exit 0

root=$(cd "$(dirname "$0")/.." && pwd)
debian_source zlib zlib1g

# A handful of C files without configuration: compiled directly, the gz*
# file functions left out.
work="$root/build/deps/zlib-$triplet"
rm -rf "$work"
mkdir -p "$work"
for c in adler32 compress crc32 deflate infback inffast inflate inftrees trees uncompr zutil; do
  $triplet-gcc-posix $flags -I"$src" -c "$src/$c.c" -o "$work/$c.o"
done
$triplet-gcc-ar-posix rcs "$work/libz.a" "$work"/*.o
mkdir -p "$prefix/lib" "$prefix/include"
cp "$work/libz.a" "$prefix/lib/libz.a"
cp "$src/zlib.h" "$src/zconf.h" "$prefix/include/"
c_library_record "$prefix" libz "$flags"
