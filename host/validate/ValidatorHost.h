// ValidatorHost: the host that `kelvane-host validate` presents to a module.
// It hands out several distinct callbacks, as separate hosts in one process
// would, and keeps one slot per instance: the transport that instance sees
// and a count of calls that reached it through another host's callback.
//
// Threads: slots are claimed and released on the validator's main thread;
// the callbacks may run on any thread. A slot's time info is written by the
// thread that processes the instance, between its process calls.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/Vst2.h"

class HostSlot {
 public:
  // The transport the instance sees in audioMasterGetTime; null when
  // `timeAvailable` is false, as some hosts answer.
  VstTimeInfo time{};
  bool timeAvailable = true;
  double sampleRate = 44100.0;
  int32_t blockSize = 512;

  int CallbackId() const { return callbackId_; }
  // Calls that named this instance but arrived through another host's callback.
  int Misrouted() const { return misrouted_.load(); }
  int Automations() const { return automations_.load(); }

 private:
  friend class ValidatorHost;
  std::atomic<AEffect*> effect_{nullptr};
  int callbackId_ = 0;
  std::atomic<int> misrouted_{0};
  std::atomic<int> automations_{0};
};

class ValidatorHost {
 public:
  static constexpr int kCallbacks = 4;
  static constexpr int kSlots = 128;

  // The callback of host `id` (0 .. kCallbacks - 1).
  static audioMasterCallback Callback(int id);
  // Main thread: binds an effect, made through Callback(callbackId), to a free slot.
  // Null when every slot is taken.
  static HostSlot* Claim(AEffect* effect, int callbackId);
  static void Release(HostSlot* slot);

 private:
  template <int Id>
  static VstIntPtr VSTCALL Entry(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt);
  static VstIntPtr Answer(int id, AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                          float opt);
  static HostSlot* Find(AEffect* effect);
};
