// TextRenderer: draws text into the editor surface. The first text drawn fixes
// the font (face, size, style, orientation) for the life of the surface; colour
// and alignment are taken from every call. Windows draws with GDI into the
// surface's DIB section; other platforms render with FreeType, the face found
// through fontconfig ("Arial" resolves to a metric-compatible face).
#pragma once

#include "core/PixelRect.h"

class SectionBitmap;

class TextRenderer {
 public:
  virtual ~TextRenderer() = default;
  // Draws text (one line per line break) into rect: left, centred or
  // right-aligned by font.alignment, from the rect's top, cell height =
  // font.size, no clipping to rect (pixels outside the surface are never
  // written). Returns true when the laid-out height is not 0, which, as with
  // GDI's DrawText, holds for every text including "" (one empty line); false
  // for a null text or when no font could be made.
  virtual bool DrawText(const FontSpec& font, const char* text, const PixelRect& rect) = 0;

  // The platform's renderer for `surface`, or null when none can be made.
  static TextRenderer* Create(SectionBitmap& surface);
};
