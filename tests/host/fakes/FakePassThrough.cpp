// FakePassThrough: the smallest honest VST 2 effect, for testing kelvane-host.
// It copies input to output in both precisions, has two parameters and keeps a
// state chunk ("FAKE", the two parameter floats, then any bytes it was given).
#include <cstdio>
#include <cstring>
#include <vector>

#include "FakeExport.h"

namespace {

struct FakePass {
  AEffect effect{};
  float params[2] = {0.25f, 1.0f};
  std::vector<unsigned char> extra;
  std::vector<unsigned char> chunk;
};

FakePass* Self(AEffect* e) { return static_cast<FakePass*>(e->object); }

void Copy(char* dst, const char* text) { std::snprintf(dst, 32, "%s", text); }

VstIntPtr VSTCALL Dispatch(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float) {
  FakePass* self = Self(e);
  char* text = static_cast<char*>(ptr);
  switch (opcode) {
    case effClose: delete self; return 0;
    case effGetParamName:
      if (index == 0) Copy(text, "gain");
      if (index == 1) Copy(text, "mode");
      return 0;
    case effGetParamLabel:
      if (index == 0) Copy(text, "dB");
      if (index == 1) Copy(text, "");
      return 0;
    case effGetParamDisplay:
      if (index == 0) std::snprintf(text, 32, "%.1f", self->params[0] * 24.0 - 12.0);
      if (index == 1) Copy(text, self->params[1] > 0.5f ? "wide" : "narrow");
      return 0;
    case effGetEffectName: Copy(text, "FakePass"); return 1;
    case effGetVendorString: Copy(text, "Kelvane tests"); return 1;
    case effGetProductString: Copy(text, "Pass"); return 1;
    case effIdentify: return VstFourCC('N', 'v', 'E', 'f');
    case effGetVstVersion: return 2400;
    case effGetPlugCategory: return kPlugCategEffect;
    case effCanDo: return std::strcmp(text, "receiveVstTimeInfo") == 0 ? 1 : 0;
    case effGetChunk: {
      self->chunk.assign({'F', 'A', 'K', 'E'});
      const unsigned char* p = reinterpret_cast<const unsigned char*>(self->params);
      self->chunk.insert(self->chunk.end(), p, p + sizeof self->params);
      self->chunk.insert(self->chunk.end(), self->extra.begin(), self->extra.end());
      *static_cast<void**>(ptr) = self->chunk.data();
      return static_cast<VstIntPtr>(self->chunk.size());
    }
    case effSetChunk: {
      const unsigned char* bytes = static_cast<const unsigned char*>(ptr);
      if (!bytes || value < 12 || std::memcmp(bytes, "FAKE", 4) != 0) return 0;
      std::memcpy(self->params, bytes + 4, sizeof self->params);
      self->extra.assign(bytes + 12, bytes + value);
      return 1;
    }
    default: return 0;
  }
}

template <typename Sample>
void VSTCALL Process(AEffect*, Sample** in, Sample** out, VstInt32 frames) {
  for (int c = 0; c < 2; ++c) std::memcpy(out[c], in[c], sizeof(Sample) * static_cast<size_t>(frames));
}

void VSTCALL SetParameter(AEffect* e, VstInt32 index, float value) {
  if (index >= 0 && index < 2) Self(e)->params[index] = value;
}

float VSTCALL GetParameter(AEffect* e, VstInt32 index) { return index >= 0 && index < 2 ? Self(e)->params[index] : 0.f; }

}  // namespace

FAKE_EXPORT AEffect* VSTCALL VSTPluginMain(audioMasterCallback) {
  FakePass* self = new FakePass;
  AEffect& e = self->effect;
  e.magic = kEffectMagic;
  e.dispatcher = &Dispatch;
  e.setParameter = &SetParameter;
  e.getParameter = &GetParameter;
  e.numParams = 2;
  e.numInputs = 2;
  e.numOutputs = 2;
  e.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing | effFlagsProgramChunks;
  e.ioRatio = 1.0f;
  e.object = self;
  e.uniqueID = VstFourCC('f', 'k', 'p', 's');
  e.version = 7;
  e.processReplacing = &Process<float>;
  e.processDoubleReplacing = &Process<double>;
  return &e;
}
