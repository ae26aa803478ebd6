#!/usr/bin/env bash
# Cross-builds libdeflate (static) for one MinGW target from Debian's source
# package. Usage: build-libdeflate.sh TRIPLET PREFIX [decoder]
# Without a kind it is the packer's, for its smallest zlib streams: the whole
# library, built for speed. With "decoder" it is the installer's: the zlib
# decompressor alone (about 10 KB), built for size like the other libraries in
# the image; it inflates whole pieces about three times as fast as zlib.
# Idempotent: does nothing when PREFIX holds a library built with these settings.
set -euo pipefail
triplet=$1
prefix=$(realpath -m "$2")
kind=${3:-full}
source "$(dirname "$0")/c-library-build.sh"
if [ "$kind" = decoder ]; then
  flags=$(c_library_flags "$triplet" "-Os -ffunction-sections -fdata-sections -flto -ffat-lto-objects")
  files="deflate_decompress zlib_decompress adler32 utils x86/cpu_features"
else
  flags="-O2"
  files=""
fi
settings="$kind $flags"
c_library_built "$prefix" libdeflate "$settings" && exit 0

root=$(cd "$(dirname "$0")/.." && pwd)
debian_source libdeflate libdeflate0

# The library is a handful of C files without configuration: compile them
# directly instead of going through its Makefile's host detection.
work="$root/build/deps/libdeflate-$triplet-$kind"
rm -rf "$work"
mkdir -p "$work"
if [ -n "$files" ]; then
  sources=$(for f in $files; do echo "$src/lib/$f.c"; done)
else
  sources=$(ls "$src"/lib/*.c "$src"/lib/x86/*.c)
fi
for c in $sources; do
  $triplet-gcc-posix $flags -I"$src" -c "$c" -o "$work/$(basename "$(dirname "$c")")-$(basename "$c" .c).o"
done
mkdir -p "$prefix/lib" "$prefix/include"
$triplet-gcc-ar-posix rcs "$work/libdeflate.a" "$work"/*.o
cp "$work/libdeflate.a" "$prefix/lib/libdeflate.a"
cp "$src/libdeflate.h" "$prefix/include/"
c_library_record "$prefix" libdeflate "$settings"
