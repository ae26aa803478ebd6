#!/usr/bin/env bash
# Cross-builds liblzma (static) for one MinGW target from Debian's xz-utils
# source package. Usage: build-liblzma.sh TRIPLET PREFIX [full]
# Without "full" the library is the installer's, built for size: the xz
# format's decoder with LZMA2 (which needs LZMA1) only, and CRC-32 as the only
# check (the packer writes its blocks without a check: the installer compares
# the CRC-32 of the whole section before it decodes). Not with --enable-small:
# its CRC-32 runs at a fifth of the speed (232 against 1,110 MB/s here), on the
# path before the first write, and its decoder loop takes 5.5% more
# instructions; both cost about 16 KB of image (8 KB of them CRC tables),
# which the 32-bit image, close to its budget, cannot take: it keeps
# --enable-small.
# With "full" it is the packer's, encoders included.
# Idempotent: does nothing when PREFIX holds a library built with these settings.
set -euo pipefail
triplet=$1
prefix=$(realpath -m "$2")
kind=${3:-decoder}
# The 32-bit build differs (scripts/c-library-build.sh).
source "$(dirname "$0")/c-library-build.sh"
if [ "$kind" = full ]; then
  flags="-O2"
  options="--enable-threads=vista"
else
  flags=$(c_library_flags "$triplet" "-Os -ffunction-sections -fdata-sections -flto -ffat-lto-objects")
  options="--enable-threads=vista --disable-encoders --enable-decoders=lzma1,lzma2 --enable-checks=crc32
    --disable-match-finders --disable-lzip-decoder --disable-microlzma"
  [ "$triplet" = i686-w64-mingw32 ] && options="$options --enable-small"
fi
settings="$kind $flags $(echo $options)"
c_library_built "$prefix" liblzma "$settings" && exit 0

root=$(cd "$(dirname "$0")/.." && pwd)
debian_source xz-utils liblzma5

work="$root/build/deps/liblzma-$triplet-$kind"
rm -rf "$work"
mkdir -p "$work"
# Only the library is built: no programs, scripts, documents or translations.
# The compiler's warnings about the library's code go to a log.
if ! (cd "$work" && "$src/configure" --host="$triplet" --prefix="$prefix" \
  CC="$triplet-gcc-posix" AR="$triplet-gcc-ar-posix" RANLIB="$triplet-gcc-ranlib-posix" CFLAGS="$flags" \
  --disable-shared --enable-static --disable-xz --disable-xzdec --disable-lzmadec --disable-lzmainfo \
  --disable-lzma-links --disable-scripts --disable-doc --disable-nls $options >"$work/build.log" 2>&1 &&
  make -C "$work/src/liblzma" -j2 >>"$work/build.log" 2>&1); then
  tail -n 30 "$work/build.log" >&2
  exit 1
fi
mkdir -p "$prefix/lib" "$prefix/include/lzma"
cp "$work/src/liblzma/.libs/liblzma.a" "$prefix/lib/liblzma.a"
cp "$src/src/liblzma/api/lzma.h" "$prefix/include/"
cp "$src"/src/liblzma/api/lzma/*.h "$prefix/include/lzma/"
c_library_record "$prefix" liblzma "$settings"
