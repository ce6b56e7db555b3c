#include "TestScenes.h"

#include <cmath>

#include "raster/BlendKernels.h"
#include "raster/Blit.h"
#include "raster/Lines.h"

namespace {

struct Kind {
  int mode;
  float weight;
  uint32_t colour;
};

// One column of the sheet per kind.
const Kind kKinds[] = {
    {ModeCopy, 1.0f, 0xFFFFE080},                   // opaque copy: plain lines store
    {ModeCopy | AlphaWeighted, 0.8f, 0xB080D0FF},   // translucent copy
    {ModeCopy, 0.5f, 0xFF60FF60},                   // half-weight copy
    {ModeAdd | AlphaWeighted, 0.9f, 0xFFFF6040},    // additive
    {ModeDodge | AlphaWeighted, 1.0f, 0xFF9090FF},  // colour dodge
    {ModeAdd, -0.6f, 0xFFFFFFFF},                   // subtractive
};
constexpr int kCell = 80;

void Background(Bitmap* sheet) {
  FillBitmapRect(sheet, 0, 0, kSheetWidth, kSheetHeight, 0xFF202838, 1.0f, ModeCopy);
  for (int i = 0; i < 6; ++i) {
    // Grey bars under every cell, so that subtracting and dodging show.
    FillBitmapRect(sheet, i * kCell, 0, kCell, kSheetHeight, 0xFF506070, 0.15f * i, ModeAdd);
    FillBitmapRect(sheet, i * kCell + kCell - 1, 0, 1, kSheetHeight, 0xFF000000, 1.0f, ModeCopy);
  }
  for (int row = 1; row < 5; ++row) {
    FillBitmapRect(sheet, 0, row * 72 - 1, kSheetWidth, 1, 0xFF000000, 1.0f, ModeCopy);
  }
}

}  // namespace

void DrawSheet(Bitmap* sheet) {
  Background(sheet);
  for (int column = 0; column < 6; ++column) {
    const Kind& k = kKinds[column];
    const float left = column * kCell;
    // Rows 0 and 1: fans of plain and anti-aliased lines.
    for (int row = 0; row < 2; ++row) {
      const bool aa = row == 1;
      const float cx = left + 39.5f, cy = row * 72 + 35.3f;
      for (int i = 0; i < 16; ++i) {
        const float a = i * 0.3927f + 0.1f;
        const float len = 12.0f + (i % 4) * 6.5f;
        DrawBitmapLine(sheet, cx + 4 * std::sin(a), cy - 4 * std::cos(a), cx + len * std::sin(a),
                       cy - len * std::cos(a), k.colour, k.weight, k.mode, aa);
      }
    }
    // Row 2: arcs, plain on the left half, anti-aliased on the right, one wrapping.
    const float ay = 2 * 72 + 36.0f;
    DrawBitmapArc(sheet, left + 20.5f, ay, 14.0f, 0.3f, 2.9f, k.colour, k.weight, k.mode, false);
    DrawBitmapArc(sheet, left + 20.5f, ay, 8.0f, 5.5f, 0.5f, k.colour, k.weight, k.mode, false);
    DrawBitmapArc(sheet, left + 58.2f, ay + 0.4f, 15.5f, 3.5f, 6.0f, k.colour, k.weight, k.mode,
                  true);
    DrawBitmapArc(sheet, left + 58.2f, ay + 0.4f, 9.0f, 1.2f, 4.4f, k.colour, k.weight, k.mode, true);
    // Row 3: nested circles, plain and anti-aliased.
    const float cy = 3 * 72 + 36.0f;
    for (int i = 0; i < 4; ++i) {
      DrawBitmapCircle(sheet, left + 20.5f, cy, 4.0f + 5.0f * i, k.colour, k.weight, k.mode, false);
      DrawBitmapCircle(sheet, left + 58.7f, cy + 0.3f, 3.5f + 4.6f * i, k.colour, k.weight, k.mode,
                       true);
    }
    // Row 4: circles and lines crossing the sheet's bottom edge, drawn pixel-tested.
    const float by = 4 * 72 + 40.0f;
    DrawBitmapCircle(sheet, left + 40.0f, by + 30.0f, 36.0f, k.colour, k.weight, k.mode, true);
    DrawBitmapCircle(sheet, left + 40.0f, by + 20.0f, 18.5f, k.colour, k.weight, k.mode, false);
    DrawBitmapLine(sheet, left + 5.0f, by - 30.0f, left + 75.0f, by + 60.0f, k.colour, k.weight,
                   k.mode, true);
  }
  // Circles centred on the corners.
  DrawBitmapCircle(sheet, 0.0f, 0.0f, 30.0f, 0xFFFFFFFF, 1.0f, ModeCopy, true);
  DrawBitmapCircle(sheet, kSheetWidth - 0.5f, kSheetHeight - 0.5f, 44.0f, 0xFFFF8040, 1.0f, ModeAdd,
                   false);
}

void PaintSource(Bitmap* source, int seed) {
  const int w = source->Width(), h = source->Height();
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const uint32_t a = static_cast<uint32_t>((x * 5 + seed * 40) & 255);
      const uint32_t r = static_cast<uint32_t>((y * 7 + seed) & 255);
      const uint32_t g = static_cast<uint32_t>((x * y + 3 * seed) & 255);
      const uint32_t b = static_cast<uint32_t>(((x ^ y) * 9) & 255);
      FillBitmapRect(source, x, y, 1, 1, (a << 24) | (r << 16) | (g << 8) | b, 1.0f, ModeCopy);
      MaskFill(source, x, y, 1, 1, 0x00FFFFFF, a << 24);
    }
  }
}

void DrawEveryOperation(Bitmap* dest, Bitmap* a, Bitmap* b) {
  FillBitmapRect(dest, 0, 0, 200, 160, 0xFF102030, 1.0f, ModeCopy);
  FillBitmapRect(dest, 10, 5, 60, 30, 0x80FF8000, 0.7f, ModeAdd | AlphaWeighted);
  MaskFill(dest, 30, 20, 50, 50, 0xFF00FFFF, 0x00440000);
  BlitRect(dest, a, -5, 40, nullptr, 1.0f, ModeCopy);
  BlitRect(dest, b, 120, 100, 10, 5, 40, 30, 0.6f, ModeCopy | AlphaWeighted);
  BlitRect(dest, a, 150, 10, 0, 0, 64, 48, 0.8f, ModeDodge);
  BlitRect(dest, b, 20, 110, nullptr, 1.0f, 0xF9);
  BlitRect(dest, b, 170, 130, nullptr, -0.4f, ModeAdd);
  TurnBlit(dest, a, 60, 60, 64, 48, 0, 0, 64, 48, 0.6, false, 1.0f, ModeCopy | SmoothSample, 0, 0);
  TurnBlit(dest, b, 90, 10, -50, 70, 4, 4, 50, 38, -1.1, true, 0.8f,
           ModeAdd | AlphaWeighted | SmoothSample, 1.5f, -2.0f);
  TurnBlit(dest, a, -20, 120, 80, -60, 0, 0, 64, 48, 2.0, false, 1.0f, ModeCopy | AlphaWeighted, 0,
           3.0f);
  PlotBitmapPixel(dest, 3, 3, 0xFFFFFFFF, 1.0f, ModeCopy);
  PlotBitmapPixel(dest, 199, 159, 0x80FF0000, 1.0f, ModeAdd | AlphaWeighted);
  for (int i = 0; i < 12; ++i) {
    const float t = i * 0.55f;
    DrawBitmapLine(dest, 100 + 90 * std::cos(t), 80 + 90 * std::sin(t), 100 - 30 * std::cos(t),
                   80 - 20 * std::sin(t), 0xC0E0F0FF, 0.9f, ModeCopy | AlphaWeighted, i % 2 == 0);
  }
  DrawBitmapArc(dest, 40, 40, 30, 4.0f, 1.0f, 0xFFFF00FF, 1.0f, ModeAdd, true);
  DrawBitmapCircle(dest, 190, 150, 25, 0xFF00FF00, 0.7f, ModeCopy, false);
  DrawBitmapCircle(dest, 100, 80, 50, 0xFF808080, 1.0f, ModeDodge | AlphaWeighted, true);
}
