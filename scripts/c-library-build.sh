# Sourced by the scripts that cross-build C libraries from Debian's source
# packages (scripts/build-*.sh): their flags, their record of how a library
# was built, and the unpacked source.

# Prints the compiler flags for TRIPLET, given the flags of the 64-bit build.
# No C++ exception passes through this C code (its errors return codes or jump
# back with longjmp), so the 32-bit build, whose exceptions unwind by tables,
# needs no unwind tables for it; without them the linker's section collection
# drops what is never called, and link-time optimisation (which would bring
# the tables back) is not needed.
c_library_flags() {
  local triplet=$1 flags=$2
  [ "$triplet" = i686-w64-mingw32 ] && flags="${flags/ -flto -ffat-lto-objects/} -fno-asynchronous-unwind-tables -fno-unwind-tables"
  printf '%s\n' "$flags"
}

# Succeeds when PREFIX holds LIBRARY (libz, liblzma, ...) built with SETTINGS:
# the scripts then have nothing to do.
c_library_built() {
  local prefix=$1 library=$2 settings=$3
  [ -f "$prefix/lib/$library.a" ] && [ "$(cat "$prefix/lib/$library.settings" 2>/dev/null)" = "$settings" ]
}

# Records SETTINGS beside LIBRARY once it is in PREFIX.
c_library_record() {
  local prefix=$1 library=$2 settings=$3
  echo "$settings" > "$prefix/lib/$library.settings"
}

# Sets src to the folder of PACKAGE's source below build/deps/src, fetched
# and unpacked first if it is not there. The newest version's Debian files
# may be gone from the mirror while its binary is not installed yet: then the
# source of the installed version of BINARY (a binary package built from it)
# serves as well.
debian_source() {
  local package=$1 binary=$2 srcroot version
  srcroot="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/deps/src"
  mkdir -p "$srcroot"
  src=$(find "$srcroot" -maxdepth 1 -type d -name "$package-*" | head -n 1)
  [ -n "$src" ] && return 0
  if ! (cd "$srcroot" && apt-get source --download-only "$package" >/dev/null 2>&1); then
    version=$(dpkg-query -W -f='${source:Version}' "$binary" 2>/dev/null || true)
    rm -f "$srcroot/${package}_"*
    (cd "$srcroot" && apt-get source --download-only "$package${version:+=$version}")
  fi
  (cd "$srcroot" && dpkg-source -x --no-check "$(ls "${package}"_*.dsc | head -n 1)" >/dev/null)
  src=$(find "$srcroot" -maxdepth 1 -type d -name "$package-*" | head -n 1)
  [ -n "$src" ]
}
