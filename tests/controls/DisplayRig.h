// A Kelvane instance with a headless editor, a scriptable host and a signal:
// plays blocks at host positions and ticks the editor's timer, so that the
// waveform display draws from really captured audio.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "controls/WaveDisplay.h"
#include "effect/EffectPlugin.h"
#include "graphics/platform/headless/HeadlessGraphics.h"
#include "tests/core/FakeHost.h"

struct DisplayRig {
  FakeHost host;
  EffectPlugin* plug = nullptr;
  HeadlessGraphics* g = nullptr;
  WaveDisplay* display = nullptr;
  // Sample value of both channels at a position.
  std::function<double(int64_t)> signal = [](int64_t) { return 0.0; };

  explicit DisplayRig(const char* product = "Test Host") {
    host.product = product;
    plug = new EffectPlugin(host.Callback(), SurfaceKind::Headless);
    g = static_cast<HeadlessGraphics*>(static_cast<Graphics*>(plug->Editor()));
    display = plug->Display();
  }
  ~DisplayRig() { delete plug; }
  DisplayRig(const DisplayRig&) = delete;
  DisplayRig& operator=(const DisplayRig&) = delete;

  // One block of frames at the host position.
  void Play(int64_t position, int frames) {
    host.time.samplePos = static_cast<double>(position);
    host.time.sampleRate = 44100.0;
    std::vector<double> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) left[static_cast<size_t>(i)] = right[static_cast<size_t>(i)] = signal(position + i);
    double* in[2] = {left.data(), right.data()};
    double* out[2] = {left.data(), right.data()};
    plug->Effect()->processDoubleReplacing(plug->Effect(), in, out, frames);
  }
  // Continuous play of [from, to) in blocks, with a timer tick every ticksEvery blocks.
  void PlayRange(int64_t from, int64_t to, int block = 512, int ticksEvery = 5) {
    int n = 0;
    for (int64_t p = from; p < to; p += block) {
      Play(p, static_cast<int>(std::min<int64_t>(block, to - p)));
      if (++n % ticksEvery == 0) g->TimerTick();
    }
  }
  void Tick() { g->TimerTick(); }
  // A pixel of the surface as the window shows it (opaque).
  uint32_t Pixel(int x, int y) const { return g->SurfacePixels()[y * 640 + x] | 0xFF000000u; }
  // The surface as a window shows it, every pixel opaque.
  std::vector<uint32_t> Screen() const {
    std::vector<uint32_t> pixels(g->SurfacePixels(), g->SurfacePixels() + 640 * 540);
    for (uint32_t& p : pixels) p |= 0xFF000000u;
    return pixels;
  }
};
