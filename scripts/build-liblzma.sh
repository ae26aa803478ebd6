#!/usr/bin/env bash
# Cross-builds liblzma (static) for one MinGW target from Debian's xz-utils
# source package. Usage: build-liblzma.sh TRIPLET PREFIX [full]
# Without "full" the library is the installer's, built for size: the xz
# format's decoder with LZMA2 (which needs LZMA1) only, and CRC-32 as the only
# check, from small tables (the packer writes its blocks without a check: the
# installer compares the CRC-32 of the whole section before it decodes).
# With "full" it is the packer's, encoders included.
# Idempotent: does nothing when PREFIX holds a library built with these settings.
set -euo pipefail
triplet=$1
prefix=$(realpath -m "$2")
kind=${3:-decoder}
# The 32-bit build differs (scripts/c-library-flags.sh).
source "$(dirname "$0")/c-library-flags.sh"
if [ "$kind" = full ]; then
  flags="-O2"
  options="--enable-threads=vista"
else
  flags=$(c_library_flags "$triplet" "-Os -ffunction-sections -fdata-sections -flto -ffat-lto-objects")
  options="--enable-threads=vista --disable-encoders --enable-decoders=lzma1,lzma2 --enable-checks=crc32 --enable-small
    --disable-match-finders --disable-lzip-decoder --disable-microlzma"
fi
settings="$kind $flags $(echo $options)"
[ -f "$prefix/lib/liblzma.a" ] && [ "$(cat "$prefix/lib/liblzma.settings" 2>/dev/null)" = "$settings" ] && exit 0

root=$(cd "$(dirname "$0")/.." && pwd)
srcroot="$root/build/deps/src"
mkdir -p "$srcroot"
src=$(find "$srcroot" -maxdepth 1 -type d -name 'xz-utils-*' | head -n 1)
if [ -z "$src" ]; then
  (cd "$srcroot" && apt-get source --download-only xz-utils >/dev/null 2>&1 || apt-get source --download-only xz-utils)
  (cd "$srcroot" && dpkg-source -x --no-check "$(ls xz-utils_*.dsc | head -n 1)" >/dev/null)
  src=$(find "$srcroot" -maxdepth 1 -type d -name 'xz-utils-*' | head -n 1)
fi

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
echo "$settings" > "$prefix/lib/liblzma.settings"
