// HostServices: everything the module can ask of kelvane-host through its
// audioMasterCallback. By default the host stands in for REAPER: it names itself
// so, answers time requests from its transport and hands out the REAPER
// functions that plug-ins fetch by name ("get_config_var", "GetPlayState",
// "SetEditCurPos", "LICE_LoadPNGFromResource"). With the plain-host setting it is an ordinary VST 2 host.
#pragma once

#include <cstdint>
#include <optional>

#include "core/Vst2.h"

struct HostSettings {
  bool plainHost = false;
  bool trace = false;            // print every host call on stderr
  double projectTimeOffset = 0;  // seconds, REAPER's "projtimeoffs"
  std::optional<int> playState;  // "GetPlayState" answer; derived from the transport when unset
};

// The host's timeline as the module sees it in audioMasterGetTime.
struct TransportState {
  double samplePos = 0;
  double sampleRate = 44100;
  double tempo = 120;  // beats per minute; 0 or less: no tempo to report
  bool playing = true;
  bool loopActive = false;
  int64_t loopStart = 0;
  int64_t loopEnd = 0;
  bool changed = true;  // kVstTransportChanged for the next block
  int32_t blockSize = 512;
};

class HostServices {
 public:
  // The callback carries no user pointer, so there is one host per process.
  static HostServices& Get();

  static VstIntPtr VSTCALL Callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                    float opt);

  int PlayState() const;

  HostSettings settings;
  TransportState transport;

 private:
  VstIntPtr Answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
  VstIntPtr NamedFunction(const char* name) const;
  VstTimeInfo* FillTimeInfo(VstIntPtr filter);

  VstTimeInfo timeInfo_{};
};

// The opcodes of the named-function lookup.
constexpr VstInt32 kHostFunctionOpcode = static_cast<VstInt32>(0xdeadbeefu);
constexpr VstInt32 kHostFunctionIndex = static_cast<VstInt32>(0xdeadf00du);
