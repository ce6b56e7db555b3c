// Four threads on one instance, as a host and its user drive it at once: the
// audio thread processes (both precisions, jumps now and then), a third thread
// automates all three parameters, a fourth saves and restores the state, and
// the GUI thread runs the editor's timer (display paints) and random mouse
// edits. Built in the "tsan" preset it runs under ThreadSanitizer; elsewhere
// it shows that nothing crashes and the output stays finite.
// KELVANE_STRESS_SECONDS sets the duration (default 2).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "core/Module.h"
#include "effect/EffectPlugin.h"
#include "graphics/platform/headless/HeadlessGraphics.h"
#include "shapes/ShapeStore.h"
#include "tests/shapes/ShapeTestUtil.h"

namespace {

// Each thread that asks for the time sees its own record; only the audio thread moves it.
thread_local VstTimeInfo tTime{};
std::atomic<int> gAutomations{0};

VstIntPtr VSTCALL StressHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  switch (opcode) {
    case audioMasterVersion: return 2400;
    case audioMasterGetTime: return reinterpret_cast<VstIntPtr>(&tTime);
    case audioMasterGetSampleRate: return 48000;
    case audioMasterAutomate: ++gAutomations; return 0;
    default: return 0;
  }
}

double Seconds() {
  const char* text = std::getenv("KELVANE_STRESS_SECONDS");
  double seconds = text ? std::atof(text) : 0.0;
  return seconds > 0 ? seconds : 2.0;
}

// The effect's own state with three segments where the audio thread plays.
std::vector<uint8_t> StateWithShapes(AEffect* e, std::mt19937& random) {
  void* data = nullptr;
  VstIntPtr size = e->dispatcher(e, effGetChunk, 0, 0, &data, 0.0f);
  std::vector<uint8_t> state(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
  const int32_t count = 3;
  std::memcpy(state.data() + 20, &count, 4);
  for (int k = 0; k < count; ++k) {
    uint8_t record[128] = {};
    record[0] = 1;
    record[2] = k == 2;  // one bypassed
    record[3] = k == 1;  // one muted
    const double shape[3] = {0.5, 1.0, 0.5};  // follow, clip, blend
    std::memcpy(record + 8, shape, sizeof shape);
    int32_t start = static_cast<int32_t>(random() % 200000);
    for (int p = 0; p < 3; ++p) {
      int32_t pos = start + 20000 * p;
      double level = 0.1 + 0.2 * p;
      std::memcpy(record + 32 + 32 * p, &pos, 4);
      std::memcpy(record + 40 + 32 * p, &level, 8);
    }
    state.insert(state.end(), record, record + sizeof record);
  }
  return state;
}

}  // namespace

TEST(Stress, AudioAutomationStateAndEditorAtOnce) {
  auto* plug = new EffectPlugin(&StressHost, SurfaceKind::Headless);
  AEffect* e = plug->Effect();
  auto* editor = static_cast<HeadlessGraphics*>(static_cast<Graphics*>(plug->Editor()));
  ASSERT_NE(editor, nullptr);
  e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  e->dispatcher(e, effSetBlockSize, 0, 512, nullptr, 0.0f);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
  std::mt19937 setup(7);
  const std::vector<uint8_t> states[2] = {StateWithShapes(e, setup), StateWithShapes(e, setup)};

  std::atomic<bool> stop{false};
  std::atomic<long> blocks{0}, badSamples{0}, automations{0}, loads{0};
  std::thread audio([&] {
    std::mt19937 random(1);
    std::vector<double> d[4];
    std::vector<float> f[4];
    for (auto& c : d) c.assign(512, 0.0);
    for (auto& c : f) c.assign(512, 0.0f);
    double position = 0;
    while (!stop) {
      int frames = 1 + static_cast<int>(random() % 512);
      if (random() % 50 == 0) position = static_cast<double>(random() % 300000);
      tTime = VstTimeInfo{};
      tTime.samplePos = position;
      tTime.sampleRate = 48000;
      tTime.flags = kVstTransportPlaying;
      for (int i = 0; i < frames; ++i) {
        double v = std::sin((position + i) * 0.01);
        d[0][static_cast<size_t>(i)] = d[1][static_cast<size_t>(i)] = v;
        f[0][static_cast<size_t>(i)] = f[1][static_cast<size_t>(i)] = static_cast<float>(v);
      }
      bool single = random() % 2;
      if (single) {
        float* in[2] = {f[0].data(), f[1].data()};
        float* out[2] = {f[2].data(), f[3].data()};
        e->processReplacing(e, in, out, frames);
      } else {
        double* in[2] = {d[0].data(), d[1].data()};
        double* out[2] = {d[2].data(), d[3].data()};
        e->processDoubleReplacing(e, in, out, frames);
      }
      for (int c = 2; c < 4; ++c)
        for (int i = 0; i < frames; ++i) {
          double v = single ? f[c][static_cast<size_t>(i)] : d[c][static_cast<size_t>(i)];
          if (!std::isfinite(v) || std::fabs(v) > 1000.0) ++badSamples;
        }
      position += frames;
      ++blocks;
    }
  });
  std::thread automation([&] {
    std::mt19937 random(2);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    while (!stop) {
      int index = static_cast<int>(random() % 3);
      e->setParameter(e, index, unit(random));
      float value = e->getParameter(e, index);
      if (!(value >= 0.0f && value <= 1.0f)) ++badSamples;
      ++automations;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  std::thread state([&] {
    while (!stop) {
      std::vector<uint8_t> copy = states[loads % 2];
      if (!e->dispatcher(e, effSetChunk, 0, static_cast<VstIntPtr>(copy.size()), copy.data(), 0.0f)) ++badSamples;
      void* data = nullptr;
      if (e->dispatcher(e, effGetChunk, 0, 0, &data, 0.0f) <= 0) ++badSamples;
      ++loads;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  // This thread is the editor's: the display's timer and random mouse edits.
  std::mt19937 random(3);
  PointerState none{};
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(Seconds());
  long ticks = 0;
  while (std::chrono::steady_clock::now() < end) {
    editor->TimerTick();
    int x = static_cast<int>(random() % 640), y = static_cast<int>(random() % 540);
    editor->MousePress(x, y, none);
    for (int k = 0; k < 3; ++k) editor->MouseDrag(x + static_cast<int>(random() % 41) - 20, y + static_cast<int>(random() % 41) - 20, none);
    editor->MouseRelease(x, y);
    editor->ClosePrompt();
    ++ticks;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  stop = true;
  audio.join();
  automation.join();
  state.join();
  e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
  EXPECT_EQ(badSamples.load(), 0);
  EXPECT_GT(blocks.load(), 10);
  EXPECT_GT(automations.load(), 10);
  EXPECT_GT(loads.load(), 10);
  EXPECT_GT(ticks, 10);
}

// The editor copies its store into the engine's and the engine's back into its
// own. Copies in both directions at once, with no outer lock, finish: the two
// store locks are always taken in the same order (a lock-order inversion here
// was once reported by ThreadSanitizer and could deadlock).
TEST(Stress, StoreCopiesBothWaysAtOnceFinish) {
  ShapeStore edit, engine;
  for (int k = 0; k < 3; ++k) {
    edit.InsertSegment(k, shapetest::MakeFlat(1000 * k, 1000 * k + 500, 0.5));
    engine.InsertSegment(k, shapetest::MakeFlat(1000 * k + 100, 1000 * k + 600, 0.25));
  }
  constexpr int kCopies = 20000;
  std::atomic<int> failed{0};
  std::thread forth([&] {
    for (int i = 0; i < kCopies; ++i) failed += !ShapeStore::CopyShapes(edit, engine);
  });
  for (int i = 0; i < kCopies; ++i) failed += !ShapeStore::CopyShapes(engine, edit);
  forth.join();
  EXPECT_EQ(failed.load(), 0);
  ASSERT_EQ(edit.Count(), 3);
  ASSERT_EQ(engine.Count(), 3);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(edit.At(k)->start.pos, engine.At(k)->start.pos);
}
