// Milliseconds per editor frame (one timer tick with its paint: the time
// column, in ms) of the
// waveform display in a headless editor of a real instance: steady playback
// with following, a full repaint, a zoom of the main view, and the overview's
// growth over an hour of stored audio (from block summaries, and for
// comparison from a walk over every stored value).
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "controls/WaveDisplay.h"
#include "core/Module.h"
#include "effect/EffectPlugin.h"
#include "graphics/platform/headless/HeadlessGraphics.h"

namespace {

constexpr int kFrames = 512;
constexpr int64_t kHour = int64_t{44100} * 3600;

VstTimeInfo gTime{};

VstIntPtr VSTCALL Host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterGetTime ? reinterpret_cast<VstIntPtr>(&gTime) : 0;
}

struct Editor {
  EffectPlugin* plug;
  HeadlessGraphics* g;
  WaveDisplay* display;
  std::vector<double> left = std::vector<double>(kFrames), right = std::vector<double>(kFrames);
  int64_t position = 0;

  Editor() {
    plug = new EffectPlugin(Host, SurfaceKind::Headless);
    g = static_cast<HeadlessGraphics*>(static_cast<Graphics*>(plug->Editor()));
    display = plug->Display();
    g->TimerTick();
  }
  ~Editor() { delete plug; }
  void Block() {
    for (int i = 0; i < kFrames; ++i) {
      double t = static_cast<double>(position + i) / 44100.0;
      left[i] = right[i] = 0.4 * std::sin(t * 2 * 3.14159265 * 110.0) * (0.5 + 0.5 * std::sin(t * 3.0));
    }
    gTime.samplePos = static_cast<double>(position);
    double* in[2] = {left.data(), right.data()};
    double* out[2] = {left.data(), right.data()};
    plug->Effect()->processDoubleReplacing(plug->Effect(), in, out, kFrames);
    position += kFrames;
  }
};

void SteadyFollowing(benchmark::State& state) {
  Editor e;
  for (int i = 0; i < 2000; ++i) e.Block();
  for (auto _ : state) {
    e.Block();
    e.g->TimerTick();
  }
}
BENCHMARK(SteadyFollowing)->Unit(benchmark::kMillisecond);

void FullRepaint(benchmark::State& state) {
  Editor e;
  for (int i = 0; i < 2000; ++i) e.Block();
  int map = 0;
  for (auto _ : state) {
    e.display->SetDisplayLook(1.0, map++ & 3);
    for (int i = 0; i < e.g->ControlCount(); ++i) e.g->ControlAt(i)->MarkDirty(false);
    e.g->TimerTick();
  }
}
BENCHMARK(FullRepaint)->Unit(benchmark::kMillisecond);

void ZoomMainView(benchmark::State& state) {
  Editor e;
  for (int i = 0; i < 2000; ++i) e.Block();
  int notches = 1;
  for (auto _ : state) {
    e.g->MouseWheel(300, 200, PointerState{}, notches);
    notches = -notches;
    e.g->TimerTick();
  }
}
BENCHMARK(ZoomMainView)->Unit(benchmark::kMillisecond);

// An hour of audio in the store; each frame the overview grows by a block.
void OverviewGrowthOverAnHour(benchmark::State& state) {
  const bool summaries = state.range(0) != 0;
  Editor e;
  std::vector<int16_t> chunk(1 << 20);
  for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<int16_t>(300 * std::sin(static_cast<double>(i) * 0.01));
  SampleStore& store = e.display->Samples();
  for (int64_t p = 0; p < kHour; p += static_cast<int64_t>(chunk.size())) {
    store.Write(chunk.data(), p, static_cast<int>(std::min<int64_t>(static_cast<int64_t>(chunk.size()), kHour - p)));
  }
  const double scale = store.SummaryScale();
  if (!summaries) store.SetSummaryScale(scale * 2.0);  // not the overview's: every value is walked
  WaveView& overview = e.display->Overview();
  int64_t end = kHour;
  for (auto _ : state) {
    end += kFrames;
    overview.Update(store, 0, end + WaveDisplay::kOverviewLead, 1.0, 3, true);
    e.display->MarkDirty(false);
    e.g->TimerTick();
  }
  if (!summaries) store.SetSummaryScale(scale);
  state.counters["pages"] = store.PageCount();
}
BENCHMARK(OverviewGrowthOverAnHour)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
