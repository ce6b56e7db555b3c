// Raster library throughput in megapixels per second, with memcpy of the same
// bytes as the baseline of the same run. Surfaces are the editor's size.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "raster/BlendKernels.h"
#include "raster/Blit.h"
#include "raster/HeapBitmap.h"
#include "raster/Lines.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 540;
constexpr double kSurfacePixels = static_cast<double>(kWidth) * kHeight;

void Paint(HeapBitmap& bitmap, uint32_t seed) {
  uint32_t* p = bitmap.PixelData();
  for (int i = 0; i < bitmap.Width() * bitmap.Height(); ++i) {
    seed = seed * 1664525u + 1013904223u;
    p[i] = seed;
  }
}

void SetRate(benchmark::State& state, double pixelsPerIteration) {
  state.counters["MP/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * pixelsPerIteration / 1e6,
      benchmark::Counter::kIsRate);
}

void BM_MemcpyBaseline(benchmark::State& state) {
  std::vector<uint32_t> from(kWidth * kHeight, 1), to(kWidth * kHeight, 0);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size() * sizeof(uint32_t));
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  SetRate(state, kSurfacePixels);
}
BENCHMARK(BM_MemcpyBaseline);

void BM_Fill(benchmark::State& state) {
  HeapBitmap dest(kWidth, kHeight);
  Paint(dest, 1);
  const int mode = static_cast<int>(state.range(0));
  for (auto _ : state) {
    FillBitmapRect(&dest, 0, 0, kWidth, kHeight, 0xC0406080, 0.5f, mode);
    benchmark::ClobberMemory();
  }
  SetRate(state, kSurfacePixels);
}
BENCHMARK(BM_Fill)->Arg(ModeCopy)->Arg(ModeAdd)->Arg(ModeDodge);

void BM_Blit(benchmark::State& state) {
  HeapBitmap dest(kWidth, kHeight), source(kWidth, kHeight);
  Paint(dest, 1);
  Paint(source, 2);
  const int mode = static_cast<int>(state.range(0));
  const float weight = state.range(1) / 100.0f;
  for (auto _ : state) {
    BlitRect(&dest, &source, 0, 0, nullptr, weight, mode);
    benchmark::ClobberMemory();
  }
  SetRate(state, kSurfacePixels);
}
// Raw copy, then the blended kernels.
BENCHMARK(BM_Blit)
    ->Args({ModeCopy, 100})
    ->Args({ModeCopy, 50})
    ->Args({ModeCopy | AlphaWeighted, 100})
    ->Args({ModeAdd | AlphaWeighted, 100})
    ->Args({ModeDodge | AlphaWeighted, 100});

void BM_TurnBlit(benchmark::State& state) {
  HeapBitmap dest(kWidth, kHeight), source(kWidth, kHeight);
  Paint(dest, 1);
  Paint(source, 2);
  const int mode = static_cast<int>(state.range(0));
  for (auto _ : state) {
    TurnBlit(&dest, &source, 0, 0, kWidth, kHeight, 0, 0, kWidth, kHeight, 0.3, false, 1.0f, mode,
             0, 0);
    benchmark::ClobberMemory();
  }
  SetRate(state, kSurfacePixels);
}
BENCHMARK(BM_TurnBlit)
    ->Arg(ModeCopy)
    ->Arg(ModeCopy | SmoothSample)
    ->Arg(ModeCopy | AlphaWeighted | SmoothSample);

// 64 lines across the surface; pixels counted along the major axis (twice for
// the anti-aliased pairs).
void BM_Lines(benchmark::State& state) {
  HeapBitmap dest(kWidth, kHeight);
  Paint(dest, 1);
  const bool aa = state.range(0) != 0;
  const float weight = state.range(1) / 100.0f;
  double pixels = 0;
  std::vector<float> ends;
  for (int i = 0; i < 64; ++i) {
    const float a = i * 0.0981747f;
    const float x1 = 320 + 300 * std::cos(a), y1 = 270 + 260 * std::sin(a);
    const float x2 = 320 - 300 * std::cos(a), y2 = 270 - 260 * std::sin(a);
    ends.insert(ends.end(), {x1, y1, x2, y2});
    pixels += std::max(std::fabs(x2 - x1), std::fabs(y2 - y1)) * (aa ? 2 : 1);
  }
  for (auto _ : state) {
    for (size_t i = 0; i < ends.size(); i += 4) {
      DrawBitmapLine(&dest, ends[i], ends[i + 1], ends[i + 2], ends[i + 3], 0xFFFFC080, weight,
                     ModeCopy | AlphaWeighted, aa);
    }
    benchmark::ClobberMemory();
  }
  SetRate(state, pixels);
}
BENCHMARK(BM_Lines)->Args({0, 100})->Args({0, 50})->Args({1, 100});

// Circles of radius 20 to 250, and half-circle arcs; pixels counted along the
// circumference (twice when anti-aliased).
void BM_Circles(benchmark::State& state) {
  HeapBitmap dest(kWidth, kHeight);
  Paint(dest, 1);
  const bool aa = state.range(0) != 0;
  const bool arcs = state.range(1) != 0;
  double pixels = 0;
  for (int r = 20; r <= 250; r += 10) pixels += (arcs ? 0.5 : 1.0) * 2 * 3.14159 * r * (aa ? 2 : 1);
  for (auto _ : state) {
    for (int r = 20; r <= 250; r += 10) {
      if (arcs) {
        DrawBitmapArc(&dest, 320.5f, 270.5f, r, 4.0f, 0.86f, 0xFF80C0FF, 0.8f, ModeAdd, aa);
      } else {
        DrawBitmapCircle(&dest, 320.5f, 270.5f, r, 0xFF80C0FF, 0.8f, ModeAdd, aa);
      }
    }
    benchmark::ClobberMemory();
  }
  SetRate(state, pixels);
}
BENCHMARK(BM_Circles)->Args({0, 0})->Args({1, 0})->Args({1, 1});

// A circle larger than the surface, drawn pixel-tested; pixels counted as those it changes.
void BM_ClippedCircle(benchmark::State& state) {
  HeapBitmap dest(kWidth, kHeight);
  FillBitmapRect(&dest, 0, 0, kWidth, kHeight, 0, 1.0f, ModeCopy);
  DrawBitmapCircle(&dest, 320.5f, 270.5f, 400.0f, 0xFF80C0FF, 0.8f, ModeAdd, true);
  double pixels = 0;
  for (int i = 0; i < kWidth * kHeight; ++i) pixels += (dest.PixelData()[i] & 0xFFFFFF) != 0;
  for (auto _ : state) {
    DrawBitmapCircle(&dest, 320.5f, 270.5f, 400.0f, 0xFF80C0FF, 0.8f, ModeAdd, true);
    benchmark::ClobberMemory();
  }
  SetRate(state, pixels);
}
BENCHMARK(BM_ClippedCircle);

}  // namespace

BENCHMARK_MAIN();
