// Screenshots of the editor: the pixels a window shows of a surface.
//
// A window shows every pixel opaque, whatever alpha the surface holds (a
// control may copy a colour with a low alpha, and views are cleared to alpha
// 0), so every picture written of the editor -- goldens, tools, the host's
// screenshots -- goes through here and has alpha 255 throughout.
#pragma once

#include <cstdint>
#include <vector>

class Bitmap;

// Top-down rows of `bitmap` (through its stride and flip), alpha forced to 255;
// empty when the bitmap holds no pixels.
std::vector<uint32_t> ScreenshotPixels(Bitmap& bitmap);
