#!/usr/bin/env bash
# Installs the Debian packages Kelvane builds and tests with. Idempotent: does
# nothing when everything is already present. apt's output goes to a log file
# in the temporary folder; the terminal gets one line per step.
set -euo pipefail
cd "$(dirname "$0")/.."

pkgs=(cmake g++ make pkg-config googletest libgtest-dev libgmock-dev libbenchmark-dev
      g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64
      libsndfile1-dev libfreetype-dev libfontconfig-dev fonts-liberation
      libx11-dev libxext-dev libxtst-dev libstb-dev libpng-dev
      wine wine64 xvfb xauth x11-apps qemu-user-static
      ruby-asciidoctor-pdf zip)
i386_pkgs=(wine32:i386)

missing=()
for p in "${pkgs[@]}" "${i386_pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    cat >&2 <<EOF
Kelvane needs ${#missing[@]} Debian packages that are not installed:
  ${missing[*]}
This user is not root and this system has no sudo, so they cannot be installed
from here. Install them as root, then run this script again as yourself:
  su -c '$PWD/scripts/install-deps.sh'
EOF
    exit 1
  fi
  SUDO=(sudo)
fi

i386_new=""
dpkg --print-foreign-architectures | grep -qx i386 || i386_new=yes
cat <<EOF
== Kelvane needs ${#missing[@]} Debian packages that are not installed here:
     ${missing[*]}
   On a fresh Debian 12 they come with their dependencies to about 340 packages
   (Wine for 32- and 64-bit Windows, the mingw-w64 cross compilers, Xvfb), and
   packages and builds together take about 7 GB of disk space.
EOF
[ -n "$i386_new" ] && echo "   32-bit Wine needs the i386 architecture: it is added to dpkg (dpkg --add-architecture i386)."
[ ${#SUDO[@]} -gt 0 ] && echo "   apt-get runs through sudo."
if [ -t 0 ]; then
  read -r -p "   Continue? [Y/n] " answer || answer=n
  case "$answer" in
    [nN]*) echo "Nothing installed." >&2; exit 1 ;;
  esac
fi

log=$(mktemp -t kelvane-install-deps.XXXXXX.log)
echo "== installing with apt-get (its output: $log) ..."
export DEBIAN_FRONTEND=noninteractive
if ! {
  if [ -n "$i386_new" ]; then "${SUDO[@]}" dpkg --add-architecture i386; fi
  "${SUDO[@]}" apt-get update -q
  "${SUDO[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
} >>"$log" 2>&1; then
  echo "Installing the packages failed; the end of $log:" >&2
  tail -n 15 "$log" >&2
  exit 1
fi
echo "   done: $(grep -cE '^Setting up ' "$log" || true) packages set up."
