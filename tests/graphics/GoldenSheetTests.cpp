// Whole images: the golden sheet, and top-down against bottom-up bitmaps.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "PngFile.h"
#include "TestBitmaps.h"
#include "TestScenes.h"

namespace {

const std::string kGoldenPath = std::string(KELVANE_SOURCE_DIR) + "/tests/graphics/golden/sheet.png";

// KELVANE_UPDATE_GOLDEN=1 rewrites the golden image after a deliberate change;
// look at it before committing.
TEST(GoldenSheet, MatchesTheCommittedImage) {
  TestBitmap sheet(kSheetWidth, kSheetHeight, 0);
  DrawSheet(&sheet);
  const std::vector<uint32_t> image = sheet.Image();
  const std::string actualPath = std::string(KELVANE_BINARY_DIR) + "/sheet-actual.png";
  ASSERT_TRUE(WritePng(actualPath, kSheetWidth, kSheetHeight, image));
  if (std::getenv("KELVANE_UPDATE_GOLDEN")) {
    ASSERT_TRUE(WritePng(kGoldenPath, kSheetWidth, kSheetHeight, image));
    GTEST_SKIP() << "golden image rewritten";
  }
  int width = 0, height = 0;
  std::vector<uint32_t> golden;
  ASSERT_TRUE(ReadPng(kGoldenPath, width, height, golden)) << kGoldenPath;
  ASSERT_EQ(width, kSheetWidth);
  ASSERT_EQ(height, kSheetHeight);
  int differing = 0;
  for (size_t i = 0; i < image.size(); ++i) differing += image[i] != golden[i];
  EXPECT_EQ(differing, 0) << "see " << actualPath;
}

TEST(GoldenSheet, BottomUpBitmapsGiveTheSameImage) {
  TestBitmap down(kSheetWidth, kSheetHeight, 0, false);
  TestBitmap up(kSheetWidth, kSheetHeight, 0, true, 5);
  DrawSheet(&down);
  DrawSheet(&up);
  EXPECT_EQ(down.Image(), up.Image());
  // The stored rows of the bottom-up one are the image upside down.
  EXPECT_EQ(up.PixelData()[0], down.At(0, kSheetHeight - 1));
}

TEST(EveryOperation, BottomUpSourcesAndDestinationsGiveTheSameImage) {
  std::vector<uint32_t> reference;
  for (int layout = 0; layout < 8; ++layout) {
    TestBitmap a(64, 48, 0, layout & 1, 2), b(64, 48, 0, layout & 2, 0);
    TestBitmap dest(200, 160, 0, layout & 4, 1);
    PaintSource(&a, 1);
    PaintSource(&b, 2);
    DrawEveryOperation(&dest, &a, &b);
    if (layout == 0) {
      reference = dest.Image();
    } else {
      EXPECT_EQ(dest.Image(), reference) << "layout " << layout;
    }
  }
}

}  // namespace
