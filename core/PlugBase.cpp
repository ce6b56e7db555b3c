#include "core/PlugBase.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <new>


// The C entries stored in the AEffect record (VstBoundary.cpp).
VstIntPtr VSTCALL EffectDispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt);
void VSTCALL EffectSetParameter(AEffect* effect, VstInt32 index, float value);
float VSTCALL EffectGetParameter(AEffect* effect, VstInt32 index);
void VSTCALL EffectProcessAccumulating(AEffect* effect, float** inputs, float** outputs, VstInt32 frames);
void VSTCALL EffectProcessReplacing(AEffect* effect, float** inputs, float** outputs, VstInt32 frames);
void VSTCALL EffectProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs, VstInt32 frames);

PlugBase::PlugBase(audioMasterCallback host, int numParams, int numInputs, int numOutputs, const char* effectName,
                   const char* productString, const char* vendorString, int version, int32_t uniqueId,
                   int initialDelay, bool usesMidi, bool canMono, bool usesChunks)
    : host_(host, &effect_), inputChannels_(numInputs), outputChannels_(numOutputs), usesMidi_(usesMidi) {
  CopyFixedText(effectName_, kStringBytes, effectName);
  CopyFixedText(productString_, kStringBytes, productString);
  CopyFixedText(vendorString_, kStringBytes, vendorString);

  effect_.magic = kEffectMagic;
  effect_.dispatcher = EffectDispatcher;
  effect_.process = EffectProcessAccumulating;
  effect_.setParameter = EffectSetParameter;
  effect_.getParameter = EffectGetParameter;
  effect_.numPrograms = 0;
  effect_.numParams = numParams;
  effect_.numInputs = numInputs;
  effect_.numOutputs = numOutputs;
  effect_.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
  if (usesChunks) effect_.flags |= effFlagsProgramChunks;
  if (canMono) effect_.flags |= effFlagsCanMono;
  effect_.initialDelay = initialDelay;
  effect_.ioRatio = 1.0f;
  effect_.object = this;
  effect_.uniqueID = uniqueId;
  effect_.version = version;
  effect_.processReplacing = EffectProcessReplacing;
  effect_.processDoubleReplacing = EffectProcessDoubleReplacing;

  DetectHost();
  current_.name[0] = 0;
}

PlugBase::~PlugBase() {
  DestroyEditor();
  for (int i = params_.Count() - 1; i >= 0; --i) {
    Param* param = params_.At(i);
    param->ClearValueTexts();
    delete param;
  }
  params_.Clear();
  for (int i = programs_.Count() - 1; i >= 0; --i) delete programs_.At(i);
  programs_.Clear();
  current_.values.Release();
  effect_.object = nullptr;
}

int HostKindFromStrings(const char* vendor, const char* product) {
  struct ProductKind {
    const char* text;
    int kind;
  };
  static const ProductKind kProducts[] = {{"reaper", 1},     {"cubase", 3}, {"nuendo", 4}, {"cakewalk", 5},
                                          {"samplitude", 8}, {"fruity", 7}};
  for (const ProductKind& entry : kProducts) {
    if (std::strstr(product, entry.text)) return entry.kind;
  }
  if (std::strstr(vendor, "ableton") && std::strstr(product, "live")) return 9;
  if (std::strstr(product, "melodyne")) return 12;
  if (std::strstr(product, "vstmanlib")) return 13;
  return 0;
}

void PlugBase::DetectHost() {
  // The host writes into these; the last byte stays a terminator whatever it writes.
  char vendor[kStringBytes + 1] = {};
  char product[kStringBytes + 1] = {};
  bool gotVendor = host_.Call(audioMasterGetVendorString, 0, 0, vendor, 0.0f) != 0;
  bool gotProduct = host_.Call(audioMasterGetProductString, 0, 0, product, 0.0f) != 0;
  vendor[kStringBytes - 1] = 0;
  product[kStringBytes - 1] = 0;
  if (!gotVendor || !gotProduct || (vendor[0] == 0 && product[0] == 0)) return;
  hostVendorVersion_ = static_cast<int32_t>(host_.Call(audioMasterGetVendorVersion, 0, 0, nullptr, 0.0f));
  for (char* c = vendor; *c; ++c) *c = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
  for (char* c = product; *c; ++c) *c = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
  hostKind_ = HostKindFromStrings(vendor, product);
}

void PlugBase::ProcessBlock(double** inputs, double** outputs, int frames) {
  if (frames <= 0 || !inputs || !outputs) return;
  int channels = inputChannels_ < outputChannels_ ? inputChannels_ : outputChannels_;
  for (int c = 0; c < channels; ++c) {
    if (inputs[c] && outputs[c] && inputs[c] != outputs[c]) {
      std::memmove(outputs[c], inputs[c], static_cast<size_t>(frames) * sizeof(double));
    }
  }
}

bool PlugBase::GetNoteName(int /*note*/, char* text) {
  if (text) text[0] = 0;
  return false;
}

void PlugBase::ReserveBlock(int frames) { ReserveFloatBuffers(frames); }

Param* PlugBase::ParamAt(int index) {
  if (index < 0) return nullptr;
  while (params_.Count() < index + 1) {
    Param* param = new (std::nothrow) Param();
    if (!param) return nullptr;
    if (!params_.Append(param)) {
      delete param;
      return nullptr;
    }
  }
  return params_.At(index);
}

void PlugBase::BindEditor(PlugEditor* editor) {
  if (!editor) return;
  DestroyEditor();
  for (int i = 0; i < params_.Count(); ++i) {
    editor->PushParamToControls(i, params_.At(i)->NormalFromPlain(), plugLock_);
  }
  editor->PrepareSurface();
  if (editor->OpensWindows()) effect_.flags |= effFlagsHasEditor;
  else effect_.flags &= ~effFlagsHasEditor;
  editor_ = editor;
}

void PlugBase::DestroyEditor() {
  PlugEditor* editor = editor_;
  if (!editor) return;
  editor->CloseEditor();
  {
    // A host thread pushing a parameter holds PlugLock while it walks the controls.
    LockGuard hold(plugLock_);
    editor_ = nullptr;
    EditorDestroyed();
  }
  delete editor;
}

void PlugBase::ParamChangedByEditor(int index, double normal) {
  Param* param = params_.At(index);
  if (!param) return;
  float value = static_cast<float>(normal);
  // The host hears of the change before the value moves, and outside PlugLock so
  // a host that calls back into the plug-in from its automation handler cannot
  // deadlock against the audio thread.
  host_.Call(audioMasterAutomate, index, 0, nullptr, value);
  LockGuard hold(plugLock_);
  param->SetFromNormal(value);
  ParamChanged(index);
}

void PlugBase::RunOpenRoutine() {
  LockGuard hold(plugLock_);
  for (int i = 0; i < params_.Count(); ++i) ParamChanged(i);
  ResetProcessing();
}

void PlugBase::StoreCurrentProgram() {
  Preset* preset = programs_.At(currentProgram_);
  if (!preset) return;
  if (current_.name[0]) CopyFixedText(preset->name, sizeof preset->name, current_.name);
  int count = params_.Count();
  if (!preset->values.Resize(static_cast<size_t>(count) * sizeof(double))) return;
  for (int i = 0; i < count; ++i) {
    double plain = params_.At(i)->Plain();
    std::memcpy(preset->values.Data() + static_cast<size_t>(i) * sizeof(double), &plain, sizeof plain);
  }
}

void PlugBase::LoadProgram(int index) {
  Preset* preset = programs_.At(index);
  if (!preset) return;
  int count = params_.Count();
  if (preset->values.Size() != static_cast<size_t>(count) * sizeof(double)) return;
  for (int i = 0; i < count; ++i) {
    Param* param = params_.At(i);
    double plain;
    std::memcpy(&plain, preset->values.Data() + static_cast<size_t>(i) * sizeof(double), sizeof plain);
    param->SetPlain(plain);
    if (editor_) editor_->PushParamToControls(i, param->NormalFromPlain(), plugLock_);
    ParamChanged(i);
  }
  currentProgram_ = index;
  CopyFixedText(current_.name, sizeof current_.name, preset->name);
}

bool PlugBase::SendMidiMessage(const MidiMessage& message) {
  VstMidiEvent event{};
  event.type = kVstMidiType;
  event.byteSize = sizeof(VstMidiEvent);
  event.deltaFrames = message.offset;
  event.midiData[0] = static_cast<char>(message.status);
  event.midiData[1] = static_cast<char>(message.data1);
  event.midiData[2] = static_cast<char>(message.data2);
  return SendHostEvent(reinterpret_cast<VstEvent*>(&event));
}

bool PlugBase::SendHostEvent(VstEvent* event) {
  VstEvents events{};
  events.numEvents = 1;
  events.reserved = 0;
  events.events[0] = event;
  return host_.Call(audioMasterProcessEvents, 0, 0, &events, 0.0f) == 1;
}

int64_t PlugBase::PlayPosition() {
  auto* info = reinterpret_cast<VstTimeInfo*>(host_.Call(audioMasterGetTime, 0, 0, nullptr, 0.0f));
  if (!info || !(info->samplePos >= 0.0)) return 0;
  // Positions beyond 2^62 samples (millions of years) are not real; keep the conversion defined.
  constexpr double kLimit = 4611686018427387904.0;
  return info->samplePos >= kLimit ? static_cast<int64_t>(kLimit) : static_cast<int64_t>(info->samplePos);
}

double PlugBase::HostTempo() {
  auto* info = reinterpret_cast<VstTimeInfo*>(host_.Call(audioMasterGetTime, 0, kVstTempoValid, nullptr, 0.0f));
  if (!info || !(info->flags & kVstTempoValid) || !(info->tempo >= 0.0) || !std::isfinite(info->tempo)) return 0.0;
  return info->tempo;
}

double PlugBase::SamplesPerBeat() {
  double tempo = HostTempo();
  return tempo > 0.0 ? sampleRate_ * 60.0 / tempo : 0.0;
}
