// Kelvane's audio process next to other VST 2 effects, all loaded as modules
// and driven the same way through the VST 2 ABI (core/Vst2.h): 512-frame
// blocks of stereo noise at 44.1 kHz, separate input and output buffers, the
// play position advancing block by block. Peers: TrivialGain (one multiply a
// sample, built here), DPF's "Amplitude Imposer" (an envelope follower,
// Debian package dpf-plugins-vst) and LSP's "Limiter Stereo" (a look-ahead
// limiter, lsp-plugins-vst). A peer whose package is missing is skipped with a
// message. After the runs the table prints ns per stereo frame and the ratios
// that Kelvane's speed goals are stated in.
#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "HostError.h"
#include "ModuleLibrary.h"
#include "SavedState.h"
#include "core/Vst2.h"

namespace {

constexpr int kFrames = 512;
constexpr double kSampleRate = 44100.0;
constexpr VstInt32 kStartProcess = 71;  // effStartProcess, sent by hosts before the first block
constexpr int32_t kLongEnd = 1 << 30;

const char* const kAmplitudeImposer = "/usr/lib/vst/AmplitudeImposer-vst.so";
const char* const kLspLimiter = "/usr/lib/vst/lsp-plugins/limiter-stereo.so";

// The host side: one timeline, shared by the effect being measured.
VstTimeInfo gTime{};

VstIntPtr VSTCALL HostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float) {
  switch (opcode) {
    case audioMasterVersion:
      return 2400;
    case audioMasterGetTime:
      return reinterpret_cast<VstIntPtr>(&gTime);
    case audioMasterGetSampleRate:
      return static_cast<VstIntPtr>(kSampleRate);
    case audioMasterGetBlockSize:
      return kFrames;
    case audioMasterGetCurrentProcessLevel:
      return 2;  // the audio thread
    case audioMasterGetVendorString:
    case audioMasterGetProductString:
      if (ptr) std::snprintf(static_cast<char*>(ptr), 64, "%s", "Kelvane bench");
      return 1;
    default:
      return 0;
  }
}

bool FileExists(const char* path) {
  struct stat info {};
  return stat(path, &info) == 0;
}

// One effect, opened and made ready to process, with its own noise buffers.
class Effect {
 public:
  explicit Effect(const std::string& path) : library_(path) {
    effect_ = library_.Entry()(HostCallback);
    if (!effect_ || effect_->magic != kEffectMagic) throw HostError(path + " made no effect");
    Dispatch(effOpen);
    Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(kSampleRate));
    Dispatch(effSetBlockSize, 0, kFrames);
    Dispatch(effMainsChanged, 0, 1);
    Dispatch(kStartProcess);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-0.5, 0.5);
    const int channels = std::max(effect_->numInputs, effect_->numOutputs);
    doubles_.resize(2 * static_cast<size_t>(channels));
    floats_.resize(doubles_.size());
    for (size_t c = 0; c < doubles_.size(); ++c) {
      doubles_[c].resize(kFrames);
      floats_[c].resize(kFrames);
      for (int i = 0; i < kFrames; ++i) floats_[c][i] = static_cast<float>(doubles_[c][i] = value(random));
    }
  }
  ~Effect() {
    Dispatch(effMainsChanged, 0, 0);
    Dispatch(effClose);
  }

  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0) {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
  }

  // Silent input from now on.
  void Silence() {
    for (auto& channel : doubles_) std::fill(channel.begin(), channel.end(), 0.0);
    for (auto& channel : floats_) std::fill(channel.begin(), channel.end(), 0.0f);
  }

  // One block at play position `position`.
  void Process(bool single, int64_t position) {
    gTime.samplePos = static_cast<double>(position);
    gTime.sampleRate = kSampleRate;
    gTime.tempo = 120.0;
    gTime.flags = kVstTransportPlaying | kVstTempoValid;
    const size_t half = doubles_.size() / 2;
    if (single) {
      float* io[64];
      for (size_t c = 0; c < doubles_.size() && c < 64; ++c) io[c] = floats_[c].data();
      effect_->processReplacing(effect_, io, io + half, kFrames);
    } else {
      double* io[64];
      for (size_t c = 0; c < doubles_.size() && c < 64; ++c) io[c] = doubles_[c].data();
      effect_->processDoubleReplacing(effect_, io, io + half, kFrames);
    }
  }

  bool CanDouble() const { return effect_->flags & effFlagsCanDoubleReplacing; }

 private:
  ModuleLibrary library_;
  AEffect* effect_ = nullptr;
  std::vector<std::vector<double>> doubles_;  // inputs, then outputs
  std::vector<std::vector<float>> floats_;
};

// Kelvane's saved state with the given segments.
std::vector<uint8_t> KelvaneState(const std::vector<ShapeSegmentRecord>& segments) {
  SavedState state;
  state.tag = kStateTag;
  state.bright = 1.0;
  state.colormap = 3.0;
  state.count = static_cast<int32_t>(segments.size());
  state.segments = segments;
  return SerialiseSavedState(state);
}

ShapeSegmentRecord Curve(int32_t start, int32_t end) {
  ShapeSegmentRecord segment;
  segment.start.pos = start;
  segment.start.level = 0.2;
  segment.control.pos = start + (end - start) / 3;
  segment.control.level = 0.9;
  segment.end.pos = end;
  segment.end.level = 0.4;
  return segment;
}

// Runs blocks from position `first`, wrapping back to it before `wrap`.
void Run(benchmark::State& state, Effect& effect, bool single, int64_t first = 0, int64_t wrap = kLongEnd) {
  int64_t position = first;
  for (auto _ : state) {
    effect.Process(single, position);
    position += kFrames;
    if (position + kFrames > wrap) position = first;
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
}

// The module, or a skip with the reason.
std::unique_ptr<Effect> Load(benchmark::State& state, const char* path, const char* package) {
  if (!FileExists(path)) {
    state.SkipWithError((std::string(path) + " is missing (Debian package " + package + ")").c_str());
    return nullptr;
  }
  try {
    return std::make_unique<Effect>(path);
  } catch (const HostError& error) {
    state.SkipWithError(error.what());
    return nullptr;
  }
}

void BM_TrivialGain(benchmark::State& state) {
  Effect effect(TRIVIAL_GAIN_MODULE);
  Run(state, effect, state.range(0));
}

void BM_AmplitudeImposer(benchmark::State& state) {
  if (auto effect = Load(state, kAmplitudeImposer, "dpf-plugins-vst")) Run(state, *effect, true);
}

void BM_LspLimiterStereo(benchmark::State& state) {
  if (auto effect = Load(state, kLspLimiter, "lsp-plugins-vst")) Run(state, *effect, true);
}

void BM_KelvaneNoSegments(benchmark::State& state) {
  Effect effect(KELVANE_MODULE);
  Run(state, effect, state.range(0));
}

void BM_KelvaneShaped(benchmark::State& state) {
  Effect effect(KELVANE_MODULE);
  std::vector<uint8_t> chunk = KelvaneState({Curve(0, kLongEnd)});
  effect.Dispatch(effSetChunk, 0, static_cast<VstIntPtr>(chunk.size()), chunk.data());
  Run(state, effect, state.range(0));
}

void BM_KelvaneSilenceInSegment(benchmark::State& state) {
  Effect effect(KELVANE_MODULE);
  std::vector<uint8_t> chunk = KelvaneState({Curve(0, kLongEnd)});
  effect.Dispatch(effSetChunk, 0, static_cast<VstIntPtr>(chunk.size()), chunk.data());
  effect.Silence();
  Run(state, effect, state.range(0));
}

// 1000 segments of 3000 samples with 1000-sample gaps; the blocks walk through all of them.
void BM_KelvaneThousandSegments(benchmark::State& state) {
  Effect effect(KELVANE_MODULE);
  std::vector<ShapeSegmentRecord> segments;
  for (int i = 0; i < 1000; ++i) segments.push_back(Curve(i * 4000, i * 4000 + 3000));
  std::vector<uint8_t> chunk = KelvaneState(segments);
  effect.Dispatch(effSetChunk, 0, static_cast<VstIntPtr>(chunk.size()), chunk.data());
  Run(state, effect, state.range(0), 0, 1000 * 4000);
}

// Argument: 1 for the float path (processReplacing), 0 for double.
BENCHMARK(BM_TrivialGain)->ArgName("float")->Arg(1)->Arg(0);
BENCHMARK(BM_AmplitudeImposer);
BENCHMARK(BM_LspLimiterStereo);
BENCHMARK(BM_KelvaneNoSegments)->ArgName("float")->Arg(1)->Arg(0);
BENCHMARK(BM_KelvaneShaped)->ArgName("float")->Arg(1)->Arg(0);
BENCHMARK(BM_KelvaneSilenceInSegment)->ArgName("float")->Arg(1);
BENCHMARK(BM_KelvaneThousandSegments)->ArgName("float")->Arg(1);

// Prints ns per frame of every case, then each goal as a ratio against its limit.
class GoalReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const std::string name = run.run_name.str();
      if (run.error_occurred) {
        skipped_[name] = run.error_message;
        continue;
      }
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      const std::string base = run.run_name.function_name + (run.run_name.args.empty() ? "" : "/" + run.run_name.args);
      if (median) {
        medians_.insert(base);
        nsPerFrame_[base] = run.GetAdjustedCPUTime() / kFrames;
      } else if (run.run_type == Run::RT_Iteration && !medians_.count(base)) {
        nsPerFrame_[base] = run.GetAdjustedCPUTime() / kFrames;
      }
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-36s %10s\n", "case", "ns/frame");
    for (const auto& [name, ns] : nsPerFrame_) std::printf("%-36s %10.3f\n", name.c_str(), ns);
    for (const auto& [name, why] : skipped_) std::printf("%-36s skipped: %s\n", name.c_str(), why.c_str());
    std::printf("\n%-58s %8s %8s\n", "goal", "ratio", "limit");
    Goal("shaped, float / Amplitude Imposer", "BM_KelvaneShaped/float:1", "BM_AmplitudeImposer", 1.5);
    Goal("shaped, double / Amplitude Imposer", "BM_KelvaneShaped/float:0", "BM_AmplitudeImposer", 1.5);
    Goal("shaped, float / LSP Limiter Stereo", "BM_KelvaneShaped/float:1", "BM_LspLimiterStereo", 0.5);
    Goal("shaped, double / LSP Limiter Stereo", "BM_KelvaneShaped/float:0", "BM_LspLimiterStereo", 0.5);
    Goal("no segments, float / trivial gain (float)", "BM_KelvaneNoSegments/float:1", "BM_TrivialGain/float:1", 2.0);
    Goal("no segments, double / trivial gain (float)", "BM_KelvaneNoSegments/float:0", "BM_TrivialGain/float:1", 1.5);
    // The double path moves twice the bytes of a float one: also against the gain's own double path.
    Goal("no segments, double / trivial gain (double)", "BM_KelvaneNoSegments/float:0", "BM_TrivialGain/float:0", 1.5);
    Goal("silence in a segment / sound (float)", "BM_KelvaneSilenceInSegment/float:1", "BM_KelvaneShaped/float:1",
         1.1);
    Goal("1000 segments / one (float)", "BM_KelvaneThousandSegments/float:1", "BM_KelvaneShaped/float:1", 1.1);
  }

 private:
  void Goal(const char* text, const char* measured, const char* reference, double limit) {
    if (!nsPerFrame_.count(measured) || !nsPerFrame_.count(reference)) {
      std::printf("%-58s %8s %8.2f  (not measured)\n", text, "-", limit);
      return;
    }
    const double ratio = nsPerFrame_[measured] / nsPerFrame_[reference];
    std::printf("%-58s %8.2f %8.2f  %s\n", text, ratio, limit, ratio <= limit ? "met" : "MISSED");
  }

  std::map<std::string, double> nsPerFrame_;
  std::set<std::string> medians_;
  std::map<std::string, std::string> skipped_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  GoalReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
