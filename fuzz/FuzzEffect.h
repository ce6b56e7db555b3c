// FuzzEffect: one Kelvane instance reached through its VST 2 record only, with
// a host that reports a chosen play position, for the fuzz targets. A finding
// (output that is not finite, subnormal or far beyond full scale for
// full-scale input) aborts, which is how libFuzzer learns of it.
#pragma once

#include <cstdint>
#include <vector>

#include "core/Vst2.h"

class EffectPlugin;

class FuzzEffect {
 public:
  static constexpr int kMaxFrames = 4096;

  FuzzEffect();
  ~FuzzEffect();
  FuzzEffect(const FuzzEffect&) = delete;
  FuzzEffect& operator=(const FuzzEffect&) = delete;

  AEffect* Effect() const { return effect_; }
  // The instance behind the record, for targets that check its editor and stores.
  EffectPlugin* Plugin() const { return plug_; }
  // Back to the settings, parameters and state of a fresh instance, resumed.
  void Restart();
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0);
  std::vector<uint8_t> GetChunk();
  bool SetChunk(const uint8_t* bytes, size_t size);
  // Processes `frames` (0 .. kMaxFrames) of a full-scale signal with the host
  // reporting `position` (or no time info when `timeAvailable` is false).
  void Process(int frames, double position, bool timeAvailable, bool singlePrecision);

 private:
  AEffect* effect_ = nullptr;
  EffectPlugin* plug_ = nullptr;
  std::vector<uint8_t> freshState_;
  std::vector<float> freshParams_;
  std::vector<std::vector<double>> inD_, outD_;
  std::vector<std::vector<float>> inF_, outF_;
};
