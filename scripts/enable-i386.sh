#!/usr/bin/env bash
# 32-bit Wine needs the kernel to run 32-bit x86 programs. Kernels built
# without that support (some virtual machines) can still run them through
# qemu's user-mode emulator, registered with binfmt_misc. Idempotent; prints
# one line saying how 32-bit programs will run.
set -euo pipefail

probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
# The smallest 32-bit ELF program that exits with status 0 (Linux i386 syscall exit).
printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\x31\xdb\xb8\x01\x00\x00\x00\xcd\x80\x00\x00\x00' > "$probe/elf32"
chmod +x "$probe/elf32"

if "$probe/elf32" 2>/dev/null; then
  if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    echo "32-bit programs run through qemu-i386 (slow: each 32-bit Wine run takes minutes)."
  else
    echo "32-bit programs run natively."
  fi
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "32-bit programs cannot run here: registering qemu-i386 for them needs root (run scripts/enable-i386.sh as root); the 32-bit Windows tests will be skipped."
    exit 0
  fi
  SUDO="sudo"
fi
if [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
  $SUDO mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null || true
fi
if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
  echo 1 | $SUDO tee /proc/sys/fs/binfmt_misc/qemu-i386 >/dev/null 2>&1 || true
elif [ -x /usr/bin/qemu-i386-static ]; then
  printf ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F\n' \
    | $SUDO tee /proc/sys/fs/binfmt_misc/register >/dev/null 2>&1 || true
fi
if "$probe/elf32" 2>/dev/null; then
  echo "32-bit programs run through qemu-i386 (slow: each 32-bit Wine run takes minutes)."
else
  echo "32-bit programs cannot run here: the 32-bit Windows tests will be skipped."
fi
