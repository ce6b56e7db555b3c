// What every Wine run of the tests shares: the environment (the build's own
// prefix, no debug output, no Mono or Gecko prompts) and whether 32-bit
// programs run through qemu here. Test targets that use it define WINE_PREFIX.
#pragma once

#include <fstream>
#include <string>

// QEMU_RESERVED_VA: 32-bit Wine through qemu needs it (see scripts/enable-i386.sh).
inline std::string WineEnvironment() {
  return std::string("WINEPREFIX='") + WINE_PREFIX +
         "' WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' QEMU_RESERVED_VA=0xffff0000";
}

// Where qemu runs 32-bit programs, each 32-bit Wine run takes about a minute.
inline bool Emulated32Bit() {
  std::ifstream status("/proc/sys/fs/binfmt_misc/qemu-i386");
  std::string first;
  return std::getline(status, first) && first == "enabled";
}
