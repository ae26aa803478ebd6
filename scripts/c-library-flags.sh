# Sourced by the scripts that cross-build C libraries for the installer.
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
