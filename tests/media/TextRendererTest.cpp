// The FreeType text renderer: layout measured from the rendered pixels.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <memory>
#include <vector>

#include "raster/Blit.h"
#include "graphics/SectionBitmap.h"
#include "graphics/TextRenderer.h"
#include "graphics/platform/freetype/TextLines.h"

namespace {

constexpr uint32_t kGround = 0xFF202020u;

struct Ink {
  int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;  // inclusive
  int count = 0;
};

FontSpec Arial(int alignment = 0, ArgbColor colour = {255, 255, 255, 255}, int style = 0, int size = 13) {
  FontSpec font;
  font.alignment = alignment;
  font.color = colour;
  font.style = style;
  font.size = size;
  return font;
}

class TextRendererTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Clear();
    renderer.reset(TextRenderer::Create(surface));
    ASSERT_NE(renderer, nullptr);
  }
  void Clear(uint32_t colour = kGround) {
    for (int i = 0; i < surface.Width() * surface.Height(); ++i) surface.PixelData()[i] = colour;
  }
  Ink InkOf(uint32_t ground = kGround) {
    Ink ink;
    for (int y = 0; y < surface.Height(); ++y) {
      for (int x = 0; x < surface.Width(); ++x) {
        if (surface.PixelData()[y * surface.Width() + x] == ground) continue;
        ink.left = std::min(ink.left, x), ink.right = std::max(ink.right, x);
        ink.top = std::min(ink.top, y), ink.bottom = std::max(ink.bottom, y);
        ++ink.count;
      }
    }
    return ink;
  }
  std::vector<uint32_t> Pixels() {
    return std::vector<uint32_t>(surface.PixelData(), surface.PixelData() + surface.Width() * surface.Height());
  }

  SectionBitmap surface{200, 100};
  std::unique_ptr<TextRenderer> renderer;
};

TEST_F(TextRendererTest, AlignsLeftCentredAndRightWithinTheRectangle) {
  const PixelRect rect{20, 10, 180, 30};
  ASSERT_TRUE(renderer->DrawText(Arial(0), "Kelvane", rect));
  const Ink left = InkOf();
  ASSERT_GT(left.count, 0);
  EXPECT_GE(left.left, 20);
  EXPECT_LE(left.left, 22);  // the K's left side bearing

  Clear();
  ASSERT_TRUE(renderer->DrawText(Arial(2), "Kelvane", rect));
  const Ink right = InkOf();
  EXPECT_LE(right.right, 179);
  EXPECT_GE(right.right, 177);
  EXPECT_EQ(right.right - right.left, left.right - left.left);
  EXPECT_EQ(right.top, left.top);

  Clear();
  ASSERT_TRUE(renderer->DrawText(Arial(1), "Kelvane", rect));
  const Ink centred = InkOf();
  EXPECT_EQ(centred.right - centred.left, left.right - left.left);
  EXPECT_NEAR((centred.left + centred.right) / 2.0, 99.5, 1.5);

  // An alignment other than 1 and 2 is left.
  Clear();
  ASSERT_TRUE(renderer->DrawText(Arial(7), "Kelvane", rect));
  EXPECT_EQ(InkOf().left, left.left);
}

TEST_F(TextRendererTest, CellHeightIsTheFontSizeAndLinesAreOneCellApart) {
  ASSERT_TRUE(renderer->DrawText(Arial(), "H", {10, 20, 100, 40}));
  const Ink one = InkOf();
  // Arial's cell at 13 pixels: ascent 11, so the baseline row is 31 and the H ends just above it.
  EXPECT_EQ(one.bottom, 30);
  EXPECT_GE(one.top, 21);

  Clear();
  ASSERT_TRUE(renderer->DrawText(Arial(), "H\nH\n\nH", {10, 20, 100, 40}));
  std::vector<int> rowsWithInk;
  for (int y = 0; y < surface.Height(); ++y) {
    for (int x = 0; x < surface.Width(); ++x) {
      if (surface.PixelData()[y * surface.Width() + x] != kGround) {
        rowsWithInk.push_back(y);
        break;
      }
    }
  }
  const int height = one.bottom - one.top + 1;
  ASSERT_EQ(rowsWithInk.size(), static_cast<size_t>(3 * height));
  EXPECT_EQ(rowsWithInk[height], one.top + 13);
  EXPECT_EQ(rowsWithInk[2 * height], one.top + 39);  // the empty third line still takes its cell

  // "\r\n" and a lone "\r" break lines exactly as "\n" does.
  const std::vector<uint32_t> withNewlines = Pixels();
  Clear();
  ASSERT_TRUE(renderer->DrawText(Arial(), "H\r\nH\r\rH", {10, 20, 100, 40}));
  EXPECT_EQ(Pixels(), withNewlines);
}

TEST_F(TextRendererTest, TheFirstFontStaysForLaterTexts) {
  ASSERT_TRUE(renderer->DrawText(Arial(), "Ab", {0, 0, 100, 20}));
  ASSERT_TRUE(renderer->DrawText(Arial(0, {255, 255, 255, 255}, 1, 24), "Ab", {0, 40, 100, 80}));
  const std::vector<uint32_t> firstFontKept = Pixels();

  Clear();
  std::unique_ptr<TextRenderer> plain(TextRenderer::Create(surface));
  ASSERT_TRUE(plain->DrawText(Arial(), "Ab", {0, 0, 100, 20}));
  ASSERT_TRUE(plain->DrawText(Arial(), "Ab", {0, 40, 100, 80}));
  EXPECT_EQ(firstFontKept, Pixels());

  // A renderer that starts bold and larger draws differently, so the comparison above can fail.
  Clear();
  std::unique_ptr<TextRenderer> bold(TextRenderer::Create(surface));
  ASSERT_TRUE(bold->DrawText(Arial(0, {255, 255, 255, 255}, 1, 24), "Ab", {0, 0, 100, 20}));
  const Ink boldInk = InkOf();
  Clear();
  ASSERT_TRUE(plain->DrawText(Arial(), "Ab", {0, 0, 100, 20}));
  const Ink plainInk = InkOf();
  EXPECT_GT(boldInk.bottom - boldInk.top, plainInk.bottom - plainInk.top);
  EXPECT_GT(boldInk.count, plainInk.count);
}

TEST_F(TextRendererTest, ColourComesFromEveryCallAndAlphaStays) {
  Clear(0x80202020u);
  ASSERT_TRUE(renderer->DrawText(Arial(0, {255, 255, 0, 0}), "Mm", {0, 0, 100, 20}));
  ASSERT_TRUE(renderer->DrawText(Arial(0, {0, 0, 255, 0}), "Mm", {0, 50, 100, 70}));
  int strongestRed = 0;
  int strongestGreen = 0;
  int changed = 0;
  for (int y = 0; y < surface.Height(); ++y) {
    for (int x = 0; x < surface.Width(); ++x) {
      const uint32_t pixel = surface.PixelData()[y * surface.Width() + x];
      EXPECT_EQ(pixel >> 24, 0x80u);  // the text's alpha 0 is not used; the destination's alpha stays
      if (pixel == 0x80202020u) continue;
      ++changed;
      const int r = (pixel >> 16) & 255, g = (pixel >> 8) & 255, b = pixel & 255;
      if (y < 40) {
        EXPECT_EQ(g, b);
        EXPECT_GT(r, g);
        strongestRed = std::max(strongestRed, r);
      } else {
        EXPECT_EQ(r, b);
        EXPECT_GT(g, r);
        strongestGreen = std::max(strongestGreen, g);
      }
    }
  }
  EXPECT_GT(changed, 40);
  EXPECT_GE(strongestRed, 230);
  EXPECT_GE(strongestGreen, 230);
}

TEST_F(TextRendererTest, WritesNothingOutsideTheSurface) {
  // Partly off the top-left corner: the visible part is drawn.
  ASSERT_TRUE(renderer->DrawText(Arial(), "WWWW\nWWWW", {-9, -7, 50, 20}));
  const Ink corner = InkOf();
  EXPECT_EQ(corner.left, 0);
  EXPECT_EQ(corner.top, 0);

  // Far outside, with extreme rectangles: laid out, nothing visible, no stray writes (ASan watches).
  Clear();
  const char* longText = "Kelvane Kelvane Kelvane Kelvane Kelvane Kelvane\nKelvane";
  EXPECT_TRUE(renderer->DrawText(Arial(0), longText, {INT_MAX - 5, INT_MAX - 5, INT_MAX, INT_MAX}));
  EXPECT_TRUE(renderer->DrawText(Arial(2), longText, {INT_MIN, INT_MIN, INT_MIN + 3, INT_MIN + 3}));
  EXPECT_TRUE(renderer->DrawText(Arial(1), longText, {INT_MIN, 30, INT_MAX, 40}));
  EXPECT_TRUE(renderer->DrawText(Arial(0), longText, {-1000, 95, 0, 100}));
  EXPECT_TRUE(renderer->DrawText(Arial(2), longText, {0, 0, 1000, 10}));
  EXPECT_GT(InkOf().count, 0);  // the last two reach the surface's bottom and top rows
}

TEST_F(TextRendererTest, ATurnedFirstFontRunsItsLinesAlongTheTurnedBaseline) {
  FontSpec turned = Arial();
  turned.orientation = 90;  // counter-clockwise, as GDI's escapement: the text reads upwards
  ASSERT_TRUE(renderer->DrawText(turned, "Kelvane", {60, 80, 160, 95}));
  const Ink ink = InkOf();
  ASSERT_GT(ink.count, 0);
  EXPECT_GT(ink.bottom - ink.top, 30);  // about as long as the upright word is wide
  EXPECT_LT(ink.right - ink.left, 13);
  EXPECT_LE(ink.bottom, 80);            // it starts at the cell's corner and climbs
  EXPECT_GE(ink.left, 60);
}

TEST_F(TextRendererTest, EmptyTextCountsAsOneEmptyLineAsInGdi) {
  EXPECT_TRUE(renderer->DrawText(Arial(), "", {0, 0, 100, 20}));
  EXPECT_TRUE(renderer->DrawText(Arial(), "\n", {0, 0, 100, 20}));
  EXPECT_TRUE(renderer->DrawText(Arial(), " ", {0, 0, 100, 20}));
  EXPECT_FALSE(renderer->DrawText(Arial(), nullptr, {0, 0, 100, 20}));
  EXPECT_EQ(InkOf().count, 0);
}

TEST(TextLinesTest, SplitsAtEveryKindOfBreakAndDecodesUtf8WithLatin1Fallback) {
  using Lines = std::vector<std::vector<uint32_t>>;
  EXPECT_EQ(SplitTextLines(""), Lines{});
  EXPECT_EQ(SplitTextLines(nullptr), Lines{});
  EXPECT_EQ(SplitTextLines("a\r\nb\rc\nd\n"), (Lines{{'a'}, {'b'}, {'c'}, {'d'}}));
  EXPECT_EQ(SplitTextLines("\n\nx"), (Lines{{}, {}, {'x'}}));
  EXPECT_EQ(SplitTextLines("\xC3\xA9t\xE2\x82\xAC"), (Lines{{0xE9, 't', 0x20AC}}));
  // A stray continuation byte, a cut sequence and an overlong form each read as Latin-1.
  EXPECT_EQ(SplitTextLines("\x80z\xE2\x82"), (Lines{{0x80, 'z', 0xE2, 0x82}}));
  EXPECT_EQ(SplitTextLines("\xC0\xAF"), (Lines{{0xC0, 0xAF}}));
}

}  // namespace
