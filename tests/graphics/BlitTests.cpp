// BlitRect: clipping, raw copies, byte moves and blended blits.
#include <gtest/gtest.h>

#include <climits>

#include "TestBitmaps.h"
#include "raster/BlendKernels.h"
#include "raster/Blit.h"
#include "raster/HeapBitmap.h"

namespace {

// Pixel (x, y) of a numbered source: distinct in every byte.
uint32_t Numbered(int x, int y) {
  return 0x80000000u | (static_cast<uint32_t>(y) << 16) | (static_cast<uint32_t>(x) << 8) |
         static_cast<uint32_t>(x + y);
}

TestBitmap NumberedSource(int width, int height, bool bottomUp = false) {
  TestBitmap source(width, height, 0, bottomUp, 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) source.At(x, y) = Numbered(x, y);
  }
  return source;
}

TEST(BlitRect, RawCopyAtFullWeightKeepsAlpha) {
  TestBitmap source = NumberedSource(5, 4);
  TestBitmap dest(6, 6, 0, /*bottomUp=*/true);
  BlitRect(&dest, &source, 1, 2, nullptr, 1.0f, ModeCopy);
  EXPECT_EQ(dest.At(1, 2), Numbered(0, 0));
  EXPECT_EQ(dest.At(5, 5), Numbered(4, 3));
  EXPECT_EQ(dest.CountNot(0), 5 * 4);
}

TEST(BlitRect, NegativeDestinationStartsInsideTheSource) {
  TestBitmap source = NumberedSource(20, 3);
  TestBitmap dest(8, 3, 0);
  BlitRect(&dest, &source, -10, -1, nullptr, 1.0f, ModeCopy);
  EXPECT_EQ(dest.At(0, 0), Numbered(10, 1));
  EXPECT_EQ(dest.At(7, 1), Numbered(17, 2));
  EXPECT_EQ(dest.CountNot(0), 8 * 2);
}

TEST(BlitRect, SourceRectangleIsCutToSourceAndDestination) {
  TestBitmap source = NumberedSource(4, 4);
  TestBitmap dest(10, 10, 0);
  const PixelRect past{2, -3, 9, 3};
  BlitRect(&dest, &source, 1, 1, &past, 1.0f, ModeCopy);
  EXPECT_EQ(dest.At(1, 1), Numbered(2, 0));
  EXPECT_EQ(dest.At(2, 3), Numbered(3, 2));
  EXPECT_EQ(dest.CountNot(0), 2 * 3);
  // The same through the convenience form, near the destination's edge.
  TestBitmap edge(10, 10, 0);
  BlitRect(&edge, &source, 9, 8, 1, 1, 3, 3, 1.0f, ModeCopy);
  EXPECT_EQ(edge.At(9, 8), Numbered(1, 1));
  EXPECT_EQ(edge.At(9, 9), Numbered(1, 2));
  EXPECT_EQ(edge.CountNot(0), 2);
}

TEST(BlitRect, ExtremeArgumentsDrawNothingWithoutOverflow) {
  TestBitmap source = NumberedSource(4, 4);
  TestBitmap dest(4, 4, 0);
  BlitRect(&dest, &source, INT_MAX, 0, nullptr, 1.0f, ModeCopy);
  BlitRect(&dest, &source, INT_MIN, INT_MIN, nullptr, 1.0f, ModeCopy);
  BlitRect(&dest, &source, 0, 0, INT_MAX, INT_MAX, INT_MAX, INT_MAX, 1.0f, ModeCopy);
  BlitRect(&dest, &source, 0, 0, INT_MIN, 0, INT_MIN, 4, 1.0f, ModeCopy);
  BlitRect(&dest, nullptr, 0, 0, nullptr, 1.0f, ModeCopy);
  EXPECT_EQ(dest.CountNot(0), 0);
}

TEST(BlitRect, ByteMoveCopiesOneChannelIntoAnother) {
  TestBitmap source(2, 1, 0x11223344);
  TestBitmap dest(2, 1, 0xAABBCCDD);
  // 0xF4: source byte 0 (blue) into destination byte 1 (green); the weight plays no part.
  BlitRect(&dest, &source, 0, 0, nullptr, 0.0f, 0xF4);
  EXPECT_EQ(dest.At(0, 0), 0xAABB44DDu);
  // 0xFE: source byte 2 (red) into destination byte 3 (alpha).
  BlitRect(&dest, &source, 1, 0, nullptr, 1.0f, 0xFE);
  EXPECT_EQ(dest.At(1, 0), 0x22BB44DDu);
}

TEST(BlitRect, BlendedKindsAndGates) {
  TestBitmap source(1, 1, 0x80404040);
  TestBitmap dest(1, 1, 0xFF808080);
  BlitRect(&dest, &source, 0, 0, nullptr, 0.0f, ModeCopy);
  BlitRect(&dest, &source, 0, 0, nullptr, -1.0f, ModeCopy | AlphaWeighted);
  BlitRect(&dest, &source, 0, 0, nullptr, 1.0f, 7);
  EXPECT_EQ(dest.At(0, 0), 0xFF808080u);
  // A negative add darkens, alpha included.
  BlitRect(&dest, &source, 0, 0, nullptr, -1.0f, ModeAdd);
  EXPECT_EQ(dest.At(0, 0), 0x7F404040u);
  // Alpha-weighted copy at a = 128: w' = 128, channel (64 x 128 + 64 x 127) / 256.
  BlitRect(&dest, &source, 0, 0, nullptr, 1.0f, ModeCopy | AlphaWeighted);
  EXPECT_EQ(dest.At(0, 0), 0x7F3F3F3Fu);
  // Copy below full weight goes through the kernel even without the flag.
  TestBitmap half(1, 1, 0x00000000);
  BlitRect(&half, &source, 0, 0, nullptr, 0.5f, ModeCopy);
  EXPECT_EQ(half.At(0, 0), 0x40202020u);
}

TEST(BlitRect, CopyWholeResizesAndCopiesEveryPixel) {
  TestBitmap source = NumberedSource(7, 5, /*bottomUp=*/true);
  HeapBitmap dest(0, 0);
  CopyWhole(&dest, &source);
  ASSERT_EQ(dest.Width(), 7);
  ASSERT_EQ(dest.Height(), 5);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 7; ++x) ASSERT_EQ(ReadBitmapPixel(&dest, x, y), Numbered(x, y));
  }
}

TEST(BlitRect, OntoItselfMovesRowsSafely) {
  TestBitmap bitmap = NumberedSource(6, 1);
  BlitRect(&bitmap, &bitmap, 1, 0, 0, 0, 5, 1, 1.0f, ModeCopy);
  EXPECT_EQ(bitmap.At(0, 0), Numbered(0, 0));
  EXPECT_EQ(bitmap.At(1, 0), Numbered(0, 0));
  EXPECT_EQ(bitmap.At(5, 0), Numbered(4, 0));
}

}  // namespace
