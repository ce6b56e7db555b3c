// TrivialGain: the cheapest honest VST 2 effect, one multiply per sample in
// both precisions: the floor the module benchmark measures the others against.
#include "core/Vst2.h"

namespace {

constexpr float kGain = 0.5f;

VstIntPtr VSTCALL Dispatch(AEffect* effect, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  if (opcode == effClose) delete effect;
  return 0;
}

void VSTCALL ProcessFloat(AEffect* effect, float** inputs, float** outputs, VstInt32 frames) {
  for (int c = 0; c < effect->numOutputs; ++c) {
    for (VstInt32 i = 0; i < frames; ++i) outputs[c][i] = inputs[c][i] * kGain;
  }
}

void VSTCALL ProcessDouble(AEffect* effect, double** inputs, double** outputs, VstInt32 frames) {
  for (int c = 0; c < effect->numOutputs; ++c) {
    for (VstInt32 i = 0; i < frames; ++i) outputs[c][i] = inputs[c][i] * kGain;
  }
}

void VSTCALL SetParameter(AEffect*, VstInt32, float) {}
float VSTCALL GetParameter(AEffect*, VstInt32) { return 0.0f; }

}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTCALL VSTPluginMain(audioMasterCallback) {
  auto* effect = new AEffect{};
  effect->magic = kEffectMagic;
  effect->dispatcher = Dispatch;
  effect->setParameter = SetParameter;
  effect->getParameter = GetParameter;
  effect->numInputs = 2;
  effect->numOutputs = 2;
  effect->flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
  effect->processReplacing = ProcessFloat;
  effect->processDoubleReplacing = ProcessDouble;
  effect->uniqueID = VstFourCC('t', 'g', 'a', 'n');
  return effect;
}
