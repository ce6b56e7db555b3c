// A scriptable host callback for tests that drive the plug-in in-process.
#pragma once

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "core/Module.h"
#include "core/Vst2.h"

struct HostCall {
  VstInt32 opcode;
  VstInt32 index;
  VstIntPtr value;
  float opt;
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

  static FakeHost*& Current() {
    static FakeHost* current = nullptr;
    return current;
  }

  static VstIntPtr VSTCALL Callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                    float opt) {
    FakeHost* host = Current();
    if (!host) return 0;
    host->calls.push_back({opcode, index, value, opt});
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

  int CountCalls(VstInt32 opcode) const {
    int n = 0;
    for (const HostCall& call : calls) n += call.opcode == opcode;
    return n;
  }
};

// Installs a FakeHost as the module's host callback for the scope.
struct ScopedHost {
  explicit ScopedHost(FakeHost& host) {
    FakeHost::Current() = &host;
    HostCallback = &FakeHost::Callback;
  }
  ~ScopedHost() {
    FakeHost::Current() = nullptr;
    HostCallback = nullptr;
  }
};
