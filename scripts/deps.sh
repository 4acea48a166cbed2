#!/usr/bin/env bash
# Installs what the build and the tests need from Debian's packages, once (idempotent).
set -euo pipefail

packages=(
  cmake ninja-build ccache g++ clang libclang-rt-dev
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine64 xvfb xauth x11-apps imagemagick fonts-wqy-microhei locales
  libgtest-dev googletest libbenchmark-dev nlohmann-json3-dev dmidecode python3 nsis
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "deps: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" = 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
