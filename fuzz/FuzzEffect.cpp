#include "FuzzEffect.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>

#include "effect/EffectPlugin.h"

namespace {

VstTimeInfo gTime{};
bool gTimeAvailable = true;

VstIntPtr VSTCALL FuzzHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  switch (opcode) {
    case audioMasterVersion: return 2400;
    case audioMasterGetTime: return gTimeAvailable ? reinterpret_cast<VstIntPtr>(&gTime) : 0;
    case audioMasterGetSampleRate: return 44100;
    default: return 0;
  }
}

// Output far beyond full scale for full-scale input: the gain shapes cap the
// follower's gain at 100 and levels below 64.
constexpr double kBound = 1000.0;

template <typename Sample>
void CheckOutput(const std::vector<std::vector<Sample>>& outputs, int frames) {
  for (const auto& channel : outputs)
    for (int i = 0; i < frames; ++i) {
      double v = static_cast<double>(channel[static_cast<size_t>(i)]);
      double magnitude = std::fabs(v);
      if (!std::isfinite(v) || magnitude > kBound) std::abort();
      if (magnitude != 0 && magnitude < (sizeof(Sample) == 4 ? static_cast<double>(FLT_MIN) : DBL_MIN)) std::abort();
    }
}

}  // namespace

FuzzEffect::FuzzEffect() {
  try {
    plug_ = new EffectPlugin(&FuzzHost, SurfaceKind::Headless);
  } catch (...) {
    std::abort();
  }
  effect_ = plug_->Effect();
  size_t frames = kMaxFrames;
  inD_.assign(2, std::vector<double>(frames));
  outD_.assign(2, std::vector<double>(frames));
  inF_.assign(2, std::vector<float>(frames));
  outF_.assign(2, std::vector<float>(frames));
  for (size_t i = 0; i < frames; ++i) {
    // Full scale: a sine on the left, its square-wave twin on the right.
    double s = std::sin(static_cast<double>(i) * 0.05);
    inD_[0][i] = s;
    inD_[1][i] = s >= 0 ? 1.0 : -1.0;
    inF_[0][i] = static_cast<float>(inD_[0][i]);
    inF_[1][i] = static_cast<float>(inD_[1][i]);
  }
  Dispatch(effOpen);
  freshState_ = GetChunk();
  for (int i = 0; i < effect_->numParams; ++i) freshParams_.push_back(effect_->getParameter(effect_, i));
  Dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
  Dispatch(effSetBlockSize, 0, 512);
  Dispatch(effMainsChanged, 0, 1);
}

void FuzzEffect::Restart() {
  Dispatch(effMainsChanged, 0, 0);
  if (Dispatch(effEditClose) < 0) std::abort();
  VstSpeakerArrangement stereo{};
  stereo.numChannels = 2;
  Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&stereo), &stereo);
  if (!SetChunk(freshState_.data(), freshState_.size())) std::abort();
  for (int i = 0; i < effect_->numParams; ++i) effect_->setParameter(effect_, i, freshParams_[static_cast<size_t>(i)]);
  Dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
  Dispatch(effSetBlockSize, 0, 512);
  Dispatch(effMainsChanged, 0, 1);
}

FuzzEffect::~FuzzEffect() { Dispatch(effClose); }

VstIntPtr FuzzEffect::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::vector<uint8_t> FuzzEffect::GetChunk() {
  void* data = nullptr;
  VstIntPtr size = Dispatch(effGetChunk, 0, 0, &data);
  if (size <= 0 || !data) return {};
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

bool FuzzEffect::SetChunk(const uint8_t* bytes, size_t size) {
  std::vector<uint8_t> copy(bytes, bytes + size);
  return Dispatch(effSetChunk, 0, static_cast<VstIntPtr>(copy.size()), copy.empty() ? nullptr : copy.data()) != 0;
}

void FuzzEffect::Process(int frames, double position, bool timeAvailable, bool singlePrecision) {
  if (frames < 0 || frames > kMaxFrames) return;
  gTime = VstTimeInfo{};
  gTime.samplePos = position;
  gTime.sampleRate = 44100;
  gTime.tempo = 120;
  gTime.flags = kVstTransportPlaying | kVstTempoValid;
  gTimeAvailable = timeAvailable;
  if (singlePrecision) {
    float* in[2] = {inF_[0].data(), inF_[1].data()};
    float* out[2] = {outF_[0].data(), outF_[1].data()};
    effect_->processReplacing(effect_, in, out, frames);
    CheckOutput(outF_, frames);
  } else {
    double* in[2] = {inD_[0].data(), inD_[1].data()};
    double* out[2] = {outD_[0].data(), outD_[1].data()};
    effect_->processDoubleReplacing(effect_, in, out, frames);
    CheckOutput(outD_, frames);
  }
}
