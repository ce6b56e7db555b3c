// Text with GDI, drawn by DrawText into the surface's DIB section through its
// memory device context. The font made for the first text stays selected into
// that context for the life of the renderer.
//
// GDI writes 0 into the alpha byte of the pixels it draws on a 32-bit section.
// Text here keeps the destination's alpha (as the FreeType renderer does), so
// the alpha bytes of the rows the text can reach are saved before drawing and
// put back afterwards; the colour bytes are GDI's.
// Our headers come first: windows.h maps DrawText to DrawTextA/W, and the
// renderer's own operation keeps its name.
#include "graphics/SectionBitmap.h"
#include "graphics/TextRenderer.h"

#include <windows.h>
#undef DrawText

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include "graphics/platform/win32/GdiFont.h"
#include "graphics/platform/win32/SectionBitmapDc.h"

namespace {

class GdiTextRenderer final : public TextRenderer {
 public:
  explicit GdiTextRenderer(SectionBitmap& surface) : surface_(surface) {}
  ~GdiTextRenderer() override {
    if (!font_) return;
    if (HDC dc = SectionBitmapDc(surface_)) SelectObject(dc, displaced_);
    DeleteObject(font_);
  }
  GdiTextRenderer(const GdiTextRenderer&) = delete;
  GdiTextRenderer& operator=(const GdiTextRenderer&) = delete;

  bool DrawText(const FontSpec& font, const char* text, const PixelRect& rect) override;

 private:
  void MakeFont(HDC dc, const FontSpec& font);

  SectionBitmap& surface_;
  bool fontFixed_ = false;
  HFONT font_ = nullptr;
  HGDIOBJ displaced_ = nullptr;
  int orientation_ = 0;
  int64_t slack_ = 16;  // rows of overhang allowed above and below the laid-out text
  std::vector<uint8_t> savedAlpha_;
};

void GdiTextRenderer::MakeFont(HDC dc, const FontSpec& font) {
  font_ = CreateTextFont(font);
  if (font_) displaced_ = SelectObject(dc, font_);
  orientation_ = font.orientation;
  slack_ = std::max<int64_t>(std::abs(static_cast<int64_t>(font.size)), 16);
}

bool GdiTextRenderer::DrawText(const FontSpec& font, const char* text, const PixelRect& rect) {
  HDC dc = SectionBitmapDc(surface_);
  if (!dc || !text) return false;
  if (!fontFixed_) {
    fontFixed_ = true;
    MakeFont(dc, font);
  }
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(font.color.red & 255, font.color.green & 255, font.color.blue & 255));
  const UINT format = (font.alignment == 1 ? DT_CENTER : font.alignment == 2 ? DT_RIGHT : DT_LEFT) | DT_NOCLIP;
  RECT area{rect.left, rect.top, rect.right, rect.bottom};

  // The rows the text can reach: its laid-out height and a cell of slack for
  // overhangs; turned text can reach anywhere.
  uint32_t* pixels = surface_.PixelData();
  const int width = surface_.Width();
  int firstRow = 0;
  int endRow = pixels ? surface_.Height() : 0;
  if (pixels && orientation_ == 0) {
    RECT measured = area;
    const int64_t textHeight = ::DrawTextA(dc, text, -1, &measured, format | DT_CALCRECT);
    const int64_t slack = slack_;
    firstRow = static_cast<int>(std::clamp<int64_t>(static_cast<int64_t>(rect.top) - slack, 0, endRow));
    endRow = static_cast<int>(std::clamp<int64_t>(static_cast<int64_t>(rect.top) + textHeight + slack, 0, endRow));
  }
  const size_t count = static_cast<size_t>(endRow - firstRow) * static_cast<size_t>(width);
  bool keepAlpha = false;
  if (count > 0) {
    try {
      savedAlpha_.resize(count);
      keepAlpha = true;
    } catch (...) {
      keepAlpha = false;  // draw anyway; only the alpha bytes suffer
    }
  }
  if (keepAlpha) {
    GdiFlush();
    const uint32_t* from = pixels + static_cast<size_t>(firstRow) * static_cast<size_t>(width);
    for (size_t i = 0; i < count; ++i) savedAlpha_[i] = static_cast<uint8_t>(from[i] >> 24);
  }

  const int drawnHeight = ::DrawTextA(dc, text, -1, &area, format);

  if (keepAlpha) {
    GdiFlush();
    uint32_t* to = pixels + static_cast<size_t>(firstRow) * static_cast<size_t>(width);
    for (size_t i = 0; i < count; ++i) to[i] = (to[i] & 0x00FFFFFFu) | (static_cast<uint32_t>(savedAlpha_[i]) << 24);
  }
  return drawnHeight != 0;
}

}  // namespace

TextRenderer* TextRenderer::Create(SectionBitmap& surface) { return new (std::nothrow) GdiTextRenderer(surface); }
