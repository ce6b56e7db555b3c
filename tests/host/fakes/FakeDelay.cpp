// FakeDelay: a VST 2 effect with real latency, for testing how kelvane-host
// compensates a declared delay. It declares an initial delay of kDelay samples
// and delays its audio by exactly that: output 0 is input 0 delayed, output 1
// is the play position the host reported with each input sample, delayed alike.
#include <cstring>

#include "FakeExport.h"

namespace {

constexpr int kDelay = 100;

struct Delay {
  AEffect effect{};
  audioMasterCallback host = nullptr;
  // Circular lines of kDelay samples: the audio and the positions.
  double audio[kDelay] = {};
  double positions[kDelay] = {};
  int next = 0;
};

Delay* Self(AEffect* e) { return static_cast<Delay*>(e->object); }

VstIntPtr VSTCALL Dispatch(AEffect* e, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float) {
  switch (opcode) {
    case effClose: delete Self(e); return 0;
    case effGetEffectName: std::memcpy(ptr, "FakeDelay", 10); return 1;
    default: return 0;
  }
}

template <typename Sample>
void VSTCALL Process(AEffect* e, Sample** in, Sample** out, VstInt32 frames) {
  Delay* self = Self(e);
  const auto* info = reinterpret_cast<const VstTimeInfo*>(self->host(e, audioMasterGetTime, 0, 0, nullptr, 0.f));
  const double position = info ? info->samplePos : -1e9;
  for (VstInt32 i = 0; i < frames; ++i) {
    const double audio = in[0][i];
    out[0][i] = static_cast<Sample>(self->audio[self->next]);
    out[1][i] = static_cast<Sample>(self->positions[self->next]);
    self->audio[self->next] = audio;
    self->positions[self->next] = position + i;
    self->next = (self->next + 1) % kDelay;
  }
}

float VSTCALL GetParameter(AEffect*, VstInt32) { return 0.0f; }
void VSTCALL SetParameter(AEffect*, VstInt32, float) {}

}  // namespace

FAKE_EXPORT AEffect* VSTCALL VSTPluginMain(audioMasterCallback host) {
  Delay* self = new Delay;
  self->host = host;
  AEffect& e = self->effect;
  e.magic = kEffectMagic;
  e.dispatcher = &Dispatch;
  e.setParameter = &SetParameter;
  e.getParameter = &GetParameter;
  e.numInputs = 2;
  e.numOutputs = 2;
  e.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
  e.initialDelay = kDelay;
  e.ioRatio = 1.0f;
  e.object = self;
  e.uniqueID = VstFourCC('f', 'k', 'd', 'l');
  e.version = 1;
  e.processReplacing = &Process<float>;
  e.processDoubleReplacing = &Process<double>;
  return &e;
}
