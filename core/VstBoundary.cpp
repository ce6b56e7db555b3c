// The VST 2 boundary: the C callbacks stored in the AEffect record and the
// dispatcher. Every entry finds its PlugBase through the record's object field.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/DenormalGuard.h"
#include "core/Module.h"
#include "core/PlugBase.h"

namespace {

constexpr int kMaxProgramNameBytes = 24;  // what hosts allocate for program names
constexpr int kMaxEffectNameBytes = 32;
constexpr int kMaxVendorBytes = 64;

int32_t ClampChannels(VstIntPtr arrangement, int declared) {
  const auto* speakers = reinterpret_cast<const VstSpeakerArrangement*>(arrangement);
  int32_t n = speakers->numChannels;
  if (n < 0) n = 0;
  return n > declared ? declared : n;
}

}  // namespace

VstIntPtr VSTCALL EffectDispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt) {
  PlugBase* plug = PlugBase::FromEffect(effect);
  if (!plug) return 0;
  // Hosts send these continuously; they cost nothing here, apart from the
  // editor's own event pump where the window system needs one.
  if (opcode == effIdle) return 0;
  if (opcode == effEditIdle) {
    if (PlugEditor* editor = plug->Editor()) editor->IdleEditor();
    return 0;
  }
  return plug->Dispatch(opcode, index, value, ptr, opt);
}

void VSTCALL EffectSetParameter(AEffect* effect, VstInt32 index, float value) {
  if (PlugBase* plug = PlugBase::FromEffect(effect)) plug->SetParameterFromHost(index, value);
}

float VSTCALL EffectGetParameter(AEffect* effect, VstInt32 index) {
  PlugBase* plug = PlugBase::FromEffect(effect);
  return plug ? plug->GetParameterForHost(index) : 0.0f;
}

// The deprecated accumulating process: the effect does not offer it.
void VSTCALL EffectProcessAccumulating(AEffect*, float**, float**, VstInt32) {}

void VSTCALL EffectProcessReplacing(AEffect* effect, float** inputs, float** outputs, VstInt32 frames) {
  if (PlugBase* plug = PlugBase::FromEffect(effect)) plug->ProcessFloat(inputs, outputs, frames);
}

void VSTCALL EffectProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs, VstInt32 frames) {
  if (PlugBase* plug = PlugBase::FromEffect(effect)) plug->ProcessDouble(inputs, outputs, frames);
}

void PlugBase::SetParameterFromHost(int index, float value) {
  if (index < 0 || index >= params_.Count()) return;
  LockGuard hold(plugLock_);
  Param* param = params_.At(index);
  param->SetFromNormal(value);
  // The controls show the value the parameter took: a NaN leaves both alone,
  // anything outside 0..1 arrives clamped.
  if (editor_ && !std::isnan(value)) editor_->PushParamToControls(index, param->NormalFromPlain(), plugLock_);
  ParamChanged(index);
}

float PlugBase::GetParameterForHost(int index) {
  if (index < 0 || index >= params_.Count()) return 0.0f;
  LockGuard hold(plugLock_);
  return static_cast<float>(params_.At(index)->NormalFromPlain());
}

// Audio thread, PlugLock held: the speaker-arrangement opcode writes the same fields.
void PlugBase::LimitChannelsOnFirstCall() {
  if (channelsSettled_) return;
  if (hostKind_ != 1) {
    if (inputChannels_ > 2) inputChannels_ = 2;
    if (outputChannels_ > 2) outputChannels_ = 2;
  }
  channelsSettled_ = true;
}

void PlugBase::ProcessDouble(double** inputs, double** outputs, int frames) {
  if (!inputs || !outputs) return;
  LockGuard hold(plugLock_);
  LimitChannelsOnFirstCall();
  if (frames <= 0) return;
  DenormalGuard flushDenormals;
  ProcessBlock(inputs, outputs, frames);
}

bool PlugBase::ReserveFloatBuffers(int frames) {
  if (frames <= floatFrames_) return true;
  size_t inBytes = static_cast<size_t>(frames) * static_cast<size_t>(effect_.numInputs) * sizeof(double);
  size_t outBytes = static_cast<size_t>(frames) * static_cast<size_t>(effect_.numOutputs) * sizeof(double);
  if (!floatIn_.Resize(inBytes) || !floatOut_.Resize(outBytes)) return false;
  floatFrames_ = frames;
  return true;
}

// Most hosts other than REAPER only process in single precision.
void PlugBase::ProcessFloat(float** inputs, float** outputs, int frames) {
  if (!inputs || !outputs) return;
  LockGuard hold(plugLock_);
  LimitChannelsOnFirstCall();
  if (frames <= 0) return;
  DenormalGuard flushDenormals;
  ProcessFloatBlock(inputs, outputs, frames);
}

// Widens the block, runs the double process and narrows the result.
void PlugBase::ProcessFloatBlock(float** inputs, float** outputs, int frames) {
  if (!ReserveFloatBuffers(frames)) return;
  constexpr int kMaxChannels = 32;
  double* in[kMaxChannels] = {};
  double* out[kMaxChannels] = {};
  int numIn = effect_.numInputs < kMaxChannels ? effect_.numInputs : kMaxChannels;
  int numOut = effect_.numOutputs < kMaxChannels ? effect_.numOutputs : kMaxChannels;
  double* inBase = reinterpret_cast<double*>(floatIn_.Data());
  double* outBase = reinterpret_cast<double*>(floatOut_.Data());
  int usedIn = inputChannels_ < numIn ? inputChannels_ : numIn;
  int usedOut = outputChannels_ < numOut ? outputChannels_ : numOut;
  for (int c = 0; c < numIn; ++c) {
    in[c] = inBase + static_cast<size_t>(c) * static_cast<size_t>(frames);
    if (c < usedIn && inputs[c]) {
      for (int i = 0; i < frames; ++i) in[c][i] = inputs[c][i];
    } else {
      std::memset(in[c], 0, static_cast<size_t>(frames) * sizeof(double));
    }
  }
  for (int c = 0; c < numOut; ++c) {
    out[c] = outBase + static_cast<size_t>(c) * static_cast<size_t>(frames);
    // Start from the host's buffer so a channel the process leaves alone comes back unchanged.
    if (c < usedOut && outputs[c]) {
      for (int i = 0; i < frames; ++i) out[c][i] = outputs[c][i];
    } else {
      std::memset(out[c], 0, static_cast<size_t>(frames) * sizeof(double));
    }
  }
  ProcessBlock(in, out, frames);
  for (int c = 0; c < usedOut; ++c) {
    if (!outputs[c]) continue;
    for (int i = 0; i < frames; ++i) outputs[c][i] = static_cast<float>(out[c][i]);
  }
}

VstIntPtr PlugBase::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  char* text = static_cast<char*>(ptr);
  switch (opcode) {
    case effOpen:
      RunOpenRoutine();
      return 0;

    case effClose:
      delete this;
      return 0;

    case effSetProgram:
      if (value < 0 || value >= programs_.Count()) return 0;
      StoreCurrentProgram();
      LoadProgram(static_cast<int>(value));
      return 1;

    case effGetProgram:
      return currentProgram_;

    case effSetProgramName:
      if (!ptr) return 0;
      CopyFixedText(current_.name, sizeof current_.name, text);
      return 1;

    case effGetProgramName:
      if (!ptr) return 0;
      CopyFixedText(text, kMaxProgramNameBytes, current_.name);
      return 1;

    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName: {
      Param* param = params_.At(index);
      if (!param || !ptr) return 0;
      if (opcode == effGetParamLabel) param->CopyLabel(text);
      else if (opcode == effGetParamDisplay) param->FormatValue(text);
      else param->CopyName(text);
      return 0;
    }

    case effSetSampleRate: {
      LockGuard hold(plugLock_);
      double rate = static_cast<double>(opt);
      if (std::isfinite(rate) && rate > 0.0) sampleRate_ = rate;
      ResetProcessing();
      return 0;
    }

    case effSetBlockSize: {
      LockGuard hold(plugLock_);
      blockSize_ = static_cast<int32_t>(value);
      if (blockSize_ > 0) ReserveBlock(blockSize_);
      ResetProcessing();
      return 0;
    }

    case effMainsChanged: {
      LockGuard hold(plugLock_);
      if (value != 0) {
        if (blockSize_ > 0) ReserveBlock(blockSize_);
        ActivationChanged(true);
      } else {
        ActivationChanged(false);
        ResetProcessing();
      }
      return 0;
    }

    case effEditGetRect:
      if (!editor_ || !ptr) return 0;
      editorRect_.top = 0;
      editorRect_.left = 0;
      editorRect_.bottom = static_cast<int16_t>(editor_->EditorHeight());
      editorRect_.right = static_cast<int16_t>(editor_->EditorWidth());
      *static_cast<ERect**>(ptr) = &editorRect_;
      return 1;

    case effEditOpen:
      if (!editor_) return 0;
      if (!editor_->OpenEditorWindow(ptr)) return 0;
      EditorOpened();
      return 1;

    case effEditClose:
      if (!editor_) return 0;
      EditorClosed();
      editor_->CloseEditor();
      return 1;

    case effIdentify:
      return VstFourCC('N', 'v', 'E', 'f');

    case effGetChunk: {
      if (!ptr) return 0;
      LockGuard hold(plugLock_);
      HeapBuffer& chunk = ChunkBuffer();
      chunk.Resize(0);
      if (!WriteState(chunk) || chunk.Size() == 0) return 0;
      *static_cast<void**>(ptr) = chunk.Data();
      return static_cast<VstIntPtr>(chunk.Size());
    }

    case effSetChunk: {
      LockGuard hold(plugLock_);
      HeapBuffer& chunk = ChunkBuffer();
      // A negative size, or bytes announced without an address, is a failed load.
      if (value < 0 || (value > 0 && !ptr)) return 0;
      if (!chunk.Resize(static_cast<size_t>(value))) return 0;
      // A host may hand back the very buffer effGetChunk gave it.
      if (value > 0) std::memmove(chunk.Data(), ptr, static_cast<size_t>(value));
      if (!ReadState(chunk)) return 0;
      RunOpenRoutine();
      return 1;
    }

    case effProcessEvents: {
      if (!ptr) return 0;
      LockGuard hold(plugLock_);
      auto* events = static_cast<VstEvents*>(ptr);
      // The record declares two event pointers but hosts append as many as
      // numEvents says: index them through a pointer, not the short array.
      VstEvent* const* list = events->events;
      for (VstInt32 i = 0; i < events->numEvents; ++i) {
        VstEvent* event = list[i];
        if (!event) continue;
        if (event->type == kVstMidiType) {
          const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
          MidiMessage message;
          message.offset = midi->deltaFrames;
          message.status = static_cast<uint8_t>(midi->midiData[0]);
          message.data1 = static_cast<uint8_t>(midi->midiData[1]);
          message.data2 = static_cast<uint8_t>(midi->midiData[2]);
          MidiMessageReceived(message);
        } else {
          SendHostEvent(event);
        }
      }
      return 1;
    }

    case effCanBeAutomated:
      return 1;

    case effGetProgramNameIndexed: {
      Preset* preset = programs_.At(index);
      if (!preset || !ptr) return 0;
      if (index == currentProgram_ && current_.name[0]) CopyFixedText(text, kMaxProgramNameBytes, current_.name);
      else CopyFixedText(text, kMaxProgramNameBytes, preset->name);
      return 1;
    }

    case effGetInputProperties:
    case effGetOutputProperties: {
      bool input = opcode == effGetInputProperties;
      int count = input ? effect_.numInputs : effect_.numOutputs;
      if (!ptr || index < 0 || index >= count) return 0;
      auto* pin = static_cast<VstPinProperties*>(ptr);
      pin->flags = kVstPinIsActive;
      if (index % 2 == 0) pin->flags |= kVstPinIsStereo;
      std::snprintf(pin->label, sizeof pin->label, input ? "Input %d" : "Output %d", static_cast<int>(index));
      return 1;
    }

    case effGetPlugCategory:
      return kPlugCategEffect;

    case effSetSpeakerArrangement: {
      LockGuard hold(plugLock_);
      if (value) inputChannels_ = ClampChannels(value, effect_.numInputs);
      if (ptr) outputChannels_ = ClampChannels(reinterpret_cast<VstIntPtr>(ptr), effect_.numOutputs);
      channelsSettled_ = true;
      return 1;
    }

    case effGetEffectName:
      if (!ptr) return 0;
      CopyFixedText(text, kMaxEffectNameBytes, effectName_);
      return 1;

    case effGetVendorString:
      if (!ptr) return 0;
      CopyFixedText(text, kMaxVendorBytes, vendorString_);
      return 1;

    case effGetProductString:
      if (!ptr) return 0;
      CopyFixedText(text, kMaxVendorBytes, productString_);
      return 1;

    case effCanDo: {
      if (!ptr) return 0;
      if (std::strcmp(text, "receiveVstTimeInfo") == 0) return 1;
      if (usesMidi_) {
        static const char* const kMidiAbilities[] = {"sendVstEvents", "sendVstMidiEvent", "receiveVstEvents",
                                                     "receiveVstMidiEvent"};
        for (const char* ability : kMidiAbilities) {
          if (std::strcmp(text, ability) == 0) return 1;
        }
      }
      if (std::strcmp(text, "hasCockosExtensions") == 0) return static_cast<VstIntPtr>(0xbeef0000u);
      return 0;
    }

    case effGetVstVersion:
      return 2400;

    case effVendorSpecific:
      return VendorSpecific(index, value, ptr, opt);

    case effGetMidiKeyName: {
      if (!ptr) return 0;
      auto* key = static_cast<MidiKeyName*>(ptr);
      key->keyName[0] = 0;
      return GetNoteName(key->thisKeyNumber, key->keyName) ? 1 : 0;
    }

    default:
      return 0;
  }
}
