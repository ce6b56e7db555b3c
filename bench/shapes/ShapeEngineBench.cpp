// Cost of the gain-shape engine per stereo frame, in 512-frame blocks, next to
// two baselines measured in the same run: a plain copy of the block (what the
// process does anyway) and a loop that only evaluates the curve per sample.
// Every engine case includes the copy, as the process does.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "shapes/ShapeStore.h"

namespace {

constexpr int kFrames = 512;
constexpr int32_t kLongEnd = 1 << 30;

struct Block {
  std::vector<double> inLeft, inRight, outLeft, outRight;
  explicit Block(double amplitude) : inLeft(kFrames), inRight(kFrames), outLeft(kFrames), outRight(kFrames) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-amplitude, amplitude);
    for (int i = 0; i < kFrames; ++i) {
      inLeft[i] = value(random);
      inRight[i] = value(random);
    }
  }
  void Copy() {
    std::memcpy(outLeft.data(), inLeft.data(), kFrames * sizeof(double));
    std::memcpy(outRight.data(), inRight.data(), kFrames * sizeof(double));
  }
};

ShapeSegment* Curve(int32_t start, int32_t end) {
  auto* segment = new ShapeSegment;
  segment->start = {.pos = start, .level = 0.2};
  segment->control = {.pos = start + (end - start) / 3, .level = 0.9};
  segment->end = {.pos = end, .level = 0.4};
  return segment;
}

// Runs copy + ApplyShapes over consecutive blocks from first, wrapping at wrap.
void RunEngine(benchmark::State& state, ShapeStore& store, Block& block, int32_t first, int32_t wrap) {
  int32_t pos = first;
  for (auto _ : state) {
    block.Copy();
    store.ApplyShapes(block.outLeft.data(), block.outRight.data(), pos, kFrames);
    benchmark::DoNotOptimize(block.outLeft.data());
    benchmark::ClobberMemory();
    pos += kFrames;
    if (pos + kFrames > wrap) pos = first;
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
}

void BM_CopyBaseline(benchmark::State& state) {
  Block block(0.5);
  for (auto _ : state) {
    block.Copy();
    benchmark::DoNotOptimize(block.outLeft.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
}

void BM_CurveBaseline(benchmark::State& state) {
  Block block(0.5);
  const ShapeSegment* segment = Curve(0, kLongEnd);
  int64_t pos = 0;
  for (auto _ : state) {
    for (int i = 0; i < kFrames; ++i) block.outLeft[i] = ShapeStore::CurveLevel(*segment, pos + i);
    benchmark::DoNotOptimize(block.outLeft.data());
    benchmark::ClobberMemory();
    pos += kFrames;
    if (pos + kFrames > kLongEnd) pos = 0;
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
  delete segment;
}

void BM_NoSegments(benchmark::State& state) {
  Block block(0.5);
  ShapeStore store;
  RunEngine(state, store, block, 0, kLongEnd);
}

void BM_ShapedSegment(benchmark::State& state) {
  Block block(0.5);
  ShapeStore store;
  store.InsertSegment(0, Curve(0, kLongEnd));
  RunEngine(state, store, block, 0, kLongEnd);
}

void BM_MutedSegment(benchmark::State& state) {
  Block block(0.5);
  ShapeStore store;
  store.InsertSegment(0, Curve(0, kLongEnd))->mute = 1;
  RunEngine(state, store, block, 0, kLongEnd);
}

// 1000 segments of 3000 samples with 1000-sample gaps; the blocks walk through all of them.
void BM_ThousandSegments(benchmark::State& state) {
  Block block(0.5);
  ShapeStore store;
  for (int i = 0; i < 1000; ++i) store.InsertSegment(i, Curve(i * 4000, i * 4000 + 3000));
  RunEngine(state, store, block, 0, 1000 * 4000);
}

void BM_SilenceInSegment(benchmark::State& state) {
  Block block(0.0);
  ShapeStore store;
  store.InsertSegment(0, Curve(0, kLongEnd));
  RunEngine(state, store, block, 0, kLongEnd);
}

BENCHMARK(BM_CopyBaseline);
BENCHMARK(BM_CurveBaseline);
BENCHMARK(BM_NoSegments);
BENCHMARK(BM_ShapedSegment);
BENCHMARK(BM_MutedSegment);
BENCHMARK(BM_ThousandSegments);
BENCHMARK(BM_SilenceInSegment);

// Prints ns per frame of every case and its ratio to the two baselines.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    // With repetitions the median stands for the case; otherwise the single run.
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (median) {
        medians_.insert(run.run_name.function_name);
        nsPerFrame_[run.run_name.function_name] = run.GetAdjustedCPUTime() / kFrames;
      } else if (run.run_type == Run::RT_Iteration && !medians_.count(run.run_name.function_name)) {
        nsPerFrame_[run.run_name.function_name] = run.GetAdjustedCPUTime() / kFrames;
      }
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const double copy = nsPerFrame_.count("BM_CopyBaseline") ? nsPerFrame_["BM_CopyBaseline"] : 0.0;
    const double curve = nsPerFrame_.count("BM_CurveBaseline") ? nsPerFrame_["BM_CurveBaseline"] : 0.0;
    std::printf("\n%-24s %12s %10s %10s\n", "case", "ns/frame", "x copy", "x curve");
    for (const auto& [name, ns] : nsPerFrame_) {
      std::printf("%-24s %12.3f %10.2f %10.2f\n", name.c_str(), ns, copy > 0 ? ns / copy : 0.0,
                  curve > 0 ? ns / curve : 0.0);
    }
    if (nsPerFrame_.count("BM_SilenceInSegment") && nsPerFrame_.count("BM_ShapedSegment")) {
      std::printf("silence / sound: %.3f\n", nsPerFrame_["BM_SilenceInSegment"] / nsPerFrame_["BM_ShapedSegment"]);
    }
  }

 private:
  std::map<std::string, double> nsPerFrame_;
  std::set<std::string> medians_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
