// A scriptable host for tests that drive the plug-in in-process. Each FakeHost
// has a callback of its own (a plug-in instance is created with one), so
// several hosts can live in one process.
#pragma once

#include <array>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "core/Vst2.h"

struct HostCall {
  VstInt32 opcode;
  VstInt32 index;
  VstIntPtr value;
  float opt;
  AEffect* effect;  // null for the host-function lookup
};

struct FakeHost {
  std::string vendor = "Test Vendor";
  std::string product = "Test Host";
  bool answerStrings = true;
  VstIntPtr vendorVersion = 7;
  bool answerTime = true;
  VstTimeInfo time{};
  std::map<std::string, void*> functions;
  std::vector<HostCall> calls;
  VstIntPtr processEventsAnswer = 1;
  int midiEventsSeen = 0;
  unsigned char lastMidi[3] = {};
  // Called during audioMasterAutomate, to see what the plug-in exposes at that moment.
  float (*onAutomate)(AEffect*, VstInt32) = nullptr;
  float valueSeenDuringAutomate = -1.0f;

  static constexpr int kMaxHosts = 4;

  FakeHost() {
    for (int i = 0; i < kMaxHosts; ++i) {
      if (!Slots()[i]) {
        Slots()[i] = this;
        slot_ = i;
        return;
      }
    }
  }
  ~FakeHost() {
    if (slot_ >= 0) Slots()[slot_] = nullptr;
  }
  FakeHost(const FakeHost&) = delete;
  FakeHost& operator=(const FakeHost&) = delete;

  // This host's callback, to hand to a plug-in instance.
  audioMasterCallback Callback() const { return slot_ >= 0 ? Trampolines()[slot_] : nullptr; }

  static std::array<FakeHost*, kMaxHosts>& Slots() {
    static std::array<FakeHost*, kMaxHosts> slots{};
    return slots;
  }
  template <int kSlot>
  static VstIntPtr VSTCALL Trampoline(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                      float opt) {
    return Answer(Slots()[kSlot], effect, opcode, index, value, ptr, opt);
  }
  static const std::array<audioMasterCallback, kMaxHosts>& Trampolines() {
    static const std::array<audioMasterCallback, kMaxHosts> table{&Trampoline<0>, &Trampoline<1>, &Trampoline<2>,
                                                                  &Trampoline<3>};
    return table;
  }

  static VstIntPtr Answer(FakeHost* host, AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                          void* ptr, float opt) {
    if (!host) return 0;
    host->calls.push_back({opcode, index, value, opt, effect});
    if (opcode == static_cast<VstInt32>(0xdeadbeefu) && index == static_cast<VstInt32>(0xdeadf00du)) {
      auto it = host->functions.find(static_cast<const char*>(ptr));
      return it == host->functions.end() ? 0 : reinterpret_cast<VstIntPtr>(it->second);
    }
    switch (opcode) {
      case audioMasterGetVendorString:
        if (!host->answerStrings) return 0;
        std::strcpy(static_cast<char*>(ptr), host->vendor.c_str());
        return 1;
      case audioMasterGetProductString:
        if (!host->answerStrings) return 0;
        std::strcpy(static_cast<char*>(ptr), host->product.c_str());
        return 1;
      case audioMasterGetVendorVersion:
        return host->vendorVersion;
      case audioMasterGetTime:
        return host->answerTime ? reinterpret_cast<VstIntPtr>(&host->time) : 0;
      case audioMasterAutomate:
        if (host->onAutomate) host->valueSeenDuringAutomate = host->onAutomate(effect, index);
        return 0;
      case audioMasterProcessEvents: {
        auto* events = static_cast<VstEvents*>(ptr);
        if (events && events->numEvents == 1 && events->events[0]->type == kVstMidiType) {
          auto* midi = reinterpret_cast<VstMidiEvent*>(events->events[0]);
          ++host->midiEventsSeen;
          std::memcpy(host->lastMidi, midi->midiData, 3);
        }
        return host->processEventsAnswer;
      }
      default:
        return 0;
    }
  }

  int slot_ = -1;

  int CountCalls(VstInt32 opcode) const {
    int n = 0;
    for (const HostCall& call : calls) n += call.opcode == opcode;
    return n;
  }
};
