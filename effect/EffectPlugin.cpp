#include "effect/EffectPlugin.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <new>

#include "controls/WaveDisplay.h"
#include "core/ByteOrder.h"
#include "core/Module.h"
#include "effect/CaptureEntries.h"
#include "shapes/EditPanel.h"

namespace {

constexpr double kDefaultBright = 1.0;
constexpr double kDefaultColormap = 3.0;

}  // namespace

EffectPlugin::EffectPlugin(audioMasterCallback host, SurfaceKind editorKind)
    : PlugBase(host, kParamCount, 2, 2, "Kelvane", "", "Ulmor", 1000, VstFourCC('k', 'v', 'l', 'n'), kInitialDelay,
               /*usesMidi=*/false, /*canMono=*/true, /*usesChunks=*/true) {
  if (!captureRing_.Resize(kRingEntries * sizeof(int16_t))) throw std::bad_alloc();
  std::memset(captureRing_.Data(), 0, captureRing_.Size());

  // ParamAt answers null when it cannot allocate: a plug-in without its
  // parameters is not built at all.
  Param* reset = ParamAt(kReset);
  Param* bright = ParamAt(kBright);
  Param* colormap = ParamAt(kColormap);
  if (!reset || !bright || !colormap) throw std::bad_alloc();

  reset->DeclareSwitch("reset", false);

  bright->DeclareNumber("bright", kDefaultBright, 0.1, 10.0, 0.1, "x");
  bright->SetCurveExponent(2.0);

  colormap->DeclareChoice("colormap", static_cast<int>(kDefaultColormap), 4);
  colormap->SetValueText(0, "pompeii");
  colormap->SetValueText(1, "thermal");
  colormap->SetValueText(2, "chlorine");
  colormap->SetValueText(3, "brrr");

  BuildEditor(editorKind);
}

EffectPlugin::~EffectPlugin() {
  // The editor's controls point into this object's members: it goes first.
  DestroyEditor();
}

bool EffectPlugin::ReserveSpareBuffers(int frames, bool input, bool output) {
  // One silent input channel and two output channels stand in for missing ones.
  size_t bytes = static_cast<size_t>(frames) * sizeof(double);
  if (input && spareInput_.Size() < bytes) {
    size_t old = spareInput_.Size();
    if (!spareInput_.Resize(bytes)) return false;
    std::memset(spareInput_.Data() + old, 0, bytes - old);
  }
  if (output && spareOutput_.Size() < 2 * bytes && !spareOutput_.Resize(2 * bytes)) return false;
  return true;
}

// Float blocks go straight into the engine, so the base's widening buffers
// are never needed here: only the spare channels are reserved.
void EffectPlugin::ReserveBlock(int frames) {
  ReserveSpareBuffers(frames, true, true);
}

void EffectPlugin::ProcessBlock(double** inputs, double** outputs, int frames) {
  ProcessSamples(inputs, outputs, frames);
}

// Float samples go straight into the engine, which shapes them in double.
void EffectPlugin::ProcessFloatBlock(float** inputs, float** outputs, int frames) {
  ProcessSamples(inputs, outputs, frames);
}

template <class Sample>
void EffectPlugin::ProcessSamples(Sample** inputs, Sample** outputs, int frames) {
  if (frames <= 0 || !inputs || !outputs) return;
  int64_t position = PlayPosition();

  {
    LockGuard hold(captureLock_);
    int64_t drift = position - expectedPosition_;
    if (drift > kJumpTolerance || drift < -kJumpTolerance) {
      readStart_ = available_ = pending_ = 0;
      publishedEndPosition_ = pendingEndPosition_ = 0;
    } else if (pending_ >= 1) {
      available_ += pending_;
      publishedEndPosition_ = pendingEndPosition_;
      pending_ = 0;
      pendingEndPosition_ = 0;
      // Only raises the display's dirty flag (an atomic); it draws at the next tick.
      if (display_) display_->MarkDirty(true);
    }
  }
  expectedPosition_ = position + frames;

  // Missing channels (mono or none) are replaced by spare buffers: a silent
  // input and outputs that nothing returns to the host. They hold doubles, so
  // float blocks fit them too. They were sized when the host announced its
  // block size; a longer block grows them here, and only for a side that
  // lacks a channel.
  const int inputCount = InputChannels();
  const int outputCount = OutputChannels();
  const bool inputMissing = inputCount < 2 || !inputs[0] || !inputs[1];
  const bool outputMissing = outputCount < 2 || !outputs[0] || !outputs[1];
  if (!ReserveSpareBuffers(frames, inputMissing, outputMissing)) {
    PassThrough(inputs, outputs, frames);
    return;
  }
  auto* silence = reinterpret_cast<Sample*>(spareInput_.Data());
  auto* spareOut = reinterpret_cast<Sample*>(spareOutput_.Data());
  const Sample* in0 = inputCount >= 1 && inputs[0] ? inputs[0] : silence;
  const Sample* in1 = inputCount >= 2 && inputs[1] ? inputs[1] : silence;
  Sample* out0 = outputCount >= 1 && outputs[0] ? outputs[0] : spareOut;
  Sample* out1 = outputCount >= 2 && outputs[1] ? outputs[1] : spareOut + frames;
  size_t bytes = static_cast<size_t>(frames) * sizeof(Sample);
  // Hosts may process in place: the buffers can be the same.
  std::memmove(out0, in0, bytes);
  std::memmove(out1, in1, bytes);

  // Segments and the display count positions in 32 bits. Samples past the
  // last position they can name (INT32_MAX) lie outside every segment and are
  // not captured; the part of a block up to it is shaped and captured as usual,
  // so a segment ending there is shaped up to its last sample.
  const int64_t addressable = int64_t{INT32_MAX} + 1 - position;
  const int shaped = addressable <= 0 ? 0 : addressable < frames ? static_cast<int>(addressable) : frames;
  if (shaped > 0) engineStore_.ApplyShapes(out0, out1, static_cast<int32_t>(position), shaped);
  if (shaped < frames) engineStore_.SmoothToUnity(out0 + shaped, out1 + shaped, frames - shaped);
  if (shaped > 0) Capture(out0, out1, shaped, position);
}

template <class Sample>
void EffectPlugin::PassThrough(Sample** inputs, Sample** outputs, int frames) {
  size_t bytes = static_cast<size_t>(frames) * sizeof(Sample);
  for (int c = 0; c < OutputChannels() && c < 2; ++c) {
    if (!outputs[c]) continue;
    const Sample* in = c < InputChannels() ? inputs[c] : nullptr;
    if (in) {
      std::memmove(outputs[c], in, bytes);
    } else {
      std::memset(outputs[c], 0, bytes);
    }
  }
}

template <class Sample>
void EffectPlugin::Capture(const Sample* left, const Sample* right, int frames, int64_t position) {
  LockGuard hold(captureLock_);
  auto* ring = reinterpret_cast<int16_t*>(captureRing_.Data());
  // Only the newest kRingEntries samples of a long block can survive in the ring.
  int skip = frames > kRingEntries ? frames - kRingEntries : 0;
  int write = (readStart_ + available_ + pending_ + skip) % kRingEntries;
  for (int i = skip; i < frames;) {
    const int span = frames - i < kRingEntries - write ? frames - i : kRingEntries - write;
    capture::Entries(left + i, right + i, span, ring + write, engineStore_.wideVectors);
    i += span;
    write = (write + span) % kRingEntries;
  }
  // When the display has not kept up, the oldest unread samples make room.
  int64_t total = static_cast<int64_t>(available_) + pending_ + frames;
  int64_t drop = total > kRingEntries ? total - kRingEntries : 0;
  int32_t fromAvailable = drop < available_ ? static_cast<int32_t>(drop) : available_;
  readStart_ = static_cast<int32_t>((readStart_ + drop) % kRingEntries);
  available_ -= fromAvailable;
  pending_ = static_cast<int32_t>(pending_ + frames - (drop - fromAvailable));
  pendingEndPosition_ = position + frames;
}

int EffectPlugin::ReadCapture(int16_t* destination, int64_t* endPosition) {
  LockGuard hold(captureLock_);
  int n = available_;
  if (n == 0) {
    if (endPosition) *endPosition = 0;
    return 0;
  }
  const auto* ring = reinterpret_cast<const int16_t*>(captureRing_.Data());
  int first = kRingEntries - readStart_ < n ? kRingEntries - readStart_ : n;
  std::memcpy(destination, ring + readStart_, static_cast<size_t>(first) * sizeof(int16_t));
  std::memcpy(destination + first, ring, static_cast<size_t>(n - first) * sizeof(int16_t));
  if (endPosition) *endPosition = publishedEndPosition_;
  available_ = 0;
  readStart_ = (readStart_ + n) % kRingEntries;
  return n;
}

// Any thread, PlugLock held (the host's parameter thread, possibly the audio
// thread for automation): only stores what the editor draws later.
void EffectPlugin::ParamChanged(int index) {
  if (index == kReset) {
    if (editPanel_) editPanel_->SetResetArmed(ParamAt(kReset)->Plain() >= 0.5);
  } else if (index == kBright || index == kColormap) {
    if (display_) display_->SetDisplayLook(ParamAt(kBright)->Plain(), static_cast<int>(ParamAt(kColormap)->Plain()));
    // The panel shows the colour map's name.
    if (index == kColormap && editPanel_) editPanel_->MarkDirty(false);
  }
}

void EffectPlugin::EditorDestroyed() {
  display_ = nullptr;
  editPanel_ = nullptr;
}

void EffectPlugin::CycleColourMap() {
  LockGuard hold(PlugLock());
  Param* colormap = ParamAt(kColormap);
  colormap->SetPlain((static_cast<int>(colormap->Plain()) + 1) % 4);
  ParamChanged(kColormap);
}

bool EffectPlugin::WriteState(HeapBuffer& out) {
  return WriteStateOf(engineStore_, ParamAt(kBright)->Plain(), ParamAt(kColormap)->Plain(), out);
}

bool EffectPlugin::WriteStateOf(const ShapeStore& shapes, double bright, double colormap, HeapBuffer& out) {
  uint8_t header[kHeaderBytes];
  StoreLE32(header, kStateTag);
  StoreLEDouble(header + 4, bright);
  StoreLEDouble(header + 12, colormap);
  size_t start = out.Size();
  // WriteShapes appends the segment count and the records after the header.
  if (out.Append(header, sizeof header) && shapes.WriteShapes(out)) return true;
  out.Resize(start);
  return false;
}

bool EffectPlugin::ReadState(const HeapBuffer& in) {
  const uint8_t* data = in.Data();
  size_t size = in.Size();
  if (size < 4 || LoadLE32(data) != kStateTag) return false;
  if (size < static_cast<size_t>(kHeaderBytes)) return false;
  double bright = LoadLEDouble(data + 4);
  double colormap = LoadLEDouble(data + 12);
  // A value that is not a number restores the default; anything else is clamped.
  ParamAt(kBright)->SetPlain(std::isnan(bright) ? kDefaultBright : bright);
  ParamAt(kColormap)->SetPlain(std::isnan(colormap) ? kDefaultColormap : colormap);
  // All or nothing: on failure the engine keeps its shapes.
  if (!engineStore_.ReadShapes(in, kHeaderBytes)) return false;
  // The editor's store takes the restored shapes at its next GUI entry, on its
  // own thread; until then no commit of its old shapes may overwrite them.
  shapesRestored_.store(true, std::memory_order_release);
  if (display_) display_->MarkDirty(false);
  return true;
}

bool EffectPlugin::CommitShapes(ShapeStore& editStore) {
  LockGuard hold(PlugLock());
  // The edit store is out of date: it takes the restored shapes at its next entry.
  if (shapesRestored_.load(std::memory_order_acquire)) return false;
  return ShapeStore::CopyShapes(editStore, engineStore_);
}

bool EffectPlugin::TakeRestoredShapes(ShapeStore& editStore) {
  if (!shapesRestored_.load(std::memory_order_acquire)) return false;
  LockGuard hold(PlugLock());
  if (!shapesRestored_.exchange(false, std::memory_order_acq_rel)) return false;
  if (ShapeStore::CopyShapes(engineStore_, editStore)) return true;
  // Out of memory: try again at the next entry.
  shapesRestored_.store(true, std::memory_order_release);
  return false;
}

void EffectPlugin::ClearEngineShapes() {
  LockGuard hold(PlugLock());
  engineStore_.ClearShapes();
}

PlugBase* CreateEffectInstance(audioMasterCallback host) {
  try {
    return new EffectPlugin(host);
  } catch (...) {
    return nullptr;  // the memory of a failed construction is already freed
  }
}
