#include "HostServices.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "HostPngLoader.h"
#include "NumberText.h"

namespace {

constexpr const char* kReaperProduct = "REAPER (kelvane-host stand-in)";
constexpr const char* kReaperVendor = "kelvane-host stand-in";
constexpr VstIntPtr kReaperVendorVersion = 7000;
constexpr const char* kPlainProduct = "kelvane-host";
constexpr const char* kPlainVendor = "Kelvane project";
constexpr VstIntPtr kPlainVendorVersion = 1000;

void CopyHostString(void* ptr, const char* text) {
  // Hosts hand out at most 63 characters plus the terminator for these requests.
  std::snprintf(static_cast<char*>(ptr), 64, "%s", text);
}

const char* OpcodeName(VstInt32 opcode) {
  switch (opcode) {
    case audioMasterAutomate: return "audioMasterAutomate";
    case audioMasterVersion: return "audioMasterVersion";
    case audioMasterCurrentId: return "audioMasterCurrentId";
    case audioMasterIdle: return "audioMasterIdle";
    case audioMasterGetTime: return "audioMasterGetTime";
    case audioMasterProcessEvents: return "audioMasterProcessEvents";
    case audioMasterIOChanged: return "audioMasterIOChanged";
    case audioMasterSizeWindow: return "audioMasterSizeWindow";
    case audioMasterGetSampleRate: return "audioMasterGetSampleRate";
    case audioMasterGetBlockSize: return "audioMasterGetBlockSize";
    case audioMasterGetCurrentProcessLevel: return "audioMasterGetCurrentProcessLevel";
    case audioMasterGetVendorString: return "audioMasterGetVendorString";
    case audioMasterGetProductString: return "audioMasterGetProductString";
    case audioMasterGetVendorVersion: return "audioMasterGetVendorVersion";
    case audioMasterCanDo: return "audioMasterCanDo";
    case audioMasterUpdateDisplay: return "audioMasterUpdateDisplay";
    case audioMasterBeginEdit: return "audioMasterBeginEdit";
    case audioMasterEndEdit: return "audioMasterEndEdit";
    case kHostFunctionOpcode: return "host function lookup";
    default: return nullptr;
  }
}

// REAPER's functions as the module receives them: plain C functions.
void* GetConfigVar(const char* name, int* size) {
  HostServices& host = HostServices::Get();
  bool known = name && std::strcmp(name, "projtimeoffs") == 0;
  if (host.settings.trace)
    std::fprintf(stderr, "host: get_config_var(\"%s\") -> %s\n", name ? name : "(null)", known ? "double" : "null");
  if (!known) return nullptr;
  if (size) *size = static_cast<int>(sizeof(double));
  return &host.settings.projectTimeOffset;
}

int GetPlayState() {
  HostServices& host = HostServices::Get();
  int state = host.PlayState();
  if (host.settings.trace) std::fprintf(stderr, "host: GetPlayState() -> %d\n", state);
  return state;
}

void SetEditCurPos(double time, int moveView, int seekPlay) {
  // Called from the module's frames: nothing may unwind out of here.
  try {
    std::fprintf(stderr, "kelvane-host: SetEditCurPos(time=%s, moveView=%d, seekPlay=%d)\n",
                 FormatDouble(time).c_str(), moveView, seekPlay);
  } catch (...) {
  }
}

}  // namespace

HostServices& HostServices::Get() {
  static HostServices host;
  return host;
}

int HostServices::PlayState() const {
  if (settings.playState) return *settings.playState;
  return transport.playing ? 1 : 0;
}

VstIntPtr VSTCALL HostServices::Callback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                         float opt) {
  // Nothing may unwind into the module's frames.
  try {
    return Get().Answer(opcode, index, value, ptr, opt);
  } catch (...) {
    return 0;
  }
}

VstIntPtr HostServices::Answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  VstIntPtr result = 0;
  bool reaper = !settings.plainHost;
  switch (opcode) {
    case audioMasterVersion: result = 2400; break;
    case audioMasterGetTime: result = reinterpret_cast<VstIntPtr>(FillTimeInfo(value)); break;
    case audioMasterGetSampleRate: result = static_cast<VstIntPtr>(transport.sampleRate); break;
    case audioMasterGetBlockSize: result = transport.blockSize; break;
    case audioMasterGetVendorString:
      if (ptr) CopyHostString(ptr, reaper ? kReaperVendor : kPlainVendor);
      result = ptr ? 1 : 0;
      break;
    case audioMasterGetProductString:
      if (ptr) CopyHostString(ptr, reaper ? kReaperProduct : kPlainProduct);
      result = ptr ? 1 : 0;
      break;
    case audioMasterGetVendorVersion: result = reaper ? kReaperVendorVersion : kPlainVendorVersion; break;
    case kHostFunctionOpcode:
      if (reaper && index == kHostFunctionIndex && ptr) result = NamedFunction(static_cast<const char*>(ptr));
      break;
    default: break;
  }
  if (settings.trace) {
    const char* name = OpcodeName(opcode);
    std::string what = name ? name : "opcode " + std::to_string(opcode);
    if (opcode == kHostFunctionOpcode && ptr) what += " \"" + std::string(static_cast<const char*>(ptr)) + "\"";
    std::string answer = std::to_string(result);
    if (opcode == audioMasterGetTime)
      answer = "samplePos=" + FormatDouble(timeInfo_.samplePos) + " flags=" + std::to_string(timeInfo_.flags);
    else if (opcode == kHostFunctionOpcode)
      answer = result ? "function" : "null";
    std::fprintf(stderr, "host: %s(index=%d, value=%lld, opt=%s) -> %s\n", what.c_str(), static_cast<int>(index),
                 static_cast<long long>(value), FormatFloat(opt).c_str(), answer.c_str());
  }
  return result;
}

VstIntPtr HostServices::NamedFunction(const char* name) const {
  if (std::strcmp(name, "get_config_var") == 0) return reinterpret_cast<VstIntPtr>(&GetConfigVar);
  if (std::strcmp(name, "GetPlayState") == 0) return reinterpret_cast<VstIntPtr>(&GetPlayState);
  if (std::strcmp(name, "SetEditCurPos") == 0) return reinterpret_cast<VstIntPtr>(&SetEditCurPos);
  if (std::strcmp(name, "LICE_LoadPNGFromResource") == 0) return reinterpret_cast<VstIntPtr>(&LoadPngFromResource);
  return 0;
}

VstTimeInfo* HostServices::FillTimeInfo(VstIntPtr filter) {
  VstTimeInfo& info = timeInfo_;
  info = VstTimeInfo{};
  const TransportState& t = transport;
  info.samplePos = t.samplePos;
  info.sampleRate = t.sampleRate;
  double seconds = t.sampleRate > 0 ? t.samplePos / t.sampleRate : 0.0;
  // Each optional field carries its valid flag only when the module asked for it.
  VstInt32 provided = kVstNanosValid;
  info.nanoSeconds = seconds * 1e9;
  if (t.tempo > 0) {
    double beatsPerSecond = t.tempo / 60.0;
    info.tempo = t.tempo;
    info.ppqPos = seconds * beatsPerSecond;
    info.barStartPos = std::floor(info.ppqPos / 4.0) * 4.0;
    info.timeSigNumerator = 4;
    info.timeSigDenominator = 4;
    provided |= kVstTempoValid | kVstPpqPosValid | kVstBarsValid | kVstTimeSigValid;
    if (t.loopActive && t.sampleRate > 0) {
      info.cycleStartPos = static_cast<double>(t.loopStart) / t.sampleRate * beatsPerSecond;
      info.cycleEndPos = static_cast<double>(t.loopEnd) / t.sampleRate * beatsPerSecond;
      provided |= kVstCyclePosValid;
    }
  }
  info.flags = static_cast<VstInt32>(filter) & provided;
  int state = PlayState();
  if (t.playing) info.flags |= kVstTransportPlaying;
  if (t.loopActive) info.flags |= kVstTransportCycleActive;
  if (state == 5 || state == 6) info.flags |= kVstTransportRecording;
  if (t.changed) info.flags |= kVstTransportChanged;
  return &info;
}
