// Scenes drawn by the image tests.
#pragma once

#include "raster/Bitmap.h"

// The golden sheet: lines, arcs and circles in every drawing kind. 480 x 360.
constexpr int kSheetWidth = 480;
constexpr int kSheetHeight = 360;
void DrawSheet(Bitmap* sheet);

// Every operation of the library, reading from the two given sources (64 x 48
// each); used to compare top-down and bottom-up bitmaps.
void DrawEveryOperation(Bitmap* dest, Bitmap* sourceA, Bitmap* sourceB);
void PaintSource(Bitmap* source, int seed);
