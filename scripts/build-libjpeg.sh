#!/usr/bin/env bash
# Cross-builds libjpeg-turbo (libjpeg 6b API, static) for one MinGW target from
# Debian's source package. Usage: build-libjpeg.sh TRIPLET PREFIX
# Idempotent: does nothing when PREFIX holds a library built with these settings.
set -euo pipefail
triplet=$1
prefix=$(realpath -m "$2")
# Built for size: link-time optimisation drops the functions the installer
# never calls, the Microsoft C runtime's printf and sscanf serve the library's
# few messages instead of MinGW's own (about 50 KB), and the decoder leaves out
# what a picture decoded at its full size into RGB, grey or CMYK never needs:
# scaled and legacy inverse DCTs, merged upsampling, colour quantisation,
# arithmetic decoding, and block smoothing (which only a progressive picture
# that lacks its last refinement scans would use). A library built with other
# settings is built again.
# The 32-bit build differs (scripts/c-library-flags.sh).
source "$(dirname "$0")/c-library-flags.sh"
flags=$(c_library_flags "$triplet" "-ffunction-sections -fdata-sections -D__USE_MINGW_ANSI_STDIO=0 -flto -ffat-lto-objects")
unused="BLOCK_SMOOTHING_SUPPORTED DCT_IFAST_SUPPORTED DCT_FLOAT_SUPPORTED IDCT_SCALING_SUPPORTED UPSAMPLE_MERGING_SUPPORTED QUANT_1PASS_SUPPORTED QUANT_2PASS_SUPPORTED"
settings="MinSizeRel $flags arith-dec-off $unused"
[ -f "$prefix/lib/libjpeg.a" ] && [ "$(cat "$prefix/lib/libjpeg.settings" 2>/dev/null)" = "$settings" ] && exit 0

root=$(cd "$(dirname "$0")/.." && pwd)
srcroot="$root/build/deps/src"
mkdir -p "$srcroot"
src=$(find "$srcroot" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n 1)
if [ -z "$src" ]; then
  (cd "$srcroot" && apt-get source --download-only libjpeg-turbo >/dev/null 2>&1 || apt-get source --download-only libjpeg-turbo)
  (cd "$srcroot" && dpkg-source -x --no-check libjpeg-turbo_*.dsc >/dev/null)
  src=$(find "$srcroot" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n 1)
fi

# The features left out are switched off in the library's own configuration
# header (a scratch copy of the source).
for feature in $unused; do
  sed -i "s/^#define $feature\b/#undef $feature/" "$src/jmorecfg.h"
done

cpu=x86_64
[ "$triplet" = i686-w64-mingw32 ] && cpu=i686
work="$root/build/deps/libjpeg-$triplet"
rm -rf "$work"
cmake -S "$src" -B "$work" -G Ninja \
  -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=$cpu \
  -DCMAKE_C_COMPILER=$triplet-gcc-posix -DCMAKE_RC_COMPILER=$triplet-windres \
  -DCMAKE_AR="$(command -v $triplet-gcc-ar-posix)" -DCMAKE_RANLIB="$(command -v $triplet-gcc-ranlib-posix)" \
  -DCMAKE_FIND_ROOT_PATH=/usr/$triplet \
  -DCMAKE_BUILD_TYPE=MinSizeRel -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
  -DWITH_JPEG7=OFF -DWITH_JPEG8=OFF -DWITH_ARITH_ENC=OFF -DWITH_ARITH_DEC=OFF >/dev/null
cmake --build "$work" --target jpeg-static >/dev/null
mkdir -p "$prefix/lib" "$prefix/include"
cp "$work/libjpeg.a" "$prefix/lib/libjpeg.a"
cp "$work/jconfig.h" "$src/jerror.h" "$src/jmorecfg.h" "$src/jpeglib.h" "$prefix/include/"
echo "$settings" > "$prefix/lib/libjpeg.settings"
