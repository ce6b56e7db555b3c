#include "HostRunner.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string Quote(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string ReadText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace

std::string TestFolder() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  fs::path folder = fs::path(HOST_TEST_TMP) / (std::string(info->test_suite_name()) + "." + info->name());
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder.string();
}

std::string FakeModule(const std::string& name) { return std::string(FAKE_DIR) + "/" + name + ".so"; }

HostRun RunProgram(const std::vector<std::string>& command, const std::string& environment) {
  static int serial = 0;
  fs::path folder = fs::path(HOST_TEST_TMP) / "runs";
  fs::create_directories(folder);
  std::string stem = (folder / (std::to_string(::getpid()) + "-" + std::to_string(serial++))).string();
  std::string line = environment.empty() ? "" : environment + " ";
  for (const std::string& word : command) line += Quote(word) + " ";
  line += "> " + Quote(stem + ".out") + " 2> " + Quote(stem + ".err") + " < /dev/null";
  int status = std::system(line.c_str());
  HostRun run;
  // The shell reports a child killed by signal N as exit status 128 + N.
  if (WIFEXITED(status)) {
    run.exitCode = WEXITSTATUS(status);
    run.crashed = run.exitCode > 128;
  } else {
    run.crashed = true;
  }
  run.out = ReadText(stem + ".out");
  run.err = ReadText(stem + ".err");
  fs::remove(stem + ".out");
  fs::remove(stem + ".err");
  return run;
}

HostRun RunHost(const std::vector<std::string>& args) {
  std::vector<std::string> command{KELVANE_HOST};
  command.insert(command.end(), args.begin(), args.end());
  return RunProgram(command);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool FileExists(const std::string& path) { return fs::is_regular_file(path); }

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::string text = ReadText(path);
  return std::vector<uint8_t>(text.begin(), text.end());
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteTextFile(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
}

void WriteWavFile(const std::string& path, const Wav& wav, const std::string& format) {
  SF_INFO info{};
  info.samplerate = wav.rate;
  info.channels = static_cast<int>(wav.channels.size());
  info.format = SF_FORMAT_WAV | (format == "f64" ? SF_FORMAT_DOUBLE : format == "f32" ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16);
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  size_t frames = wav.channels[0].size();
  std::vector<double> interleaved;
  for (size_t i = 0; i < frames; ++i)
    for (const auto& c : wav.channels) interleaved.push_back(c[i]);
  EXPECT_EQ(sf_writef_double(file, interleaved.data(), static_cast<sf_count_t>(frames)), static_cast<sf_count_t>(frames));
  sf_close(file);
}

Wav ReadWavFile(const std::string& path) {
  Wav wav;
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  EXPECT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
  if (!file) return wav;
  std::vector<double> interleaved(static_cast<size_t>(info.frames * info.channels));
  sf_readf_double(file, interleaved.data(), info.frames);
  sf_close(file);
  wav.rate = info.samplerate;
  wav.channels.assign(static_cast<size_t>(info.channels), std::vector<double>(static_cast<size_t>(info.frames)));
  for (size_t i = 0; i < static_cast<size_t>(info.frames); ++i)
    for (size_t c = 0; c < wav.channels.size(); ++c) wav.channels[c][i] = interleaved[i * wav.channels.size() + c];
  return wav;
}

Wav NoisyAudio(int channels, int frames, bool singlePrecision, uint32_t seed) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  Wav wav;
  wav.rate = 48000;
  wav.channels.assign(static_cast<size_t>(channels), std::vector<double>(static_cast<size_t>(frames)));
  for (auto& channel : wav.channels)
    for (int i = 0; i < frames; ++i) {
      double v = unit(random);
      switch (i % 7) {
        case 1: v *= 1e-300; break;  // denormal territory for floats and near it for doubles
        case 2: v = 0.0; break;
        case 3: v *= 37.5; break;
        case 4: v = std::numeric_limits<double>::denorm_min() * (i % 50); break;
        default: break;
      }
      if (singlePrecision) {
        float f = static_cast<float>(v);
        if (i % 7 == 1) f = std::numeric_limits<float>::denorm_min() * static_cast<float>(i % 90);
        if (i % 7 == 4) f = -0.0f;
        v = f;
      }
      channel[static_cast<size_t>(i)] = v;
    }
  return wav;
}

Wav PlainAudio(int channels, int frames, bool singlePrecision, uint32_t seed) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> unit(-0.5, 0.5);
  Wav wav;
  wav.rate = 44100;
  wav.channels.assign(static_cast<size_t>(channels), std::vector<double>(static_cast<size_t>(frames)));
  for (auto& channel : wav.channels)
    for (double& v : channel) v = singlePrecision ? static_cast<double>(static_cast<float>(unit(random))) : unit(random);
  return wav;
}
