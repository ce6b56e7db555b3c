#!/usr/bin/env bash
# Installs the Debian packages Kelvane builds and tests with. Idempotent: does
# nothing when everything is already present.
set -euo pipefail

pkgs=(cmake g++ make pkg-config googletest libgtest-dev libgmock-dev libbenchmark-dev
      g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64
      libsndfile1-dev libfreetype-dev libfontconfig-dev fonts-liberation
      libx11-dev libxext-dev libxtst-dev libstb-dev libpng-dev
      wine wine64 xvfb xauth x11-apps qemu-user-static)
i386_pkgs=(wine32:i386)

missing=()
for p in "${pkgs[@]}" "${i386_pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
