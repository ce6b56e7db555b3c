// Arcs and circles: quadrant coverage, wrapping, clipping and the two drawing paths.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "TestBitmaps.h"
#include "raster/BlendKernels.h"
#include "raster/Lines.h"

namespace {

constexpr uint32_t kBlack = 0xFF000000;
constexpr uint32_t kWhite = 0xFFFFFFFF;

struct Extent {
  int count = 0;
  bool upperLeft = false, upperRight = false, lowerHalf = false;
};

Extent Drawn(TestBitmap& bitmap, int cx, int cy) {
  Extent e;
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) {
      if (bitmap.At(x, y) == kBlack) continue;
      ++e.count;
      if (y > cy) e.lowerHalf = true;
      if (y < cy && x < cx) e.upperLeft = true;
      if (y < cy && x > cx) e.upperRight = true;
    }
  }
  return e;
}

TEST(Arc, EndBeforeStartWrapsThroughTheTop) {
  TestBitmap bitmap(64, 64, kBlack);
  DrawBitmapArc(&bitmap, 32, 32, 20, 5.5f, 0.5f, kWhite, 1.0f, ModeCopy, true);
  const Extent e = Drawn(bitmap, 32, 32);
  EXPECT_TRUE(e.upperLeft);   // quadrant 3, from 5.5 rad
  EXPECT_TRUE(e.upperRight);  // quadrant 0, up to 0.5 rad
  EXPECT_FALSE(e.lowerHalf);
  // Nothing right of the 0.5 rad end: 20 sin(0.5) = 9.6, plus a pixel of anti-aliasing.
  for (int y = 0; y < 64; ++y) {
    for (int x = 32 + 11; x < 64; ++x) EXPECT_EQ(bitmap.At(x, y), kBlack) << x << "," << y;
  }
  // Nothing left of the 5.5 rad end: 20 sin(5.5) = -14.1.
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 32 - 16; ++x) EXPECT_EQ(bitmap.At(x, y), kBlack) << x << "," << y;
  }
}

TEST(Arc, AnglesAreNormalisedIntoOneTurn) {
  TestBitmap base(64, 64, kBlack), shifted(64, 64, kBlack);
  DrawBitmapArc(&base, 32, 32, 20, 1.0f, 2.5f, kWhite, 1.0f, ModeCopy, false);
  DrawBitmapArc(&shifted, 32, 32, 20, 1.0f - 6.2831855f, 2.5f + 6.2831855f, kWhite, 1.0f, ModeCopy,
                false);
  EXPECT_GT(base.CountNot(kBlack), 20);
  EXPECT_EQ(base.Image(), shifted.Image());
}

TEST(Circle, PlainCircleStaysOnTheRadiusInEveryQuadrant) {
  TestBitmap bitmap(64, 64, kBlack);
  const float cx = 32.3f, cy = 31.6f, r = 18.0f;
  DrawBitmapCircle(&bitmap, cx, cy, r, kWhite, 1.0f, ModeCopy, false);
  int perQuadrant[4] = {};
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      if (bitmap.At(x, y) == kBlack) continue;
      const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
      EXPECT_NEAR(std::hypot(dx, dy), r, 1.6) << x << "," << y;
      ++perQuadrant[(dx < 0 ? 2 : 0) + (dy < 0 ? 1 : 0)];
    }
  }
  // A quarter of the circumference, less the pixels that the octants leave at
  // the diagonals and ends.
  for (int count : perQuadrant) {
    EXPECT_GE(count, 22);
    EXPECT_LE(count, 30);
  }
}

TEST(Circle, GatesAndDegenerateRadiiDrawNothing) {
  TestBitmap bitmap(32, 32, kBlack);
  DrawBitmapCircle(&bitmap, 16, 16, 8, kWhite, 0.0f, ModeCopy, true);
  DrawBitmapCircle(&bitmap, 16, 16, 8, kWhite, 1.0f, 5, true);
  DrawBitmapCircle(&bitmap, 16, 16, -8, kWhite, 1.0f, ModeCopy, true);
  DrawBitmapCircle(&bitmap, 16, 16, 0, kWhite, 1.0f, ModeCopy, true);
  DrawBitmapCircle(&bitmap, 16, 16, NAN, kWhite, 1.0f, ModeCopy, true);
  EXPECT_EQ(bitmap.CountNot(kBlack), 0);
  // Subtracting a colour without alpha from black changes nothing.
  DrawBitmapCircle(&bitmap, 16, 16, 8, 0x00FFFFFF, -0.5f, ModeAdd, true);
  EXPECT_EQ(bitmap.CountNot(kBlack), 0);
  DrawBitmapCircle(&bitmap, 16, 16, 8, 0xFF404040, 0.5f, ModeAdd, true);
  EXPECT_GT(bitmap.CountNot(kBlack), 40);
}

// An arc clipped by a small bitmap shows the pixels that the same arc drawn
// whole into a large bitmap has there: the tested path starts on the same
// lattice as the untested one. Column and row 0 of the window are left out:
// coordinates in (-1, 0) truncate onto them.
TEST(Arc, ClippedArcsMatchUnclippedOnes) {
  std::mt19937 random(11);
  std::uniform_int_distribution<int> eighths(0, 8 * 160);
  std::uniform_real_distribution<float> angle(-1.0f, 7.5f);
  std::uniform_real_distribution<float> radius(2.0f, 60.0f);
  const int ox = 60, oy = 50;
  for (int i = 0; i < 300; ++i) {
    const float cx = eighths(random) / 8.0f, cy = eighths(random) / 8.0f;
    const float r = radius(random), a1 = angle(random), a2 = angle(random);
    const bool aa = i % 3 != 0;
    const int mode = i % 2 ? ModeAdd : ModeCopy | AlphaWeighted;
    TestBitmap whole(160, 160, kBlack), window(40, 30, kBlack, i % 4 == 0);
    DrawBitmapArc(&whole, cx, cy, r, a1, a2, 0xA0FFFFFF, 0.6f, mode, aa);
    DrawBitmapArc(&window, cx - ox, cy - oy, r, a1, a2, 0xA0FFFFFF, 0.6f, mode, aa);
    for (int y = 1; y < 30; ++y) {
      for (int x = 1; x < 40; ++x) {
        ASSERT_EQ(window.At(x, y), whole.At(x + ox, y + oy))
            << "arc " << i << " at " << x << "," << y << " centre " << cx << "," << cy
            << " r " << r;
      }
    }
  }
}

TEST(Circle, CentreNearCornerIsDrawnInsideOnly) {
  GuardedBitmap bitmap(16, 16, false);
  DrawBitmapCircle(&bitmap, 0.5f, 0.5f, 12.0f, kWhite, 1.0f, ModeAdd, true);
  DrawBitmapCircle(&bitmap, 15.7f, 15.2f, 9.0f, kWhite, 1.0f, ModeCopy, false);
  EXPECT_EQ(bitmap.FirstDamagedGuard(), -1);
}

}  // namespace
