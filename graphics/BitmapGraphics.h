// BitmapGraphics: the editor's retained off-screen surface. Controls draw into
// it through the primitives below; Paint redraws only the dirty controls,
// merging overlapping areas first, and hands the invalid area to the window
// layer derived from it (headless, Win32 or X11), which copies it out.
#pragma once

#include "core/HeapBuffer.h"
#include "graphics/Graphics.h"

class HeapBitmap;
class SectionBitmap;
class TextRenderer;

class BitmapGraphics : public Graphics {
 public:
  struct DirtySlot {
    PixelRect rect;
    bool dirty = false;
  };

  BitmapGraphics(PlugBase* plug, int width, int height, int framesPerSecond);
  ~BitmapGraphics() override;

  void PrepareSurface() override;
  bool Paint() override;
  bool BlitImage(const ImageRef& image, const PixelRect& dest, int sourceX, int sourceY,
                 const BlendSpec& blend) override;
  bool BlitRotated(const ImageRef& image, int centreX, int centreY, double angle, int centreOffsetY,
                   const BlendSpec& blend) override;
  bool DrawRotatedOverlay(const ImageRef& base, const ImageRef& mask, const ImageRef& top, int x, int y,
                          double angleDegrees, const BlendSpec& blend) override;
  bool PlotPoint(const ArgbColor& color, float x, float y, const BlendSpec& blend, bool antiAliased) override;
  bool StorePixel(const ArgbColor& color, int x, int y) override;
  bool StrokeLine(const ArgbColor& color, float x1, float y1, float x2, float y2, const BlendSpec& blend,
                  bool antiAliased) override;
  bool StrokeArc(const ArgbColor& color, float centreX, float centreY, float radius, float startAngle,
                 float endAngle, const BlendSpec& blend, bool antiAliased) override;
  bool StrokeCircle(const ArgbColor& color, float centreX, float centreY, float radius, const BlendSpec& blend,
                    bool antiAliased) override;
  bool FillArea(const ArgbColor& color, const PixelRect& rect, const BlendSpec& blend) override;
  bool PrintText(const FontSpec& font, const char* text, const PixelRect& rect) override;
  ArgbColor ReadPixel(int x, int y) override;
  bool StrokeVLine(const ArgbColor& color, int x, int y1, int y2) override;
  bool StrokeHLine(const ArgbColor& color, int y, int x1, int x2) override;
  Bitmap* LoadPngResource(int id, int frames, int* width, int* height) override;

  // The surface's pixels, rows Width() apart; null before PrepareSurface.
  uint32_t* SurfacePixels() override;
  SectionBitmap* Surface() const { return surface_; }
  const PixelRect& ClipRect() const { return clipRect_; }

  // The library's mode word for a blend kind.
  static int ModeWord(const BlendSpec& blend);

 protected:
  // GUI thread, inside Paint: the window layer names the area of its window
  // that needs the surface, copies that area of Surface() out, and finishes.
  // Without a window the whole surface counts and the copy succeeds.
  virtual PixelRect BeginWindowPaint() { return PixelRect{0, 0, Width(), Height()}; }
  virtual bool CopyToWindow(const PixelRect&) { return true; }
  virtual void EndWindowPaint() {}

 private:
  // One slot per control (new ones zeroed); returns how many controls have a slot.
  int SizeDirtySlots();

  SectionBitmap* surface_ = nullptr;
  HeapBitmap* scratch_ = nullptr;
  PixelRect clipRect_{};
  HeapBuffer dirtySlots_{64};
  TextRenderer* text_ = nullptr;
  bool textUnavailable_ = false;
};
