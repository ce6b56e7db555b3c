// EffectPlugin: Kelvane itself. Declares the three parameters, runs the audio
// process (pass-through, gain shapes at the host's play position, capture of a
// low-resolution copy of the output for the display) and writes and reads the
// saved state.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/HeapBuffer.h"
#include "core/PlugBase.h"
#include "core/RecursiveLock.h"
#include "graphics/EditorSurface.h"
#include "shapes/ShapeStore.h"

class WaveDisplay;
class EditPanel;

class EffectPlugin : public PlugBase {
 public:
  enum ParamIndex { kReset = 0, kBright = 1, kColormap = 2, kParamCount = 3 };
  static constexpr int32_t kStateTag = 1001;
  static constexpr int kHeaderBytes = 20;
  static constexpr int kRingEntries = 16384;
  // A position further than this from the expected one is a jump (seek or loop).
  static constexpr int kJumpTolerance = 8;
  // The process delays nothing, so it declares no latency: a host that
  // compensates a declared delay would otherwise move the track early.
  static constexpr int kInitialDelay = 0;

  // `editorKind`: the platform's window for a host; tools and tests may ask for
  // an editor without a window.
  // `host`: the callback of the host creating this instance.
  explicit EffectPlugin(audioMasterCallback host, SurfaceKind editorKind = SurfaceKind::Window);
  ~EffectPlugin() override;

  // Audio thread, PlugLock held.
  void ProcessBlock(double** inputs, double** outputs, int frames) override;
  void ProcessFloatBlock(float** inputs, float** outputs, int frames) override;
  void ParamChanged(int index) override;
  bool WriteState(HeapBuffer& out) override;
  // The saved form of these settings and shapes, appended to `out`; on failure
  // `out` is left as it was. Any thread: touches nothing of an instance.
  static bool WriteStateOf(const ShapeStore& shapes, double bright, double colormap, HeapBuffer& out);
  bool ReadState(const HeapBuffer& in) override;
  void ReserveBlock(int frames) override;
  // GUI thread: kelvane-host's probe (core/EditorProbe.h) rebuilds the editor
  // without a window and hands out its timer, mouse and pixels.
  VstIntPtr VendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt) override;
  void EditorDestroyed() override;

  // UI thread: hands over the published captured samples (oldest first) into
  // `destination`, which holds kRingEntries entries; `endPosition` receives the
  // play position just after the last one. Returns the count.
  int ReadCapture(int16_t* destination, int64_t* endPosition);

  // GUI thread: copies the editor's store into the engine store under
  // PlugLock. A state restored since the editor last took one wins: nothing
  // is copied and false is returned.
  bool CommitShapes(ShapeStore& editStore);
  // GUI thread: when a state was restored since the last call, copies the
  // engine store into the edit store under PlugLock and returns true.
  bool TakeRestoredShapes(ShapeStore& editStore);
  // Any thread: deletes every segment of the engine store under PlugLock.
  void ClearEngineShapes();
  // GUI thread: steps the "colormap" parameter to the next map (the host is
  // not told) and hands the new look to the display.
  void CycleColourMap();

  ShapeStore& EngineStore() { return engineStore_; }
  WaveDisplay* Display() const { return display_; }
  EditPanel* Panel() const { return editPanel_; }

 private:
  void BuildEditor(SurfaceKind kind);
  // Sizes the spare input and/or output channels for blocks of `frames`.
  bool ReserveSpareBuffers(int frames, bool input, bool output);
  template <class Sample>
  void ProcessSamples(Sample** inputs, Sample** outputs, int frames);
  // Audio thread: the block without shaping, for when the spare channels cannot grow.
  template <class Sample>
  void PassThrough(Sample** inputs, Sample** outputs, int frames);
  template <class Sample>
  void Capture(const Sample* left, const Sample* right, int frames, int64_t position);

  // Capture ring counters, guarded by CaptureLock.
  int32_t readStart_ = 0;
  int32_t available_ = 0;
  int32_t pending_ = 0;
  int64_t expectedPosition_ = 0;
  int64_t publishedEndPosition_ = 0;
  int64_t pendingEndPosition_ = 0;
  HeapBuffer spareInput_{4096};
  HeapBuffer spareOutput_{4096};
  HeapBuffer captureRing_{4096};
  ShapeStore engineStore_;
  // Set under PlugLock by a successful restore, taken by the editor's thread.
  std::atomic<bool> shapesRestored_{false};
  WaveDisplay* display_ = nullptr;
  EditPanel* editPanel_ = nullptr;
  RecursiveLock captureLock_;
};
