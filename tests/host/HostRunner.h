// Helpers for the kelvane-host tests: run the host (natively or under Wine),
// capture its output, and read and write WAV files with libsndfile.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct HostRun {
  int exitCode = -1;
  bool crashed = false;  // ended by a signal
  std::string out;
  std::string err;
};

// Runs `program args...` with stdout and stderr captured; `environment` is
// prepended to the command as NAME=VALUE words.
HostRun RunProgram(const std::vector<std::string>& command, const std::string& environment = "");
HostRun RunHost(const std::vector<std::string>& args);

// A fresh, empty folder for one test.
std::string TestFolder();
std::string FakeModule(const std::string& name);  // path of a fake .so

std::vector<std::string> Lines(const std::string& text);
bool FileExists(const std::string& path);
std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteTextFile(const std::string& path, const std::string& text);

struct Wav {
  int rate = 44100;
  std::vector<std::vector<double>> channels;
};
// format: "f64", "f32" or "s16".
void WriteWavFile(const std::string& path, const Wav& wav, const std::string& format);
Wav ReadWavFile(const std::string& path);
// Test audio that uses every bit of its precision: random mantissas, both signs,
// tiny and large values, denormals and exact zeros.
Wav NoisyAudio(int channels, int frames, bool singlePrecision, uint32_t seed);
// Audio as a module meets it in a session: random full-precision values within
// +-0.5, no denormals (which a module may flush to zero).
Wav PlainAudio(int channels, int frames, bool singlePrecision, uint32_t seed);
