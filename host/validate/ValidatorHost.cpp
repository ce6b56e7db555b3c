#include "ValidatorHost.h"

#include <cstdio>

namespace {

HostSlot gSlots[ValidatorHost::kSlots];

void CopyHostString(void* ptr, const char* text) {
  // Hosts hand out at most 63 characters plus the terminator for these requests.
  std::snprintf(static_cast<char*>(ptr), 64, "%s", text);
}

}  // namespace

template <int Id>
VstIntPtr VSTCALL ValidatorHost::Entry(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                       float opt) {
  return Answer(Id, effect, opcode, index, value, ptr, opt);
}

audioMasterCallback ValidatorHost::Callback(int id) {
  static const audioMasterCallback kEntries[kCallbacks] = {&Entry<0>, &Entry<1>, &Entry<2>, &Entry<3>};
  return kEntries[static_cast<unsigned>(id) % kCallbacks];
}

HostSlot* ValidatorHost::Find(AEffect* effect) {
  if (!effect) return nullptr;
  for (HostSlot& slot : gSlots)
    if (slot.effect_.load() == effect) return &slot;
  return nullptr;
}

HostSlot* ValidatorHost::Claim(AEffect* effect, int callbackId) {
  for (HostSlot& slot : gSlots) {
    if (slot.effect_.load() != nullptr) continue;
    slot.time = VstTimeInfo{};
    slot.timeAvailable = true;
    slot.sampleRate = 44100.0;
    slot.blockSize = 512;
    slot.callbackId_ = callbackId;
    slot.misrouted_ = 0;
    slot.automations_ = 0;
    slot.effect_ = effect;
    return &slot;
  }
  return nullptr;
}

void ValidatorHost::Release(HostSlot* slot) {
  if (slot) slot->effect_ = nullptr;
}

// Any thread. Allocates nothing: it runs inside the module's process calls,
// where the validator counts allocations.
VstIntPtr ValidatorHost::Answer(int id, AEffect* effect, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float) {
  HostSlot* slot = Find(effect);
  if (slot && slot->callbackId_ != id) ++slot->misrouted_;
  switch (opcode) {
    case audioMasterVersion: return 2400;
    case audioMasterAutomate:
      if (slot) ++slot->automations_;
      return 0;
    case audioMasterGetTime:
      if (!slot || !slot->timeAvailable) return 0;
      return reinterpret_cast<VstIntPtr>(&slot->time);
    case audioMasterGetSampleRate: return slot ? static_cast<VstIntPtr>(slot->sampleRate) : 44100;
    case audioMasterGetBlockSize: return slot ? slot->blockSize : 512;
    case audioMasterGetVendorString:
      if (!ptr) return 0;
      CopyHostString(ptr, "Kelvane project");
      return 1;
    case audioMasterGetProductString:
      if (!ptr) return 0;
      CopyHostString(ptr, "kelvane-host validator");
      return 1;
    case audioMasterGetVendorVersion: return 1000;
    default: return 0;
  }
}
