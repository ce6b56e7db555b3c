// Text without GDI: fontconfig finds the face, FreeType renders its glyphs, and
// their coverage is blended straight into the surface's pixels.
//
// The layout follows what GDI's DrawText does with a positive font height, so
// that the editor's layout holds on every platform: the character cell (ascent
// + descent of the face's Windows metrics) is font.size pixels, lines are one
// cell apart from the rectangle's top, advances are whole pixels and no kerning
// is applied. The em is the exact fraction that makes that cell (about 11.6
// pixels for Arial at 13), hinted lightly: the editor's texts were laid out for
// widths of that size. An empty text counts as one empty line, as in GDI.
// Text keeps the destination's alpha byte: only red, green and blue take the
// text colour, in proportion to the glyph's coverage. The font, once made, is
// fixed, so every glyph is rendered once and kept.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "graphics/SectionBitmap.h"
#include "graphics/TextRenderer.h"
#include "graphics/platform/freetype/TextLines.h"

namespace {

// GDI's height for a font asked for with height 0.
constexpr int kDefaultCellHeight = 16;
constexpr int kLargestCellHeight = 2048;

struct Glyph {
  int left = 0;  // from the pen to the first coverage column
  int top = 0;   // from the baseline up to the first coverage row
  int width = 0;
  int rows = 0;
  int64_t advanceX = 0;  // 26.6
  int64_t advanceY = 0;  // 26.6, down the screen
  std::vector<uint8_t> coverage;
};

struct FaceFile {
  std::string path;
  int index = 0;
  bool embolden = false;  // the matched face lacks the bold weight asked for
  bool slant = false;     // the matched face lacks the italic asked for
};

bool FindFace(const FontSpec& font, FaceFile& out) {
  if (!FcInit()) return false;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return false;
  const std::string family(font.face, strnlen(font.face, sizeof font.face));
  if (!family.empty()) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  const bool bold = font.style == 1;
  const bool italic = font.style == 2;
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) return false;

  bool found = false;
  FcChar8* file = nullptr;
  if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
    out.path = reinterpret_cast<const char*>(file);
    if (FcPatternGetInteger(match, FC_INDEX, 0, &out.index) != FcResultMatch) out.index = 0;
    int weight = FC_WEIGHT_REGULAR;
    int slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(match, FC_SLANT, 0, &slant);
    out.embolden = bold && weight < FC_WEIGHT_DEMIBOLD;
    out.slant = italic && slant == FC_SLANT_ROMAN;
    found = true;
  }
  FcPatternDestroy(match);
  return found;
}

class FreeTypeTextRenderer final : public TextRenderer {
 public:
  explicit FreeTypeTextRenderer(SectionBitmap& surface) : surface_(surface) {}
  ~FreeTypeTextRenderer() override {
    if (face_) FT_Done_Face(face_);
    if (library_) FT_Done_FreeType(library_);
  }
  FreeTypeTextRenderer(const FreeTypeTextRenderer&) = delete;
  FreeTypeTextRenderer& operator=(const FreeTypeTextRenderer&) = delete;

  bool DrawText(const FontSpec& font, const char* text, const PixelRect& rect) override;

 private:
  bool MakeFont(const FontSpec& font);
  bool DrawLines(const FontSpec& font, const std::vector<std::vector<uint32_t>>& lines, const PixelRect& rect);
  const Glyph* GlyphFor(uint32_t codePoint);
  int64_t LineWidth(const std::vector<uint32_t>& line);
  void DrawLine(const std::vector<uint32_t>& line, int64_t x, int64_t y, uint32_t colour);
  void BlendGlyph(const Glyph& glyph, int64_t x, int64_t y, uint32_t colour);

  SectionBitmap& surface_;
  bool fontFixed_ = false;
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
  FaceFile file_;
  int cellHeight_ = 0;
  int ascent_ = 0;
  double angle_ = 0.0;  // radians, counter-clockwise as GDI's escapement
  std::unordered_map<uint32_t, Glyph> glyphs_;
};

bool FreeTypeTextRenderer::MakeFont(const FontSpec& font) {
  if (!FindFace(font, file_)) return false;
  if (FT_Init_FreeType(&library_) != 0) {
    library_ = nullptr;
    return false;
  }
  if (FT_New_Face(library_, file_.path.c_str(), file_.index, &face_) != 0) {
    face_ = nullptr;
    return false;
  }
  FT_Select_Charmap(face_, FT_ENCODING_UNICODE);

  int cell = font.size;
  bool cellGiven = true;
  if (cell == 0) cell = kDefaultCellHeight;
  if (cell < 0) {
    cell = cell < -kLargestCellHeight ? kLargestCellHeight : -cell;
    cellGiven = false;  // a negative height names the em, as in GDI
  }
  cell = std::min(cell, kLargestCellHeight);

  double ascent = 0.0;
  double descent = 0.0;
  if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
      os2 && os2->version != 0xFFFFu && os2->usWinAscent + os2->usWinDescent > 0) {
    ascent = os2->usWinAscent;
    descent = os2->usWinDescent;
  } else {
    ascent = face_->ascender;
    descent = -face_->descender;
  }
  if (FT_IS_SCALABLE(face_) && ascent + descent > 0 && face_->units_per_EM > 0) {
    const double em = cellGiven ? cell * face_->units_per_EM / (ascent + descent) : cell;
    const double cellPixels = cellGiven ? cell : cell * (ascent + descent) / face_->units_per_EM;
    if (FT_Set_Char_Size(face_, 0, static_cast<FT_F26Dot6>(std::lround(em * 64.0)), 72, 72) != 0) return false;
    cellHeight_ = std::max(1, static_cast<int>(std::lround(cellPixels)));
    ascent_ = static_cast<int>(std::lround(cellPixels * ascent / (ascent + descent)));
  } else {
    if (face_->num_fixed_sizes <= 0 || FT_Select_Size(face_, 0) != 0) return false;
    cellHeight_ = std::max(1, static_cast<int>(face_->size->metrics.height >> 6));
    ascent_ = static_cast<int>(face_->size->metrics.ascender >> 6);
  }

  if (font.orientation % 360 != 0) {
    angle_ = (font.orientation % 360) * 3.14159265358979323846 / 180.0;
    FT_Matrix turn;
    turn.xx = static_cast<FT_Fixed>(std::lround(std::cos(angle_) * 65536.0));
    turn.xy = static_cast<FT_Fixed>(std::lround(-std::sin(angle_) * 65536.0));
    turn.yx = static_cast<FT_Fixed>(std::lround(std::sin(angle_) * 65536.0));
    turn.yy = turn.xx;
    FT_Set_Transform(face_, &turn, nullptr);
  }
  return true;
}

const Glyph* FreeTypeTextRenderer::GlyphFor(uint32_t codePoint) {
  if (auto found = glyphs_.find(codePoint); found != glyphs_.end()) return &found->second;
  Glyph glyph;
  const FT_UInt index = FT_Get_Char_Index(face_, codePoint);
  if (FT_Load_Glyph(face_, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_LIGHT) != 0) return nullptr;
  FT_GlyphSlot slot = face_->glyph;
  if (file_.slant && slot->format == FT_GLYPH_FORMAT_OUTLINE) FT_GlyphSlot_Oblique(slot);
  if (file_.embolden) FT_GlyphSlot_Embolden(slot);
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return nullptr;

  const FT_Bitmap& bitmap = slot->bitmap;
  glyph.left = slot->bitmap_left;
  glyph.top = slot->bitmap_top;
  glyph.width = static_cast<int>(bitmap.width);
  glyph.rows = static_cast<int>(bitmap.rows);
  // Whole-pixel advances, as GDI lays text out; a turned font moves along its baseline.
  glyph.advanceX = angle_ == 0.0 ? (slot->advance.x + 32) & ~int64_t{63} : slot->advance.x;
  glyph.advanceY = -slot->advance.y;
  glyph.coverage.assign(static_cast<size_t>(glyph.width) * static_cast<size_t>(glyph.rows), 0);
  for (int row = 0; row < glyph.rows; ++row) {
    const unsigned char* source = bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
    uint8_t* target = glyph.coverage.data() + static_cast<size_t>(row) * static_cast<size_t>(glyph.width);
    for (int column = 0; column < glyph.width; ++column) {
      if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
        const int levels = std::max(1, static_cast<int>(bitmap.num_grays) - 1);
        target[column] = static_cast<uint8_t>(source[column] * 255 / levels);
      } else if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
        target[column] = (source[column >> 3] & (0x80 >> (column & 7))) ? 255 : 0;
      }
    }
  }
  return &glyphs_.emplace(codePoint, std::move(glyph)).first->second;
}

int64_t FreeTypeTextRenderer::LineWidth(const std::vector<uint32_t>& line) {
  int64_t width = 0;
  for (uint32_t codePoint : line) {
    if (const Glyph* glyph = GlyphFor(codePoint)) width += glyph->advanceX;
  }
  return width / 64;
}

void FreeTypeTextRenderer::BlendGlyph(const Glyph& glyph, int64_t x, int64_t y, uint32_t colour) {
  const int64_t width = surface_.Width();
  const int64_t height = surface_.Height();
  const int64_t left = x + glyph.left;
  const int64_t top = y - glyph.top;
  const int64_t firstRow = std::max<int64_t>(0, -top);
  const int64_t lastRow = std::min<int64_t>(glyph.rows, height - top);
  const int64_t firstColumn = std::max<int64_t>(0, -left);
  const int64_t lastColumn = std::min<int64_t>(glyph.width, width - left);
  if (firstRow >= lastRow || firstColumn >= lastColumn) return;

  uint32_t* pixels = surface_.PixelData();
  const int64_t stride = surface_.RowStride();
  const uint32_t red = (colour >> 16) & 255;
  const uint32_t green = (colour >> 8) & 255;
  const uint32_t blue = colour & 255;
  for (int64_t row = firstRow; row < lastRow; ++row) {
    const uint8_t* coverage = glyph.coverage.data() + row * glyph.width;
    uint32_t* target = pixels + (top + row) * stride + left;
    for (int64_t column = firstColumn; column < lastColumn; ++column) {
      const uint32_t c = coverage[column];
      if (c == 0) continue;
      const uint32_t pixel = target[column];
      const uint32_t keep = 255 - c;
      const uint32_t r = (red * c + ((pixel >> 16) & 255) * keep + 127) / 255;
      const uint32_t g = (green * c + ((pixel >> 8) & 255) * keep + 127) / 255;
      const uint32_t b = (blue * c + (pixel & 255) * keep + 127) / 255;
      target[column] = (pixel & 0xFF000000u) | (r << 16) | (g << 8) | b;
    }
  }
}

void FreeTypeTextRenderer::DrawLine(const std::vector<uint32_t>& line, int64_t x, int64_t y, uint32_t colour) {
  // The pen starts on the baseline, ascent below the cell's top, turned with the text.
  int64_t penX = x * 64 + static_cast<int64_t>(std::lround(std::sin(angle_) * ascent_ * 64.0));
  int64_t penY = y * 64 + static_cast<int64_t>(std::lround(std::cos(angle_) * ascent_ * 64.0));
  const int64_t rightEdge = static_cast<int64_t>(surface_.Width()) * 64;
  for (uint32_t codePoint : line) {
    // Upright text leaving the surface on the right can show nothing more.
    if (angle_ == 0.0 && penX >= rightEdge) break;
    const Glyph* glyph = GlyphFor(codePoint);
    if (!glyph) continue;
    BlendGlyph(*glyph, penX >> 6, penY >> 6, colour);
    penX += glyph->advanceX;
    penY += glyph->advanceY;
  }
}

bool FreeTypeTextRenderer::DrawText(const FontSpec& font, const char* text, const PixelRect& rect) {
  if (!fontFixed_) {
    fontFixed_ = true;
    if (!MakeFont(font)) {
      if (face_) FT_Done_Face(face_);
      face_ = nullptr;
    }
  }
  if (!face_ || !text) return false;
  try {
    return DrawLines(font, SplitTextLines(text), rect);
  } catch (...) {
    return false;  // out of memory for lines or glyphs
  }
}

bool FreeTypeTextRenderer::DrawLines(const FontSpec& font, const std::vector<std::vector<uint32_t>>& lines,
                                     const PixelRect& rect) {
  // GDI's DrawText answers an empty text with the height of one line, so it reports success too.
  if (lines.empty() || !surface_.PixelData()) return true;

  const uint32_t colour = font.color.Word();
  const int64_t height = surface_.Height();
  int64_t top = rect.top;
  for (const std::vector<uint32_t>& line : lines) {
    // Lines wholly above or below the surface are skipped unless turned text may reach it.
    const bool visible = angle_ != 0.0 || (top + 2 * cellHeight_ > 0 && top - cellHeight_ < height);
    if (visible && !line.empty()) {
      int64_t x = rect.left;
      if (font.alignment == 1 || font.alignment == 2) {
        const int64_t width = LineWidth(line);
        // GDI centres with integer halves of (left + right - width).
        x = font.alignment == 1 ? (static_cast<int64_t>(rect.left) + rect.right - width) / 2 : rect.right - width;
      }
      DrawLine(line, x, top, colour);
    }
    top += cellHeight_;
  }
  return true;
}

}  // namespace

TextRenderer* TextRenderer::Create(SectionBitmap& surface) { return new (std::nothrow) FreeTypeTextRenderer(surface); }
