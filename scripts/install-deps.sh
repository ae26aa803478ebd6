#!/usr/bin/env bash
# Installs every build and test dependency from Debian's packages. Idempotent; run as root.
set -euo pipefail

packages=(
  cmake make ninja-build pkg-config g++ git
  mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  wine64 xvfb xauth
  zlib1g-dev libz-mingw-w64-dev libdeflate-dev liblzma-dev
  googletest libgtest-dev
  dpkg-dev nasm
  nsis time
  clang libclang-rt-dev
  osslsigncode openssl
  ccache
  python3 python3-yaml
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

need_src=0
grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ /etc/apt/sources.list 2>/dev/null || need_src=1
if [ "$need_src" = 1 ] && [ -f /etc/apt/sources.list.d/debian.sources ]; then
  # apt-get source needs deb-src entries beside the deb ones (zlib and others are cross-built from source).
  sed -i 's/^Types: deb$/Types: deb deb-src/' /etc/apt/sources.list.d/debian.sources
fi

if [ "${#missing[@]}" -gt 0 ] || [ "$need_src" = 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  [ "${#missing[@]}" -gt 0 ] && apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
exit 0
