// The GDI font of a text record: the surface's text and the editor's text
// prompt make their fonts the same way.
#pragma once

#include <windows.h>

#include "core/PixelRect.h"

// GUI thread. A new font (owned by the caller) of `font`'s face, cell height
// `font.size`, bold for style 1, italic for style 2, turned by its orientation
// in degrees; null when GDI cannot make one.
HFONT CreateTextFont(const FontSpec& font);
