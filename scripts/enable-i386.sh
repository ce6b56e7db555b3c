#!/usr/bin/env bash
# 32-bit Wine needs the kernel to run 32-bit x86 programs. Kernels built
# without that support (some virtual machines) can still run them through
# qemu's user-mode emulator, registered with binfmt_misc. Idempotent; prints
# one line saying how 32-bit programs will run.
#
# Every 32-bit Wine run through qemu needs QEMU_RESERVED_VA=0xffff0000 in its
# environment (the tests, demo.sh and the host scripts set it). qemu-user 7.2
# takes MAP_FIXED_NOREPLACE as a mere hint, so while Wine carves out its
# address ranges, qemu hands it pages elsewhere, and one of them can be the
# page at 0x7ffe0000 that Wine needs for its shared user data: Wine then stops
# at start-up with "failed to map the shared user data: c0000018". With the
# whole 4 GiB guest space reserved up front, qemu places guest mappings inside
# it and that page stays free.
set -euo pipefail

probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
# The smallest 32-bit ELF program that exits with status 0 (Linux i386 syscall exit).
printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\x31\xdb\xb8\x01\x00\x00\x00\xcd\x80\x00\x00\x00' > "$probe/elf32"
chmod +x "$probe/elf32"

entry=/proc/sys/fs/binfmt_misc/qemu-i386
# An entry whose magic stops after 7 bytes (written with the escapes already
# decoded, so the first NUL ended it) also claims 32-bit ARM and x32 programs:
# it is replaced below.
if [ -e $entry ] && [ -w $entry ] && ! grep -q '^magic 7f454c4601010100000000000000000002000300$' $entry; then
  echo -1 >$entry 2>/dev/null || true
fi

if "$probe/elf32" 2>/dev/null; then
  if [ -e $entry ]; then
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
if [ -e $entry ]; then
  echo 1 | $SUDO tee $entry >/dev/null 2>&1 || true
elif [ -x /usr/bin/qemu-i386-static ]; then
  # %s: the kernel decodes the \x escapes itself (the magic contains NULs).
  printf '%s\n' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
    | $SUDO tee /proc/sys/fs/binfmt_misc/register >/dev/null 2>&1 || true
fi
if "$probe/elf32" 2>/dev/null; then
  echo "32-bit programs run through qemu-i386 (slow: each 32-bit Wine run takes minutes)."
else
  echo "32-bit programs cannot run here: the 32-bit Windows tests will be skipped."
fi
