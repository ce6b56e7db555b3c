#include "graphics/platform/win32/GdiFont.h"

#include <algorithm>
#include <cstring>

HFONT CreateTextFont(const FontSpec& font) {
  LOGFONTA description{};
  description.lfHeight = font.size;
  description.lfWeight = font.style == 1 ? FW_BOLD : FW_DONTCARE;
  description.lfItalic = font.style == 2 ? TRUE : FALSE;
  if (font.orientation != 0) {
    description.lfEscapement = font.orientation * 10;
    description.lfOrientation = font.orientation * 10;
  }
  const size_t faceLength = strnlen(font.face, sizeof font.face);
  std::memcpy(description.lfFaceName, font.face, std::min(faceLength, sizeof description.lfFaceName - 1));
  return CreateFontIndirectA(&description);
}
