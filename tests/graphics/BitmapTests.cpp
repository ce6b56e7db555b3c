// HeapBitmap and SectionBitmap sizing, fills, masked fills and pixel access.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "TestBitmaps.h"
#include "raster/BlendKernels.h"
#include "raster/Blit.h"
#include "raster/HeapBitmap.h"
#include "graphics/SectionBitmap.h"

namespace {

TEST(HeapBitmap, EmptyAndDegenerateSizesHoldNoPixels) {
  HeapBitmap empty(0, 0);
  EXPECT_EQ(empty.PixelData(), nullptr);
  // Two negative sides have a positive product, but are no bitmap.
  HeapBitmap negative(-4, -4);
  EXPECT_EQ(negative.PixelData(), nullptr);
  FillBitmapRect(&negative, 0, 0, 4, 4, 0xFFFFFFFF, 1.0f, ModeCopy);
  EXPECT_EQ(ReadBitmapPixel(&negative, 0, 0), 0u);
}

TEST(HeapBitmap, SetSizeKeepsLeadingBytesReadWithNewWidth) {
  HeapBitmap bitmap(4, 2);
  for (int i = 0; i < 8; ++i) bitmap.PixelData()[i] = 100 + i;
  EXPECT_FALSE(bitmap.SetSize(4, 2));
  ASSERT_TRUE(bitmap.SetSize(2, 3));
  EXPECT_EQ(bitmap.RowStride(), 2);
  EXPECT_EQ(ReadBitmapPixel(&bitmap, 0, 1), 102u);
  EXPECT_EQ(ReadBitmapPixel(&bitmap, 1, 2), 105u);
  ASSERT_TRUE(bitmap.SetSize(0, 3));
  EXPECT_EQ(bitmap.PixelData(), nullptr);
  EXPECT_FALSE(bitmap.IsBottomUp());
}

TEST(SectionBitmap, SizingRulesAndZeroedTopDownPixels) {
  SectionBitmap surface(3, 2);
  ASSERT_NE(surface.PixelData(), nullptr);
  EXPECT_FALSE(surface.IsBottomUp());
  EXPECT_EQ(surface.RowStride(), 3);
  EXPECT_EQ(surface.PixelData()[5], 0u);
  surface.PixelData()[0] = 0x12345678;
  uint32_t* before = surface.PixelData();
  EXPECT_FALSE(surface.SetSize(3, 2));
  // A zero or negative side keeps the pixels and the size that describes them.
  EXPECT_FALSE(surface.SetSize(0, 2));
  EXPECT_FALSE(surface.SetSize(5, -1));
  EXPECT_EQ(surface.PixelData(), before);
  EXPECT_EQ(surface.PixelData()[0], 0x12345678u);
  EXPECT_EQ(surface.Width(), 3);
  ASSERT_TRUE(surface.SetSize(640, 540));
  EXPECT_EQ(surface.Width(), 640);
  EXPECT_EQ(surface.Height(), 540);
  EXPECT_EQ(surface.PixelData()[640 * 540 - 1], 0u);
}

TEST(Fill, CopyAtFullWeightSetsOpaqueColourWhateverItsAlpha) {
  TestBitmap bitmap(4, 4, 0x11223344);
  FillBitmapRect(&bitmap, 1, 1, 2, 2, 0x00A0B0C0, 1.0f, ModeCopy);
  EXPECT_EQ(bitmap.At(1, 1), 0xFFA0B0C0u);
  EXPECT_EQ(bitmap.At(2, 2), 0xFFA0B0C0u);
  EXPECT_EQ(bitmap.At(0, 0), 0x11223344u);
  EXPECT_EQ(bitmap.At(3, 2), 0x11223344u);
  EXPECT_EQ(bitmap.CountNot(0x11223344), 4);
}

TEST(Fill, HalfWeightMovesAlphaHalfwayToward128) {
  TestBitmap transparent(1, 1, 0x00000000);
  FillBitmapRect(&transparent, 0, 0, 1, 1, 0xFFFFFFFF, 0.5f, ModeCopy);
  EXPECT_EQ(transparent.At(0, 0), 0x407F7F7Fu);  // alpha (0 + 128 x 128) / 256
  TestBitmap opaque(1, 1, 0xFF000000);
  FillBitmapRect(&opaque, 0, 0, 1, 1, 0xFFFFFFFF, 0.5f, ModeCopy);
  EXPECT_EQ(opaque.At(0, 0), 0xBF7F7F7Fu);  // alpha (255 x 128 + 128 x 128) / 256
}

TEST(Fill, KindsWithoutKernelAndZeroCopyWeightChangeNothing) {
  TestBitmap bitmap(3, 3, 0x80808080);
  FillBitmapRect(&bitmap, 0, 0, 3, 3, 0xFFFFFFFF, 1.0f, 3);
  FillBitmapRect(&bitmap, 0, 0, 3, 3, 0xFFFFFFFF, 1.0f, 0xF4);
  FillBitmapRect(&bitmap, 0, 0, 3, 3, 0xFFFFFFFF, 0.0f, ModeCopy);
  EXPECT_EQ(bitmap.CountNot(0x80808080), 0);
}

TEST(Fill, AlphaWeightedScalesWeightByColourAlpha) {
  TestBitmap bitmap(1, 1, 0xFF000000);
  // 128 x 1.0 / 255 gives w = 128: halfway.
  FillBitmapRect(&bitmap, 0, 0, 1, 1, 0x80FF0000, 1.0f, ModeCopy | AlphaWeighted);
  EXPECT_EQ(bitmap.At(0, 0), 0xBF7F0000u);
  // Add with a negative weight darkens.
  TestBitmap grey(1, 1, 0xFF808080);
  FillBitmapRect(&grey, 0, 0, 1, 1, 0xFF404040, -1.0f, ModeAdd);
  // The weight stands in for the source alpha, so the alpha channel adds (-256)^2 / 256.
  EXPECT_EQ(grey.At(0, 0), 0xFF404040u);
}

TEST(Fill, ClipsNegativeAndOversizedRectangles) {
  TestBitmap bitmap(4, 3, 0);
  FillBitmapRect(&bitmap, -2, -1, 4, 3, 0xFF0000FF, 1.0f, ModeCopy);
  EXPECT_EQ(bitmap.CountNot(0), 4);  // columns 0-1, rows 0-1
  EXPECT_EQ(bitmap.At(1, 1), 0xFF0000FFu);
  FillBitmapRect(&bitmap, 3, 2, INT_MAX, INT_MAX, 0xFF00FF00, 1.0f, ModeCopy);
  EXPECT_EQ(bitmap.At(3, 2), 0xFF00FF00u);
  EXPECT_EQ(bitmap.CountNot(0), 5);
  FillBitmapRect(&bitmap, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0xFFFFFFFF, 1.0f, ModeCopy);
  EXPECT_EQ(bitmap.CountNot(0), 5);
}

TEST(MaskFill, ClearsAlphaInsideTheClippedRectangle) {
  TestBitmap bitmap(3, 2, 0xFF123456);
  MaskFill(&bitmap, 1, -5, 10, 6, 0x00FFFFFF, 0);
  EXPECT_EQ(bitmap.At(0, 0), 0xFF123456u);
  EXPECT_EQ(bitmap.At(1, 0), 0x00123456u);
  EXPECT_EQ(bitmap.At(2, 0), 0x00123456u);
  EXPECT_EQ(bitmap.At(2, 1), 0xFF123456u);
  MaskFill(&bitmap, 0, 1, 1, 1, 0, 0xAB000001);
  EXPECT_EQ(bitmap.At(0, 1), 0xAB000001u);
}

TEST(PixelAccess, ReadOutsideIsZeroAndPlotFollowsGates) {
  TestBitmap bitmap(2, 2, 0x80808080, /*bottomUp=*/true);
  bitmap.At(1, 0) = 0x01020304;
  EXPECT_EQ(ReadBitmapPixel(&bitmap, 1, 0), 0x01020304u);
  EXPECT_EQ(ReadBitmapPixel(&bitmap, 2, 0), 0u);
  EXPECT_EQ(ReadBitmapPixel(&bitmap, -1, 1), 0u);
  EXPECT_EQ(ReadBitmapPixel(nullptr, 0, 0), 0u);
  PlotBitmapPixel(&bitmap, 0, 1, 0xFFFFFFFF, 0.0f, ModeCopy);
  PlotBitmapPixel(&bitmap, 0, 1, 0xFFFFFFFF, 1.0f, 0xF4);
  PlotBitmapPixel(&bitmap, 2, 1, 0xFFFFFFFF, 1.0f, ModeCopy);
  EXPECT_EQ(bitmap.CountNot(0x80808080), 1);
  PlotBitmapPixel(&bitmap, 0, 1, 0xFF101010, -1.0f, ModeAdd);
  EXPECT_EQ(bitmap.At(0, 1), 0x00707070u);
}

}  // namespace
