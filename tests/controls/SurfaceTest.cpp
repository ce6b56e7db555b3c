// The drawing surface: dirty merging in Paint and the primitives' rules.
#include <gtest/gtest.h>

#include <vector>

#include "controls/Control.h"
#include "raster/Bitmap.h"
#include "graphics/platform/headless/HeadlessGraphics.h"
#include "graphics/PngImages.h"

namespace {

// A control that fills its rect with a colour and counts its renders.
struct Patch : Control {
  ArgbColor color;
  int renders = 0;
  std::vector<PixelRect> clips;
  Patch(const PixelRect& rect, ArgbColor c) : Control(nullptr, rect, -1, 1, 1.0f), color(c) {}
  bool Render(Graphics& g) override {
    ++renders;
    clips.push_back(static_cast<BitmapGraphics&>(g).ClipRect());
    return g.FillArea(color, Rect(), Blend());
  }
};

struct Surface : ::testing::Test {
  HeadlessGraphics g{nullptr, 200, 100, 18};
  Patch* Add(const PixelRect& r, ArgbColor c = {255, 10, 20, 30}) {
    auto* p = new Patch(r, c);
    g.AddControl(p);
    return p;
  }
  void CleanAll() {
    for (int i = 0; i < g.ControlCount(); ++i) g.ControlAt(i)->MarkClean();
  }
  uint32_t Pixel(int x, int y) { return g.SurfacePixels()[y * 200 + x]; }
};

TEST_F(Surface, OverlappingDirtyAreasArePaintedOnce) {
  Patch* a = Add({0, 0, 50, 50});
  Patch* b = Add({40, 40, 90, 90});
  g.PrepareSurface();
  EXPECT_TRUE(g.Paint());
  EXPECT_EQ(a->renders, 1);
  EXPECT_EQ(b->renders, 1);
  EXPECT_EQ(a->clips[0], (PixelRect{0, 0, 90, 90}));
  EXPECT_FALSE(a->NeedsRedraw());
}

TEST_F(Surface, AControlAcrossTwoAreasIsDrawnTwice) {
  Patch* back = Add({0, 0, 200, 100});
  Patch* left = Add({10, 10, 20, 20});
  Patch* right = Add({150, 10, 160, 20});
  g.PrepareSurface();
  g.Paint();
  CleanAll();
  back->renders = left->renders = right->renders = 0;
  left->MarkDirty(false);
  right->MarkDirty(false);
  g.Paint();
  EXPECT_EQ(back->renders, 2);
  EXPECT_EQ(left->renders, 1);
  EXPECT_EQ(right->renders, 1);
}

TEST_F(Surface, AllZeroRectsAreNeverDrawn) {
  Patch* zero = Add({0, 0, 0, 0});
  Patch* other = Add({10, 10, 20, 20});
  g.PrepareSurface();
  g.Paint();
  EXPECT_EQ(zero->renders, 0);
  EXPECT_EQ(other->renders, 1);
  other->renders = 0;
  zero->MarkDirty(false);
  g.Paint();
  EXPECT_EQ(zero->renders, 0);
  EXPECT_EQ(other->renders, 0);
}

TEST_F(Surface, HiddenControlsAreSkipped) {
  Patch* hidden = Add({0, 0, 50, 50});
  hidden->SetHidden(true);
  g.PrepareSurface();
  g.Paint();
  EXPECT_EQ(hidden->renders, 0);
}

TEST_F(Surface, LinePrimitivesClampOntoTheSurface) {
  g.PrepareSurface();
  ArgbColor red{255, 255, 0, 0};
  g.FillArea({255, 0, 0, 0}, {0, 0, 200, 100}, {1, 1.0f});
  g.StrokeVLine(red, -5, -10, 10);
  for (int y = 0; y <= 10; ++y) EXPECT_EQ(Pixel(0, y), 0xFFFF0000u) << y;
  EXPECT_EQ(Pixel(0, 11), 0xFF000000u);
  g.StrokeVLine(red, 50, 30, 20);  // y2 < y1: nothing
  EXPECT_EQ(Pixel(50, 25), 0xFF000000u);
  g.StrokeHLine(red, 500, 190, 1000);  // onto the last row, to the last column
  EXPECT_EQ(Pixel(199, 99), 0xFFFF0000u);
  EXPECT_EQ(Pixel(189, 99), 0xFF000000u);
  // Stored pixels off the surface are skipped, not written past it.
  EXPECT_TRUE(g.StorePixel(red, 200, 0));
  EXPECT_TRUE(g.StorePixel(red, -1, 5));
  EXPECT_EQ(Pixel(0, 1), 0xFFFF0000u);
  EXPECT_TRUE(g.StorePixel(red, 3, 4));
  EXPECT_EQ(Pixel(3, 4), 0xFFFF0000u);
}

TEST_F(Surface, ReadPixelOutsideIsAllZero) {
  g.PrepareSurface();
  g.FillArea({255, 1, 2, 3}, {0, 0, 200, 100}, {1, 1.0f});
  EXPECT_EQ(g.ReadPixel(5, 5), (ArgbColor{255, 1, 2, 3}));
  EXPECT_EQ(g.ReadPixel(-1, 5), (ArgbColor{0, 0, 0, 0}));
  EXPECT_EQ(g.ReadPixel(200, 5), (ArgbColor{0, 0, 0, 0}));
}

TEST_F(Surface, ModeWords) {
  EXPECT_EQ(BitmapGraphics::ModeWord({1, 1.0f}), 0);
  EXPECT_EQ(BitmapGraphics::ModeWord({2, 1.0f}), 0x10001);
  EXPECT_EQ(BitmapGraphics::ModeWord({3, 1.0f}), 0x10002);
  EXPECT_EQ(BitmapGraphics::ModeWord({0, 1.0f}), 0x10000);
  EXPECT_EQ(BitmapGraphics::ModeWord({7, 1.0f}), 0x10000);
}

// Blits are limited to the area being painted.
struct Stamp : Control {
  ImageRef image;
  Stamp(const PixelRect& r, ImageRef i) : Control(nullptr, r, -1, 1, 1.0f), image(i) {}
  bool Render(Graphics& g) override {
    // Draw the image twice as wide as the control: only the painted area changes.
    PixelRect wide{Rect().left - 20, Rect().top, Rect().right + 20, Rect().bottom};
    return g.BlitImage(image, wide, 0, 0, Blend());
  }
};

TEST_F(Surface, ImagesComeFromTheModuleAndBlitsKeepToTheClip) {
  ImageRef background = g.FetchImage(kBackgroundImageId, 1);
  ImageRef button = g.FetchImage(kButtonImageId, 2);
  EXPECT_EQ(background.width, 640);
  EXPECT_EQ(background.height, 540);
  EXPECT_EQ(button.width, 27);
  EXPECT_EQ(button.height, 54);
  auto* stamp = new Stamp({50, 10, 70, 30}, background);
  g.AddControl(stamp);
  g.PrepareSurface();
  g.FillArea({255, 1, 1, 1}, {0, 0, 200, 100}, {1, 1.0f});
  g.Paint();
  Bitmap* source = g.FindBitmap(kBackgroundImageId);
  ASSERT_NE(source, nullptr);
  // Inside: the source pixel at the matching offset of the wide rectangle.
  EXPECT_EQ(Pixel(50, 10), source->PixelData()[0 * 640 + 20]);
  EXPECT_EQ(Pixel(69, 29), source->PixelData()[19 * 640 + 39]);
  // Outside the painted area nothing was drawn.
  EXPECT_EQ(Pixel(49, 10), 0xFF010101u);
  EXPECT_EQ(Pixel(70, 10), 0xFF010101u);
  // A missing image draws nothing and still succeeds; the overlay reports it.
  ImageRef missing{9999, 10, 10, 1};
  EXPECT_TRUE(g.BlitImage(missing, {0, 0, 10, 10}, 0, 0, {}));
  EXPECT_FALSE(g.DrawRotatedOverlay(button, missing, button, 0, 0, 45.0, {}));
  EXPECT_TRUE(g.DrawRotatedOverlay(button, button, button, 0, 0, 45.0, {}));
}

TEST(SurfaceRebuilt, TextGoesToTheNewSurface) {
  HeadlessGraphics g(nullptr, 60, 20, 18);
  FontSpec font;
  font.color = ArgbColor{255, 255, 255, 255};
  auto inked = [&] {
    int count = 0;
    for (int i = 0; i < 60 * 20; ++i) count += (g.SurfacePixels()[i] & 0xFFFFFFu) != 0;
    return count;
  };
  g.PrepareSurface();
  ASSERT_TRUE(g.PrintText(font, "Wave", {0, 0, 60, 20}));
  const int first = inked();
  ASSERT_GT(first, 0);
  g.PrepareSurface();  // the old storage is gone, and the text renderer with it
  ASSERT_EQ(inked(), 0);
  ASSERT_TRUE(g.PrintText(font, "Wave", {0, 0, 60, 20}));
  EXPECT_EQ(inked(), first);
}

TEST(SurfaceBeforePrepare, PrimitivesDrawNothing) {
  HeadlessGraphics g(nullptr, 10, 10, 18);
  EXPECT_EQ(g.SurfacePixels(), nullptr);
  EXPECT_TRUE(g.FillArea({}, {0, 0, 10, 10}, {}));
  EXPECT_TRUE(g.StrokeLine({}, 0, 0, 9, 9, {}, true));
  EXPECT_TRUE(g.PrintText(FontSpec{}, nullptr, {0, 0, 10, 10}));
  EXPECT_EQ(g.ReadPixel(1, 1), (ArgbColor{0, 0, 0, 0}));
}

}  // namespace
