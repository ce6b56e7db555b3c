// Line clipping, plain lines and Wu lines: exact pixels and symmetry.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "TestBitmaps.h"
#include "raster/BlendKernels.h"
#include "raster/Lines.h"

namespace {

constexpr uint32_t kBlack = 0xFF000000;
constexpr uint32_t kWhite = 0xFFFFFFFF;

TEST(ClipLine, RejectsOutsideAndCutsAtEdges) {
  float x1 = -5, y1 = 1, x2 = -2, y2 = 8;
  EXPECT_FALSE(ClipLine(x1, y1, x2, y2, 10, 10));

  x1 = 2, y1 = 3, x2 = 22, y2 = 3;
  ASSERT_TRUE(ClipLine(x1, y1, x2, y2, 10, 10));
  EXPECT_FLOAT_EQ(x2, 9.0f);
  EXPECT_FLOAT_EQ(y2, 3.0f);
  EXPECT_FLOAT_EQ(x1, 2.0f);

  // -0.5 truncates to 0 and counts as inside; -1 does not.
  x1 = -0.5f, y1 = -0.5f, x2 = 4, y2 = 4;
  ASSERT_TRUE(ClipLine(x1, y1, x2, y2, 10, 10));
  EXPECT_FLOAT_EQ(x1, -0.5f);
  x1 = -1, y1 = 5, x2 = 3, y2 = 5;
  ASSERT_TRUE(ClipLine(x1, y1, x2, y2, 10, 10));
  EXPECT_FLOAT_EQ(x1, 0.0f);

  // Through the bottom: y becomes H - 1, x follows the line at y = H.
  x1 = 0, y1 = 0, x2 = 20, y2 = 20;
  ASSERT_TRUE(ClipLine(x1, y1, x2, y2, 10, 10));
  EXPECT_FLOAT_EQ(x2, 10.0f - 1.0f);
  EXPECT_FLOAT_EQ(y2, 9.0f);
}

TEST(ClipLine, HostileCoordinatesAreBoundedOrRejected) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  float x1 = -1e30f, y1 = 5, x2 = 1e30f, y2 = 5;
  ASSERT_TRUE(ClipLine(x1, y1, x2, y2, 10, 10));
  EXPECT_FLOAT_EQ(x1, 0.0f);
  EXPECT_FLOAT_EQ(x2, 9.0f);
  x1 = -3e38f, y1 = -3e38f, x2 = 3e38f, y2 = 3e38f;
  ASSERT_TRUE(ClipLine(x1, y1, x2, y2, 10, 10));
  EXPECT_TRUE(x1 > -1 && x1 < 10 && y2 > -1 && y2 < 10);
  x1 = 0, y1 = 0, x2 = inf, y2 = 3;
  EXPECT_FALSE(ClipLine(x1, y1, x2, y2, 10, 10));
  x1 = nan, y1 = 0, x2 = 3, y2 = 3;
  EXPECT_FALSE(ClipLine(x1, y1, x2, y2, 10, 10));
  x1 = 1, y1 = 1, x2 = 3, y2 = 3;
  EXPECT_FALSE(ClipLine(x1, y1, x2, y2, 0, 10));
  EXPECT_FALSE(ClipLine(x1, y1, x2, y2, 10, -4));
}

// Segments whose clipping once went wrong: a far, nearly flat one whose moved
// point overflowed the float range (and then read NaN), and one whose moves
// went back and forth around a corner until the cap dropped a visible pixel.
// Each keeps the pixel it shows, finite, and a plain line draws exactly it.
TEST(ClipLine, FarAndCornerSegmentsKeepTheirVisiblePixel) {
  struct Case {
    float x1, y1, x2, y2;
    int width, height;
    float cx1, cy1, cx2, cy2;
  };
  const Case cases[] = {
      {3.4028235e38f, -1.0f, 0.0f, -0.99999994f, 1, 1, 0.0f, -0.99999994f, 0.0f, -0.99999994f},
      {-1.7296f, 0.9995f, -0.8402f, -0.9653f, 3, 1, -0.8402f, -0.9653f, -0.8402f, -0.9653f},
  };
  for (const Case& c : cases) {
    float x1 = c.x1, y1 = c.y1, x2 = c.x2, y2 = c.y2;
    ASSERT_TRUE(ClipLine(x1, y1, x2, y2, c.width, c.height)) << c.x1 << " " << c.y1;
    EXPECT_EQ(x1, c.cx1);
    EXPECT_EQ(y1, c.cy1);
    EXPECT_EQ(x2, c.cx2);
    EXPECT_EQ(y2, c.cy2);
    TestBitmap bitmap(c.width, c.height, kBlack);
    DrawBitmapLine(&bitmap, c.x1, c.y1, c.x2, c.y2, kWhite, 1.0f, 0, false);
    EXPECT_EQ(bitmap.At(0, 0), kWhite);
    EXPECT_EQ(bitmap.CountNot(kBlack), 1);
  }
}

// Whatever the segment, a visible result holds two finite points inside the area.
TEST(ClipLine, VisibleResultsAreFiniteAndInside) {
  std::mt19937 random(8);
  const float magnitudes[] = {1.0f, 2.0f, 10.0f, 1e6f, 1e30f, 3.4e38f};
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  std::uniform_int_distribution<int> pick(0, 5), size(1, 4);
  auto coordinate = [&] { return unit(random) * magnitudes[pick(random)]; };
  int visible = 0;
  for (int i = 0; i < 200000; ++i) {
    const int width = size(random), height = size(random);
    float x1 = coordinate(), y1 = coordinate(), x2 = coordinate(), y2 = coordinate();
    if (!ClipLine(x1, y1, x2, y2, width, height)) continue;
    ++visible;
    for (float x : {x1, x2}) ASSERT_TRUE(x > -1.0f && x < width) << i << ": x " << x;
    for (float y : {y1, y2}) ASSERT_TRUE(y > -1.0f && y < height) << i << ": y " << y;
  }
  EXPECT_GT(visible, 10000);
}

TEST(ClipLine, ToRectTranslatesAroundTheRectangle) {
  float x1 = 0, y1 = 25, x2 = 200, y2 = 25;
  ASSERT_TRUE(ClipLineToRect(x1, y1, x2, y2, PixelRect{100, 20, 150, 30}));
  EXPECT_FLOAT_EQ(x1, 100.0f);
  EXPECT_FLOAT_EQ(x2, 149.0f);
  x1 = 0, y1 = 0, x2 = 200, y2 = 0;
  EXPECT_FALSE(ClipLineToRect(x1, y1, x2, y2, PixelRect{100, 20, 150, 30}));
  EXPECT_FALSE(ClipLineToRect(x1, y1, x2, y2, PixelRect{}));
}

TEST(PlainLine, HorizontalLineFillsRoundedColumns) {
  for (float weight : {1.0f, 0.5f}) {
    TestBitmap bitmap(8, 8, kBlack);
    DrawBitmapLine(&bitmap, 0.4f, 3.6f, 5.2f, 3.6f, kWhite, weight, ModeCopy, false);
    EXPECT_EQ(bitmap.CountNot(kBlack), 6);
    for (int x = 0; x <= 5; ++x) EXPECT_NE(bitmap.At(x, 4), kBlack) << x;
  }
}

TEST(PlainLine, SharedPixelDrawsOnePixelAtFullWeight) {
  TestBitmap bitmap(4, 4, kBlack);
  DrawBitmapLine(&bitmap, 1.6f, 1.2f, 1.9f, 1.4f, 0x80FFFFFF, 0.25f, ModeCopy, false);
  EXPECT_EQ(bitmap.At(2, 1), 0x80FFFFFFu);
  EXPECT_EQ(bitmap.CountNot(kBlack), 1);
}

TEST(PlainLine, OpaqueFullWeightStoresEvenWhenAdding) {
  TestBitmap bitmap(6, 2, 0x80808080);
  DrawBitmapLine(&bitmap, 0, 0, 5, 0, 0xFF102030, 1.0f, ModeAdd, false);
  EXPECT_EQ(bitmap.At(3, 0), 0xFF102030u);
  DrawBitmapLine(&bitmap, 0, 1, 5, 1, 0xFF102030, 0.5f, ModeAdd, false);
  EXPECT_EQ(bitmap.At(3, 1), 0xFF889098u);
}

TEST(PlainLine, DiagonalStepsOnHalfError) {
  TestBitmap bitmap(8, 8, kBlack);
  DrawBitmapLine(&bitmap, 0, 0, 6, 3, kWhite, 1.0f, ModeCopy, false);
  // k = 0.5: the minor step follows every second major step.
  const int rows[] = {0, 1, 1, 2, 2, 3, 3};
  for (int x = 0; x < 7; ++x) EXPECT_EQ(bitmap.At(x, rows[x]), kWhite) << x;
  EXPECT_EQ(bitmap.CountNot(kBlack), 7);
}

TEST(WuLine, SharedPixelDrawsFourAtQuarterOfFractions) {
  TestBitmap bitmap(5, 5, kBlack);
  // (fx + fy) / 4 = (0.5 + 0.25) / 4: w = 48, whatever the weight argument.
  DrawBitmapLine(&bitmap, 2.5f, 3.25f, 2.6f, 3.3f, kWhite, 0.1f, ModeCopy, true);
  const uint32_t expected = 0xFF2F2F2F;  // 255 x 48 / 256 = 47; alpha keeps 255
  EXPECT_EQ(bitmap.At(2, 3), expected);
  EXPECT_EQ(bitmap.At(3, 3), expected);
  EXPECT_EQ(bitmap.At(2, 4), expected);
  EXPECT_EQ(bitmap.At(3, 4), expected);
  EXPECT_EQ(bitmap.CountNot(kBlack), 4);
}

TEST(WuLine, EndsAreWeightedByTheirGaps) {
  TestBitmap bitmap(10, 4, kBlack);
  DrawBitmapLine(&bitmap, 1.0f, 2.0f, 6.0f, 2.0f, kWhite, 1.0f, ModeCopy, true);
  EXPECT_EQ(bitmap.At(0, 2), kBlack);
  EXPECT_EQ(bitmap.At(1, 2), 0xFF7F7F7Fu);  // gap 0.5
  for (int x = 2; x <= 5; ++x) EXPECT_EQ(bitmap.At(x, 2), kWhite) << x;
  EXPECT_EQ(bitmap.At(6, 2), 0xFF7F7F7Fu);
  EXPECT_EQ(bitmap.CountNot(kBlack), 6);
}

TEST(WuLine, CoverageSplitsAcrossRows) {
  TestBitmap bitmap(8, 4, kBlack);
  DrawBitmapLine(&bitmap, 0.5f, 1.25f, 4.5f, 1.25f, kWhite, 1.0f, ModeCopy, true);
  for (int x = 1; x <= 4; ++x) {
    EXPECT_EQ(bitmap.At(x, 1), 0xFFBFBFBFu) << x;  // 0.75: 255 x 192 / 256 = 191
    EXPECT_EQ(bitmap.At(x, 2), 0xFF3F3F3Fu) << x;  // 0.25: 255 x 64 / 256 = 63
  }
  EXPECT_EQ(bitmap.At(0, 1), kBlack);
  EXPECT_EQ(bitmap.At(5, 1), kBlack);
}

TEST(WuLine, EndsOneStepApartRedrawTheSecondColumn) {
  TestBitmap bitmap(4, 3, kBlack);
  DrawBitmapLine(&bitmap, 1.0f, 1.0f, 2.0f, 1.0f, kWhite, 1.0f, ModeCopy, true);
  EXPECT_EQ(bitmap.At(1, 1), 0xFF7F7F7Fu);
  EXPECT_EQ(bitmap.At(2, 1), kWhite);
}

// A line drawn into the transposed bitmap with transposed ends gives the
// transposed image: steep lines are the same walk with the axes swapped.
TEST(Lines, SteepAndShallowAreTransposes) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> coordinate(0.0f, 23.99f);
  for (int i = 0; i < 400; ++i) {
    const float x1 = coordinate(random), y1 = coordinate(random);
    const float x2 = coordinate(random), y2 = coordinate(random);
    if (std::fabs(std::fabs(x2 - x1) - std::fabs(y2 - y1)) < 1e-3f) continue;
    const bool aa = i % 2 == 0;
    TestBitmap a(24, 24, kBlack), b(24, 24, kBlack);
    DrawBitmapLine(&a, x1, y1, x2, y2, 0xC0FFFFFF, 0.7f, ModeCopy | AlphaWeighted, aa);
    DrawBitmapLine(&b, y1, x1, y2, x2, 0xC0FFFFFF, 0.7f, ModeCopy | AlphaWeighted, aa);
    for (int y = 0; y < 24; ++y) {
      for (int x = 0; x < 24; ++x) ASSERT_EQ(a.At(x, y), b.At(y, x)) << i << " at " << x << "," << y;
    }
  }
}

}  // namespace
