// WavFile: reading and writing WAV files as planar doubles. Linux uses
// libsndfile; Windows uses winmm's RIFF (mmio) functions. Failures throw
// HostError with a one-line reason.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct AudioData {
  int sampleRate = 44100;
  std::vector<std::vector<double>> channels;  // one vector per channel, all of equal length

  int64_t Frames() const { return channels.empty() ? 0 : static_cast<int64_t>(channels.front().size()); }
};

// How samples are stored in a written file. Float32 and Float64 keep every value
// of that precision exactly; Pcm16 is for listening only.
enum class WavSampleFormat { Float32, Float64, Pcm16 };

// Integer samples are scaled to [-1, 1); float samples are read unchanged.
AudioData ReadWav(const std::string& path);
void WriteWav(const std::string& path, const AudioData& audio, WavSampleFormat format);
