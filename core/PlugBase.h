// PlugBase: the framework base of the plug-in. Owns PlugLock, the stream
// settings, the strings reported to the host, the parameters, the programs,
// the saved-state buffer, the editor surface and the AEffect record the host
// holds. The effect class overrides the virtual hooks.
#pragma once

#include <cstdint>

#include "core/HeapBuffer.h"
#include "core/HostConnection.h"
#include "core/Param.h"
#include "core/PlugEditor.h"
#include "core/PtrList.h"
#include "core/RecursiveLock.h"
#include "core/Vst2.h"

struct MidiMessage {
  int32_t offset = 0;  // the event's deltaFrames
  uint8_t status = 0;
  uint8_t data1 = 0;
  uint8_t data2 = 0;
};

// One program: a name and one plain value per parameter.
struct Preset {
  char name[256] = {};
  HeapBuffer values{64};
};

class PlugBase {
 public:
  static constexpr int kStringBytes = 256;

  // `host`: the callback of the host creating this instance; every host call
  // of the instance goes through it (null: no host).
  PlugBase(audioMasterCallback host, int numParams, int numInputs, int numOutputs, const char* effectName,
           const char* productString, const char* vendorString, int version, int32_t uniqueId, int initialDelay,
           bool usesMidi, bool canMono, bool usesChunks);
  virtual ~PlugBase();
  PlugBase(const PlugBase&) = delete;
  PlugBase& operator=(const PlugBase&) = delete;

  // --- Hooks for the effect class ---
  virtual void ResetProcessing() {}
  virtual void ParamChanged(int /*index*/) {}
  // Audio thread, PlugLock held. Copies the inputs to the outputs.
  virtual void ProcessBlock(double** inputs, double** outputs, int frames);
  // Audio thread, PlugLock held: a block from a single-precision host. By
  // default it is widened to double, run through ProcessBlock and narrowed.
  virtual void ProcessFloatBlock(float** inputs, float** outputs, int frames);
  virtual void EditorOpened() {}
  // PlugLock held: the editor is about to be deleted; drop every pointer into it.
  virtual void EditorDestroyed() {}
  virtual void EditorClosed() {}
  virtual void ActivationChanged(bool /*active*/) {}
  virtual void MidiMessageReceived(const MidiMessage& message) { SendMidiMessage(message); }
  virtual bool GetNoteName(int note, char* text);
  virtual bool WriteState(HeapBuffer& /*out*/) { return false; }
  virtual bool ReadState(const HeapBuffer& /*in*/) { return false; }
  // GUI thread: effVendorSpecific; 0 when the request is not understood.
  virtual VstIntPtr VendorSpecific(VstInt32 /*index*/, VstIntPtr /*value*/, void* /*ptr*/, float /*opt*/) { return 0; }
  // UI thread, PlugLock held: the host announced blocks of up to `frames`
  // samples; size every buffer the process needs so that it need not allocate.
  virtual void ReserveBlock(int frames);

  // --- Parameters, editor, programs, host ---
  Param* ParamAt(int index);
  int ParamCount() const { return params_.Count(); }
  // GUI thread: takes ownership of the editor, pushes every parameter into its
  // controls and prepares its surface; the host is told of an editor only when
  // this one can open a window.
  void BindEditor(PlugEditor* editor);
  // Deletes the editor. The effect calls it first thing in its destructor: the
  // editor's controls point into the effect's members.
  void DestroyEditor();
  void ParamChangedByEditor(int index, double normal);
  void RunOpenRoutine();
  void StoreCurrentProgram();
  void LoadProgram(int index);
  int ProgramCount() const { return programs_.Count(); }
  bool SendMidiMessage(const MidiMessage& message);
  bool SendHostEvent(VstEvent* event);

  // Time queries (one audioMasterGetTime request each).
  // Host play position in samples, truncated; 0 when negative or unknown. 64-bit:
  // a long session at a high rate passes 2^31 samples.
  int64_t PlayPosition();
  double HostTempo();
  double SamplesPerBeat();

  // --- The VST 2 boundary ---
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
  void SetParameterFromHost(int index, float value);
  float GetParameterForHost(int index);
  void ProcessDouble(double** inputs, double** outputs, int frames);
  void ProcessFloat(float** inputs, float** outputs, int frames);

  // --- Accessors ---
  RecursiveLock& PlugLock() { return plugLock_; }
  AEffect* Effect() { return &effect_; }
  HostConnection& Host() { return host_; }
  double SampleRate() const { return sampleRate_; }
  int BlockSize() const { return blockSize_; }
  int InputChannels() const { return inputChannels_; }
  int OutputChannels() const { return outputChannels_; }
  int HostKind() const { return hostKind_; }
  int HostVendorVersion() const { return hostVendorVersion_; }
  PlugEditor* Editor() const { return editor_; }
  HeapBuffer& ChunkBuffer() { return current_.values; }
  const char* EffectName() const { return effectName_; }
  const char* VendorString() const { return vendorString_; }
  const char* ProductString() const { return productString_; }
  const char* CurrentProgramName() const { return current_.name; }

  static PlugBase* FromEffect(AEffect* effect) {
    return effect ? static_cast<PlugBase*>(effect->object) : nullptr;
  }

 private:
  void DetectHost();
  void LimitChannelsOnFirstCall();
  bool ReserveFloatBuffers(int frames);

  RecursiveLock plugLock_;
  HostConnection host_;
  int32_t blockSize_ = 0;
  int32_t inputChannels_;
  int32_t outputChannels_;
  double sampleRate_ = 44100.0;
  bool channelsSettled_ = false;
  bool usesMidi_;
  char effectName_[kStringBytes] = {};
  char productString_[kStringBytes] = {};
  char vendorString_[kStringBytes] = {};
  int32_t hostKind_ = 0;
  int32_t hostVendorVersion_ = 0;
  PtrList<Preset> programs_{4096};
  int32_t currentProgram_ = 0;
  Preset current_;
  PtrList<Param> params_{4096};
  PlugEditor* editor_ = nullptr;
  ERect editorRect_{};
  AEffect effect_{};
  // Single-precision hosts: their blocks are widened into these channels.
  HeapBuffer floatIn_{4096};
  HeapBuffer floatOut_{4096};
  int floatFrames_ = 0;
};

// Host identification from the lower-cased vendor and product strings.
int HostKindFromStrings(const char* vendorLower, const char* productLower);
