// PixelRect and the small records that drawing calls pass around.
#pragma once

#include <cstdint>

// Editor pixels; right and bottom are exclusive. An all-zero rectangle is empty.
struct PixelRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  bool IsAllZero() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  bool Contains(int x, int y) const { return left <= x && x < right && top <= y && y < bottom; }
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const PixelRect&) const = default;
};

// Straight-alpha colour; packs into the pixel word 0xAARRGGBB.
struct ArgbColor {
  int alpha = 255;
  int red = 0;
  int green = 0;
  int blue = 0;

  uint32_t Word() const {
    return (static_cast<uint32_t>(alpha & 255) << 24) | (static_cast<uint32_t>(red & 255) << 16) |
           (static_cast<uint32_t>(green & 255) << 8) | static_cast<uint32_t>(blue & 255);
  }
  bool operator==(const ArgbColor&) const = default;
};

// Blend kind: 1 copies, 2 adds, 3 dodges, anything else copies weighted by source alpha.
struct BlendSpec {
  int kind = 0;
  float weight = 1.0f;
};

// Mouse button and modifier flags delivered with every mouse event.
struct PointerState {
  bool left = false;
  bool right = false;
  bool shift = false;
  bool control = false;
  bool alt = false;
};

// A PNG image loaded into the editor's bitmap cache; frames are stacked vertically.
struct ImageRef {
  int resourceId = 0;
  int width = 0;
  int height = 0;
  int frames = 0;
};

struct FontSpec {
  char face[32] = "Arial";
  int size = 13;
  ArgbColor color;
  int style = 0;      // 0 normal, 1 bold, 2 italic
  int alignment = 0;  // 0 left, 1 centred, 2 right
  int orientation = 0;
};
