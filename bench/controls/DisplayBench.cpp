// Milliseconds per editor frame (one timer tick with its paint: the time
// column, in ms) of the
// waveform display in a headless editor of a real instance: steady playback
// with following, a full repaint, a zoom of the main view, the overview's
// growth over an hour of stored audio (from block summaries, and for
// comparison from a walk over every stored value), and a long session with
// 1000 segments: playing, and dragging a point or a whole segment.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "controls/WaveDisplay.h"
#include "core/ByteOrder.h"
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

// ---- 1000 segments ----
// Ten minutes have been played and 1000 segments drawn over them (0.5 s each,
// 0.1 s apart); the host plays on at the end, where the main view shows the
// last few segments and the overview all of them.
constexpr int kSegments = 1000;
constexpr int64_t kSegmentPeriod = 26460;  // 0.6 s
constexpr int64_t kSegmentLength = 22050;  // 0.5 s
constexpr int64_t kSession = kSegments * kSegmentPeriod;

struct LongSession : Editor {
  LongSession() {
    std::vector<int16_t> chunk(SampleStore::kPageSize);
    for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<int16_t>(200 * std::sin(static_cast<double>(i) * 0.01));
    for (int64_t p = 0; p < kSession; p += static_cast<int64_t>(chunk.size())) {
      display->Samples().Write(chunk.data(), p, static_cast<int>(std::min<int64_t>(static_cast<int64_t>(chunk.size()), kSession - p)));
    }
    LoadShapes();
    // Playing resumes 2 s before the last segment's end.
    position = kSession - kSegmentPeriod + kSegmentLength - 88200;
    for (int i = 0; i < 20; ++i) {
      Block();
      g->TimerTick();
    }
  }
  // The segments arrive as a saved state, as when a project opens.
  void LoadShapes() {
    ShapeStore shapes;
    for (int i = 0; i < kSegments; ++i) {
      auto* s = new ShapeSegment;
      s->selected = 0;
      s->start.pos = static_cast<int32_t>(i * kSegmentPeriod);
      s->control.pos = static_cast<int32_t>(i * kSegmentPeriod + kSegmentLength / 3);
      s->end.pos = static_cast<int32_t>(i * kSegmentPeriod + kSegmentLength);
      s->start.level = 0.3 + 0.05 * (i % 7);
      s->control.level = 0.8 - 0.05 * (i % 5);
      s->end.level = 0.4;
      shapes.InsertSegment(i, s);
    }
    HeapBuffer state;
    EffectPlugin::WriteStateOf(shapes, 1.0, 3.0, state);
    AEffect* effect = plug->Effect();
    if (effect->dispatcher(effect, effSetChunk, 0, static_cast<VstIntPtr>(state.Size()), state.Data(), 0.0f) != 1) {
      std::abort();
    }
  }
};

// The counters: segments drawn again in the overview per frame (all of them
// without the cache that keeps the overview's shapes between paints).
void CountOverviewDrawing(benchmark::State& state, LongSession& e, int64_t drawn) {
  state.counters["segments"] = e.display->Shapes().Count();
  state.counters["drawn"] = benchmark::Counter(static_cast<double>(drawn), benchmark::Counter::kAvgIterations);
}

// Playing with following on: the capture advances and the shapes in and
// around the main view are drawn, with all 1000 in the overview. Arg: the
// overview's shape cache on (1) or off (0, for comparison).
void SteadyThousandSegments(benchmark::State& state) {
  LongSession e;
  e.display->OverviewShapeCache().SetEnabled(state.range(0) != 0);
  int64_t drawn = 0;
  for (auto _ : state) {
    e.Block();
    e.g->TimerTick();
    drawn += e.display->OverviewShapeCache().LastDrawn();
  }
  CountOverviewDrawing(state, e, drawn);
}
BENCHMARK(SteadyThousandSegments)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// The mouse drags the control point (first arg 0) or the body of the last
// segment (1) to and fro while the host plays: each frame moves, commits and
// redraws. Second arg: the overview's shape cache on or off.
void DragThousandSegments(benchmark::State& state) {
  LongSession e;
  e.display->OverviewShapeCache().SetEnabled(state.range(1) != 0);
  ShapeStore& shapes = e.display->Shapes();
  const ShapeSegment& segment = *shapes.At(shapes.Count() - 1);
  int x = segment.control.x;
  int y = segment.control.yPos;
  if (state.range(0) != 0) {
    // Between the points, above the curve: the body.
    x = (segment.start.x + segment.control.x) / 2;
    y = std::min(segment.start.yPos, segment.control.yPos) - 8;
  }
  e.g->MouseHover(x, y, PointerState{});
  e.g->MousePress(x, y, PointerState{true});
  const bool grabbed = segment.start.hit || segment.control.hit || segment.end.hit;
  int step = 3;
  int64_t drawn = 0;
  for (auto _ : state) {
    x += step;
    y -= step;
    step = -step;
    e.g->MouseDrag(x, y, PointerState{true});
    e.Block();
    e.g->TimerTick();
    drawn += e.display->OverviewShapeCache().LastDrawn();
  }
  e.g->MouseRelease(x, y);
  if (!grabbed) state.SkipWithError("the press found no point to drag");
  CountOverviewDrawing(state, e, drawn);
}
BENCHMARK(DragThousandSegments)->Args({0, 1})->Args({1, 1})->Args({0, 0})->Args({1, 0})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
