// TurnBlit: identity, filtering, mirroring, rotation, offsets and clipping.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "TestBitmaps.h"
#include "raster/BlendKernels.h"
#include "raster/Blit.h"

namespace {

uint32_t Numbered(int x, int y) {
  return 0xFF000000u | (static_cast<uint32_t>(y + 1) << 16) | (static_cast<uint32_t>(x + 1) << 8);
}

TestBitmap NumberedSource(int width, int height) {
  TestBitmap source(width, height, 0, /*bottomUp=*/true, 1);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) source.At(x, y) = Numbered(x, y);
  }
  return source;
}

void Turn(TestBitmap& dest, TestBitmap& source, int dx, int dy, int dw, int dh, float sx, float sy,
          float sw, float sh, double angle, bool clip, int mode, float ox = 0, float oy = 0) {
  TurnBlit(&dest, &source, dx, dy, dw, dh, sx, sy, sw, sh, angle, clip, 1.0f, mode, ox, oy);
}

TEST(TurnBlit, IdentityCopiesOneToOne) {
  TestBitmap source = NumberedSource(6, 5);
  TestBitmap dest(6, 5, 0);
  Turn(dest, source, 0, 0, 6, 5, 0, 0, 6, 5, 0.0, false, ModeCopy);
  EXPECT_EQ(dest.Image(), source.Image());
}

TEST(TurnBlit, SmoothUniformAreaLosesOneStepExceptOnLastRowAndColumn) {
  TestBitmap source(5, 4, 0xFFFFFFFF);
  TestBitmap dest(5, 4, 0);
  Turn(dest, source, 0, 0, 5, 4, 0, 0, 5, 4, 0.0, false, ModeCopy | SmoothSample);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 5; ++x) {
      const bool border = x == 4 || y == 3;
      EXPECT_EQ(dest.At(x, y), border ? 0xFFFFFFFFu : 0xFEFEFEFEu) << x << "," << y;
    }
  }
}

TEST(TurnBlit, BilinearAndLinearWeights) {
  TestBitmap source(3, 3, 0xFFC8C8C8);
  for (int y = 0; y < 3; ++y) source.At(0, y) = 0xFF000000;
  TestBitmap dest(1, 1, 0);
  // Halfway between columns 0 and 1: c00 = 32767, c10 = 32768.
  Turn(dest, source, 0, 0, 1, 1, 0.5f, 0, 1, 1, 0.0, false, ModeCopy | SmoothSample);
  EXPECT_EQ(dest.At(0, 0), 0xFE646464u);
  // On the last row of the bounds the filter is linear and keeps alpha 255.
  Turn(dest, source, 0, 0, 1, 1, 0.5f, 2, 1, 1, 0.0, false, ModeCopy | SmoothSample);
  EXPECT_EQ(dest.At(0, 0), 0xFF646464u);
}

TEST(TurnBlit, NegativeWidthMirrors) {
  TestBitmap source = NumberedSource(4, 1);
  TestBitmap dest(4, 1, 0);
  Turn(dest, source, 4, 0, -4, 1, 0, 0, 4, 1, 0.0, false, ModeCopy);
  // The mirrored walk starts on the source's right edge, which lies outside it.
  EXPECT_EQ(dest.At(0, 0), 0u);
  EXPECT_EQ(dest.At(1, 0), Numbered(3, 0));
  EXPECT_EQ(dest.At(3, 0), Numbered(1, 0));
}

TEST(TurnBlit, QuarterTurnIsClockwise) {
  TestBitmap source = NumberedSource(4, 4);
  TestBitmap dest(4, 4, 0);
  // Half-pixel offsets keep every sample away from pixel edges.
  Turn(dest, source, 0, 0, 4, 4, 0, 0, 4, 4, std::numbers::pi / 2, false, ModeCopy, 0.5f, 0.5f);
  for (int y = 0; y < 4; ++y) {
    EXPECT_EQ(dest.At(0, y), 0u);
    for (int x = 1; x < 4; ++x) EXPECT_EQ(dest.At(x, y), Numbered(y, 4 - x)) << x << "," << y;
  }
}

TEST(TurnBlit, DestinationClippingMovesTheSourcePoint) {
  TestBitmap source = NumberedSource(6, 1);
  TestBitmap dest(4, 1, 0);
  Turn(dest, source, -3, 0, 6, 1, 0, 0, 6, 1, 0.0, false, ModeCopy);
  EXPECT_EQ(dest.At(0, 0), Numbered(3, 0));
  EXPECT_EQ(dest.At(2, 0), Numbered(5, 0));
  EXPECT_EQ(dest.At(3, 0), 0u);
}

TEST(TurnBlit, CentreOffsetAndSourceClipping) {
  TestBitmap source = NumberedSource(4, 4);
  TestBitmap shifted(4, 1, 0);
  Turn(shifted, source, 0, 0, 4, 1, 0, 0, 4, 1, 0.0, false, ModeCopy, 1.0f, 0.0f);
  EXPECT_EQ(shifted.At(0, 0), Numbered(1, 0));
  EXPECT_EQ(shifted.At(2, 0), Numbered(3, 0));
  EXPECT_EQ(shifted.At(3, 0), 0u);

  // Source columns 1-2 at twice the size, moved right by one: samples 2, 2.5, 3, 3.5.
  TestBitmap clipped(4, 1, 0), unclipped(4, 1, 0);
  Turn(clipped, source, 0, 0, 4, 1, 1, 0, 2, 1, 0.0, true, ModeCopy, 1.0f, 0.0f);
  Turn(unclipped, source, 0, 0, 4, 1, 1, 0, 2, 1, 0.0, false, ModeCopy, 1.0f, 0.0f);
  EXPECT_EQ(clipped.At(1, 0), Numbered(2, 0));
  EXPECT_EQ(clipped.At(2, 0), 0u);
  EXPECT_EQ(unclipped.At(2, 0), Numbered(3, 0));
}

TEST(TurnBlit, GatesKindsAndEmptySizes) {
  TestBitmap source(4, 4, 0xFFFFFFFF);
  TestBitmap dest(4, 4, 0);
  TurnBlit(&dest, &source, 0, 0, 4, 4, 0, 0, 4, 4, 0.3, false, 0.0f, ModeCopy, 0, 0);
  TurnBlit(&dest, &source, 0, 0, 4, 4, 0, 0, 4, 4, 0.3, false, 1.0f, 0xF4, 0, 0);
  TurnBlit(&dest, &source, 0, 0, 0, 4, 0, 0, 4, 4, 0.3, false, 1.0f, ModeCopy, 0, 0);
  TurnBlit(&dest, &source, 0, 0, 4, 4, 0, 0, 4, 4, NAN, false, 1.0f, ModeCopy, 0, 0);
  EXPECT_EQ(dest.CountNot(0), 0);
  TurnBlit(&dest, &source, 0, 0, 4, 4, 0, 0, 4, 4, 0.0, false, 0.5f, ModeAdd, 0, 0);
  EXPECT_EQ(dest.At(3, 3), 0x7F7F7F7Fu);
}

}  // namespace
