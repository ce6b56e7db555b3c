// Random and hostile arguments never write outside a bitmap's pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cmath>
#include <limits>
#include <random>

#include "TestBitmaps.h"
#include "raster/BlendKernels.h"
#include "raster/Blit.h"
#include "raster/HeapBitmap.h"
#include "raster/Lines.h"

namespace {

class Hostile {
 public:
  explicit Hostile(unsigned seed) : random_(seed) {}

  // Half the operations get only plausible arguments, so that plenty of them
  // draw; the other half get extreme values for about a third of them.
  void BeginOperation() { hostile_ = Pick(2) == 1; }

  // Mostly plausible values around a bitmap of the given extent, often extreme ones.
  float Coordinate(int extent) {
    static const float kExtremes[] = {std::numeric_limits<float>::quiet_NaN(),
                                      std::numeric_limits<float>::infinity(),
                                      -std::numeric_limits<float>::infinity(),
                                      1e30f, -1e30f, 3.4e38f, -3.4e38f, 2147483648.0f,
                                      -2147483904.0f, 1e-30f, -0.5f, -0.999f, 0.0f, 65536.0f};
    if (Extreme()) return kExtremes[Pick(std::size(kExtremes))];
    return std::uniform_real_distribution<float>(-0.5f * extent, 1.5f * extent)(random_);
  }
  int Integer(int extent) {
    static const int kExtremes[] = {INT_MIN, INT_MAX, INT_MIN + 1, INT_MAX - 1, -1, 0, 1, 65536,
                                    -65536};
    if (Extreme()) return kExtremes[Pick(std::size(kExtremes))];
    return std::uniform_int_distribution<int>(-extent / 2, extent + extent / 2)(random_);
  }
  int Size(int extent) {
    if (Extreme()) return Integer(extent);
    return std::uniform_int_distribution<int>(1, extent + 1)(random_);
  }
  float FloatSize(int extent) {
    if (Extreme()) return Coordinate(extent);
    return std::uniform_real_distribution<float>(0.5f, extent + 1.0f)(random_);
  }
  float Weight() {
    static const float kWeights[] = {1.0f, 0.5f, 0.0f, -1.0f, 3.0f, 1e30f, -1e30f,
                                     std::numeric_limits<float>::quiet_NaN(),
                                     std::numeric_limits<float>::infinity()};
    return kWeights[Pick(hostile_ ? std::size(kWeights) : 2)];
  }
  int Mode() {
    static const int kModes[] = {ModeCopy, ModeAdd, ModeDodge, 3, 0xF4, 0xFB, 0xFF};
    int mode = kModes[Pick(hostile_ ? std::size(kModes) : 3)];
    if (Pick(2)) mode |= AlphaWeighted;
    if (Pick(2)) mode |= SmoothSample;
    if (hostile_ && Pick(8) == 0) mode = static_cast<int>(random_());
    return mode;
  }
  uint32_t Colour() { return Pick(3) == 0 ? 0xFFFFFFFF : static_cast<uint32_t>(random_()); }
  bool Flag() { return Pick(2) == 1; }
  size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random_); }

 private:
  bool Extreme() { return hostile_ && Pick(3) == 0; }

  std::mt19937 random_;
  bool hostile_ = false;
};

void RandomOperation(Hostile& h, GuardedBitmap& dest, GuardedBitmap& source) {
  const int w = dest.Width(), ht = dest.Height();
  h.BeginOperation();
  switch (h.Pick(10)) {
    case 0:
      FillBitmapRect(&dest, h.Integer(w), h.Integer(ht), h.Size(w), h.Size(ht), h.Colour(),
                     h.Weight(), h.Mode());
      break;
    case 1:
      MaskFill(&dest, h.Integer(w), h.Integer(ht), h.Size(w), h.Size(ht), h.Colour(),
               h.Colour());
      break;
    case 2:
      PlotBitmapPixel(&dest, h.Integer(w), h.Integer(ht), h.Colour(), h.Weight(), h.Mode());
      ReadBitmapPixel(&source, h.Integer(w), h.Integer(ht));
      break;
    case 3: {
      const int left = h.Integer(w), top = h.Integer(ht);
      auto add = [](int a, int b) {
        return static_cast<int>(std::clamp<int64_t>(int64_t{a} + b, INT_MIN, INT_MAX));
      };
      const PixelRect rect{left, top, add(left, h.Size(w)), add(top, h.Size(ht))};
      BlitRect(&dest, h.Flag() ? &source : &dest, h.Integer(w), h.Integer(ht),
               h.Flag() ? &rect : nullptr, h.Weight(), h.Mode());
      break;
    }
    case 4:
      BlitRect(&dest, &source, h.Integer(w), h.Integer(ht), h.Integer(w), h.Integer(ht),
               h.Size(w), h.Size(ht), h.Weight(), h.Mode());
      break;
    case 5: {
      // Negative widths mirror.
      int width = h.Size(w);
      if (h.Flag() && width != INT_MIN) width = -width;
      TurnBlit(&dest, &source, h.Integer(w), h.Integer(ht), width, h.Size(ht), h.Coordinate(w),
               h.Coordinate(ht), h.FloatSize(w), h.FloatSize(ht), h.Coordinate(8), h.Flag(), h.Weight(),
               h.Mode(), h.Coordinate(4), h.Coordinate(4));
      break;
    }
    case 6:
    case 7:
      DrawBitmapLine(&dest, h.Coordinate(w), h.Coordinate(ht), h.Coordinate(w), h.Coordinate(ht),
                     h.Colour(), h.Weight(), h.Mode(), h.Flag());
      break;
    case 8:
      DrawBitmapArc(&dest, h.Coordinate(w), h.Coordinate(ht), h.FloatSize(w), h.Coordinate(8),
                    h.Coordinate(8), h.Colour(), h.Weight(), h.Mode(), h.Flag());
      break;
    default:
      DrawBitmapCircle(&dest, h.Coordinate(w), h.Coordinate(ht), h.FloatSize(w), h.Colour(),
                       h.Weight(), h.Mode(), h.Flag());
      break;
  }
}

TEST(GuardBand, RandomHostileOperationsStayInsideTheBitmap) {
  const int sizes[][2] = {{37, 23}, {1, 1}, {1, 19}, {64, 2}, {16, 16}};
  int drawing = 0;
  for (unsigned seed = 0; seed < 40; ++seed) {
    const int* size = sizes[seed % std::size(sizes)];
    GuardedBitmap dest(size[0], size[1], seed % 2 == 1);
    GuardedBitmap source(size[1] + 3, size[0] + 1, seed % 3 == 1);
    Hostile h(seed);
    for (int i = 0; i < 500; ++i) {
      // Keep the pixels away from saturation, where adding and dodging show no change.
      if (i % 10 == 0) MaskFill(&dest, 0, 0, dest.Width(), dest.Height(), 0x0F0F0F0F, 0x60606060);
      const uint64_t before = dest.InteriorHash();
      RandomOperation(h, dest, source);
      drawing += dest.InteriorHash() != before;
      ASSERT_EQ(dest.FirstDamagedGuard(), -1) << "seed " << seed << " operation " << i;
    }
    ASSERT_EQ(source.FirstDamagedGuard(), -1) << "seed " << seed;
  }
  // Hostile arguments must not make the test vacuous: many operations still draw.
  EXPECT_GT(drawing, 3000);
}

// Arcs and circles near the edges take both the untested and the tested path.
TEST(GuardBand, ArcsNearTheEdgesStayInside) {
  std::mt19937 random(5);
  std::uniform_real_distribution<float> position(-30.0f, 110.0f);
  std::uniform_real_distribution<float> radius(0.5f, 70.0f);
  std::uniform_real_distribution<float> angle(-7.0f, 14.0f);
  for (int round = 0; round < 4; ++round) {
    GuardedBitmap bitmap(80 + round, 60 - round, round % 2 == 1);
    for (int i = 0; i < 3000; ++i) {
      DrawBitmapArc(&bitmap, position(random), position(random), radius(random), angle(random),
                    angle(random), 0xFFFFFFFF, 0.75f, i % 2 ? ModeAdd : ModeCopy, i % 3 != 0);
    }
    EXPECT_EQ(bitmap.FirstDamagedGuard(), -1) << "round " << round;
  }
}

TEST(GuardBand, EmptyAndForeignBitmapsDrawNothing) {
  HeapBitmap empty(0, 0);
  TestBitmap zeroWide(0, 5);
  TestBitmap source(4, 4, 0xFFFFFFFF);
  for (Bitmap* b : std::initializer_list<Bitmap*>{&empty, &zeroWide, nullptr}) {
    FillBitmapRect(b, 0, 0, 4, 4, 0xFFFFFFFF, 1.0f, ModeCopy);
    BlitRect(b, &source, 0, 0, nullptr, 1.0f, ModeCopy);
    BlitRect(&source, b, 0, 0, nullptr, 1.0f, ModeCopy);
    TurnBlit(b, &source, 0, 0, 4, 4, 0, 0, 4, 4, 0.0, false, 1.0f, ModeCopy, 0, 0);
    DrawBitmapLine(b, 0, 0, 3, 3, 0xFFFFFFFF, 1.0f, ModeCopy, true);
    DrawBitmapCircle(b, 2, 2, 2, 0xFFFFFFFF, 1.0f, ModeCopy, true);
    EXPECT_EQ(ReadBitmapPixel(b, 0, 0), 0u);
  }
  EXPECT_EQ(source.CountNot(0xFFFFFFFF), 0);
}

}  // namespace
