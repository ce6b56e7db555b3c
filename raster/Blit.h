// Blits, fills and pixel access over Bitmaps. Free functions without state of
// their own; missing bitmaps, missing pixels, empty or fully clipped areas and
// kinds without a kernel draw nothing. Colours are 0xAARRGGBB words; weights are
// floats with 1.0 as full strength; modes are the words of BlendKernels.h.
#pragma once

#include <cstdint>

#include "core/PixelRect.h"
#include "raster/Bitmap.h"

// Copies sourceRect (the whole source when null) of source to (x, y) of dest,
// clipped to both bitmaps. Kind 0 without AlphaWeighted at weight 1.0 copies raw
// rows; kinds 0xF0..0xFF move one byte per pixel.
void BlitRect(Bitmap* dest, Bitmap* source, int x, int y, const PixelRect* sourceRect, float weight,
              int mode);
void BlitRect(Bitmap* dest, Bitmap* source, int x, int y, int sourceX, int sourceY, int width,
              int height, float weight, int mode);
// Resizes dest to the source's size and copies every pixel raw.
void CopyWhole(Bitmap* dest, Bitmap* source);

// No weight gate: a copy fill at weight 0 leaves the pixels as they are.
void FillBitmapRect(Bitmap* bitmap, int x, int y, int width, int height, uint32_t colour,
                    float weight, int mode);
// Every pixel := (pixel AND andMask) OR orValue.
void MaskFill(Bitmap* bitmap, int x, int y, int width, int height, uint32_t andMask,
              uint32_t orValue);

// 0 outside the bitmap.
uint32_t ReadBitmapPixel(Bitmap* bitmap, int x, int y);
void PlotBitmapPixel(Bitmap* bitmap, int x, int y, uint32_t colour, float weight, int mode);

// Draws the source rectangle scaled into the destination rectangle and turned by
// angle (radians) about its centre, moved by the centre offsets. A negative
// destination width or height mirrors. With clipToSource only the source
// rectangle is sampled, else the whole source. SmoothSample filters bilinearly.
void TurnBlit(Bitmap* dest, Bitmap* source, int destX, int destY, int destWidth, int destHeight,
              float sourceX, float sourceY, float sourceWidth, float sourceHeight, double angle,
              bool clipToSource, float weight, int mode, float centreOffsetX,
              float centreOffsetY);
