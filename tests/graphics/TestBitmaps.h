// Bitmaps for tests: any row order and stride the interface allows, and one whose
// pixels are fenced by guard memory on every side.
#pragma once

#include <cstdint>
#include <vector>

#include "raster/Bitmap.h"

// Fixed-size bitmap over a vector; rows may be stored bottom-up and padded.
class TestBitmap : public Bitmap {
 public:
  TestBitmap(int width, int height, uint32_t fill = 0, bool bottomUp = false, int padding = 0)
      : width_(width), height_(height), stride_(width + padding), bottomUp_(bottomUp),
        pixels_(static_cast<size_t>(width + padding) * height, fill) {}

  uint32_t* PixelData() override { return pixels_.empty() ? nullptr : pixels_.data(); }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  int RowStride() const override { return stride_; }
  bool IsBottomUp() const override { return bottomUp_; }
  bool SetSize(int, int) override { return false; }

  // Row y as the drawing operations address it.
  uint32_t& At(int x, int y) {
    const int stored = bottomUp_ ? height_ - 1 - y : y;
    return pixels_[static_cast<size_t>(stored) * stride_ + x];
  }
  // The image in drawing order, row by row, without padding.
  std::vector<uint32_t> Image() {
    std::vector<uint32_t> out;
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) out.push_back(At(x, y));
    }
    return out;
  }
  // Number of pixels that differ from value.
  int CountNot(uint32_t value) {
    int n = 0;
    for (uint32_t p : Image()) n += p != value;
    return n;
  }

 private:
  int width_, height_, stride_;
  bool bottomUp_;
  std::vector<uint32_t> pixels_;
};

// Pixels in the middle of a larger block; the rest is a position-dependent
// pattern that a stray write is all but certain to change.
class GuardedBitmap : public Bitmap {
 public:
  static constexpr int kGuard = 24;

  GuardedBitmap(int width, int height, bool bottomUp)
      : width_(width), height_(height), bottomUp_(bottomUp),
        block_(static_cast<size_t>(width + 2 * kGuard) * (height + 2 * kGuard)) {
    for (size_t i = 0; i < block_.size(); ++i) block_[i] = GuardValue(i);
  }

  uint32_t* PixelData() override { return block_.data() + kGuard * Stride() + kGuard; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  int RowStride() const override { return Stride(); }
  bool IsBottomUp() const override { return bottomUp_; }
  bool SetSize(int, int) override { return false; }

  // A hash of the pixels inside the guard, to see that drawing happened at all.
  uint64_t InteriorHash() {
    uint64_t hash = 1469598103934665603ull;
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) hash = (hash ^ PixelData()[y * Stride() + x]) * 1099511628211ull;
    }
    return hash;
  }
  // Index of the first guard word that changed, or -1.
  long FirstDamagedGuard() const {
    for (size_t i = 0; i < block_.size(); ++i) {
      const long row = static_cast<long>(i) / Stride();
      const long column = static_cast<long>(i) % Stride();
      const bool inside = row >= kGuard && row < kGuard + height_ && column >= kGuard &&
                          column < kGuard + width_;
      if (!inside && block_[i] != GuardValue(i)) return static_cast<long>(i);
    }
    return -1;
  }

 private:
  int Stride() const { return width_ + 2 * kGuard; }
  static uint32_t GuardValue(size_t i) {
    return static_cast<uint32_t>(i * 2654435761u) ^ 0x5A3C96E1u;
  }

  int width_, height_;
  bool bottomUp_;
  std::vector<uint32_t> block_;
};
