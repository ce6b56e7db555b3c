// FakeBroken: modules that a host must refuse without crashing. Built twice:
// FAKE_NULL_ENTRY exports VSTPluginMain returning null; otherwise the module
// exports only the old "main" entry, which returns a record with a bad magic.
#include "FakeExport.h"

#ifdef FAKE_NULL_ENTRY
FAKE_EXPORT AEffect* VSTCALL VSTPluginMain(audioMasterCallback) { return nullptr; }
#else
namespace {
AEffect gRecord{};
}
// C++ forbids a function called main that is not the program's; the symbol name is given directly.
FAKE_EXPORT AEffect* VSTCALL OldEntry(audioMasterCallback) __asm__("main");
FAKE_EXPORT AEffect* VSTCALL OldEntry(audioMasterCallback) {
  gRecord.magic = VstFourCC('N', 'o', 'p', 'e');
  return &gRecord;
}
#endif
