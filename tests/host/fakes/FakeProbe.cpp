// FakeProbe: a VST 2 effect that reports what the host tells it. Its outputs
// carry, per sample, the play position (samplePos + offset in block), the
// block's frame count, the tempo (-1 when not valid) and the time-info flags.
// Its parameter display texts show the host's answers: product, vendor,
// versions, REAPER's project time offset and play state. At effOpen it moves
// the host's edit cursor to 2.5 s when the host offers "SetEditCurPos".
#include <cstdio>
#include <cstring>

#include "FakeExport.h"

namespace {

using GetConfigVar = void* (*)(const char*, int*);
using GetPlayState = int (*)();
using SetEditCurPos = void (*)(double, int, int);

audioMasterCallback gHost = nullptr;

struct Probe {
  AEffect effect{};
  char product[256] = "";
  char vendor[256] = "";
  VstIntPtr vendorVersion = 0;
  VstIntPtr hostVersion = 0;
  const double* timeOffset = nullptr;
  int timeOffsetSize = -1;
  GetPlayState playState = nullptr;
};

const char* const kNames[] = {"product", "vendor", "vendorver", "hostver", "timeoffs", "playstate"};
constexpr int kParams = 6;

Probe* Self(AEffect* e) { return static_cast<Probe*>(e->object); }

void* Lookup(const char* name) {
  return reinterpret_cast<void*>(gHost(nullptr, static_cast<VstInt32>(0xdeadbeefu), static_cast<VstInt32>(0xdeadf00du), 0,
                                       const_cast<char*>(name), 0.0f));
}

void Open(AEffect* e) {
  Probe* self = Self(e);
  gHost(e, audioMasterGetProductString, 0, 0, self->product, 0.f);
  gHost(e, audioMasterGetVendorString, 0, 0, self->vendor, 0.f);
  self->vendorVersion = gHost(e, audioMasterGetVendorVersion, 0, 0, nullptr, 0.f);
  self->hostVersion = gHost(e, audioMasterVersion, 0, 0, nullptr, 0.f);
  if (auto getConfig = reinterpret_cast<GetConfigVar>(Lookup("get_config_var"))) {
    int size = 0;
    self->timeOffset = static_cast<const double*>(getConfig("projtimeoffs", &size));
    self->timeOffsetSize = size;
  }
  self->playState = reinterpret_cast<GetPlayState>(Lookup("GetPlayState"));
  if (auto move = reinterpret_cast<SetEditCurPos>(Lookup("SetEditCurPos"))) move(2.5, 1, 0);
}

void Display(Probe* self, int index, char* text) {
  switch (index) {
    case 0: std::snprintf(text, 256, "%s", self->product); break;
    case 1: std::snprintf(text, 256, "%s", self->vendor); break;
    case 2: std::snprintf(text, 256, "%ld", static_cast<long>(self->vendorVersion)); break;
    case 3: std::snprintf(text, 256, "%ld", static_cast<long>(self->hostVersion)); break;
    case 4:
      if (self->timeOffset)
        std::snprintf(text, 256, "%.17g size %d", *self->timeOffset, self->timeOffsetSize);
      else
        std::snprintf(text, 256, "none");
      break;
    case 5:
      if (self->playState)
        std::snprintf(text, 256, "%d", self->playState());
      else
        std::snprintf(text, 256, "none");
      break;
  }
}

VstIntPtr VSTCALL Dispatch(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr, void* ptr, float) {
  char* text = static_cast<char*>(ptr);
  switch (opcode) {
    case effOpen: Open(e); return 0;
    case effClose: delete Self(e); return 0;
    case effGetParamName:
      if (index >= 0 && index < kParams) std::snprintf(text, 32, "%s", kNames[index]);
      return 0;
    case effGetParamDisplay:
      if (index >= 0 && index < kParams) Display(Self(e), index, text);
      return 0;
    case effGetEffectName: std::snprintf(text, 32, "FakeProbe"); return 1;
    default: return 0;
  }
}

template <typename Sample>
void VSTCALL Process(AEffect* e, Sample**, Sample** out, VstInt32 frames) {
  const VstTimeInfo* info = reinterpret_cast<const VstTimeInfo*>(
      gHost(e, audioMasterGetTime, 0, kVstTempoValid | kVstPpqPosValid | kVstCyclePosValid, nullptr, 0.f));
  if (!info) return;
  for (VstInt32 i = 0; i < frames; ++i) {
    out[0][i] = static_cast<Sample>(info->samplePos + i);
    out[1][i] = static_cast<Sample>(frames);
    out[2][i] = static_cast<Sample>((info->flags & kVstTempoValid) ? info->tempo : -1.0);
    out[3][i] = static_cast<Sample>(info->flags);
  }
}

float VSTCALL GetParameter(AEffect*, VstInt32) { return 0.5f; }
void VSTCALL SetParameter(AEffect*, VstInt32, float) {}

}  // namespace

FAKE_EXPORT AEffect* VSTCALL VSTPluginMain(audioMasterCallback host) {
  gHost = host;
  Probe* self = new Probe;
  AEffect& e = self->effect;
  e.magic = kEffectMagic;
  e.dispatcher = &Dispatch;
  e.setParameter = &SetParameter;
  e.getParameter = &GetParameter;
  e.numParams = kParams;
  e.numInputs = 2;
  e.numOutputs = 4;
  e.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
  e.ioRatio = 1.0f;
  e.object = self;
  e.uniqueID = VstFourCC('f', 'k', 'p', 'r');
  e.version = 1;
  e.processReplacing = &Process<float>;
  e.processDoubleReplacing = &Process<double>;
  return &e;
}
