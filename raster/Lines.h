// Clipped plain and anti-aliased (Wu) lines, and anti-aliased or plain arcs and
// circles, drawn into any Bitmap through the blend kernels.
//
// Coordinates are floats in pixels (x right, y down). Angles are radians from
// straight up, growing clockwise on the screen. No pixel outside the bitmap is
// ever written, whatever the arguments: a non-finite coordinate, angle or radius
// draws nothing.
#pragma once

#include <cstdint>

#include "core/PixelRect.h"
#include "raster/Bitmap.h"

// Clips the segment to the area 0 <= trunc(x) < width, 0 <= trunc(y) < height;
// false when nothing of it is left (the points then hold no meaning).
bool ClipLine(float& x1, float& y1, float& x2, float& y2, int width, int height);
// The same against a rectangle (right and bottom exclusive).
bool ClipLineToRect(float& x1, float& y1, float& x2, float& y2, const PixelRect& rect);

void DrawBitmapLine(Bitmap* bitmap, float x1, float y1, float x2, float y2, uint32_t colour,
                    float weight, int mode, bool antiAliased);
void DrawBitmapArc(Bitmap* bitmap, float centreX, float centreY, float radius, float startAngle,
                   float endAngle, uint32_t colour, float weight, int mode, bool antiAliased);
void DrawBitmapCircle(Bitmap* bitmap, float centreX, float centreY, float radius, uint32_t colour,
                      float weight, int mode, bool antiAliased);
