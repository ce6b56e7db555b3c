// The mode word, the weight conversion and the six per-pixel blend kernels
// shared by blits, fills, rotated blits, lines and arcs.
//
// A kernel is a type with a static Apply(destination, r, g, b, a, w); pixel
// loops are templates over it, and WithKernel picks the kernel once per call.
#pragma once

#include <bit>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
              "pixels are handled as little-endian 0xAARRGGBB words");

// Bits 0-7: the kind.
constexpr int ModeCopy = 0;
constexpr int ModeAdd = 1;
constexpr int ModeDodge = 2;
// Kinds 0xF0..0xFF (blits only): bits 0-1 name the source byte, bits 2-3 the destination byte.
constexpr int ModeByteMove = 0xF0;
constexpr int ModeKindMask = 0xFF;
// Bits 8-15 = 1: the rotated blit samples bilinearly.
constexpr int SmoothSample = 0x100;
// Bit 16: the weight is scaled by the source alpha (in a fill, by the colour's alpha).
constexpr int AlphaWeighted = 0x10000;

inline int ModeKind(int mode) { return mode & ModeKindMask; }

// Integer weights are capped at 256 times full strength: every channel has
// saturated long before, and the kernels' products stay far inside an int.
constexpr int kMaxIntWeight = 65536;

// trunc(weight x 256) with a float multiply. NaN counts as 0 and values
// beyond the cap are held at it: converting them would be undefined.
inline int IntWeight(float weight) {
  const float scaled = weight * 256.0f;
  if (scaled != scaled) return 0;
  if (scaled >= static_cast<float>(kMaxIntWeight)) return kMaxIntWeight;
  if (scaled <= -static_cast<float>(kMaxIntWeight)) return -kMaxIntWeight;
  return static_cast<int>(scaled);
}

// Copies draw only at a positive weight; add and dodge at any weight but 0
// (a negative weight subtracts). A NaN weight never draws.
inline bool PassesWeightGate(int mode, float weight) {
  switch (ModeKind(mode)) {
    case ModeCopy:
      return weight > 0.0f;
    case ModeAdd:
    case ModeDodge:
      return weight != 0.0f && weight == weight;
    default:
      return false;
  }
}

inline int ClampChannel(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

inline uint32_t PackClamped(int r, int g, int b, int a) {
  return (static_cast<uint32_t>(ClampChannel(a)) << 24) |
         (static_cast<uint32_t>(ClampChannel(r)) << 16) |
         (static_cast<uint32_t>(ClampChannel(g)) << 8) | static_cast<uint32_t>(ClampChannel(b));
}

inline void StoreClamped(uint32_t* dst, int r, int g, int b, int a) {
  *dst = PackClamped(r, g, b, a);
}

inline int RedOf(uint32_t p) { return static_cast<int>((p >> 16) & 255); }
inline int GreenOf(uint32_t p) { return static_cast<int>((p >> 8) & 255); }
inline int BlueOf(uint32_t p) { return static_cast<int>(p & 255); }
inline int AlphaOf(uint32_t p) { return static_cast<int>(p >> 24); }

struct BlendCopy {
  static void Apply(uint32_t* dst, int r, int g, int b, int a, int w) {
    const uint32_t d = *dst;
    const int keep = 256 - w;
    StoreClamped(dst, (RedOf(d) * keep + r * w) / 256, (GreenOf(d) * keep + g * w) / 256,
                 (BlueOf(d) * keep + b * w) / 256, (AlphaOf(d) * keep + a * w) / 256);
  }
};

// The destination is weighed by 255 - w', so an opaque source at full weight
// stores src x 255 / 256 (255 becomes 254).
// A transparent source leaves the pixel alone; the result is chosen rather than
// branched around, so that rows of it vectorise.
struct BlendCopyAlpha {
  static void Apply(uint32_t* dst, int r, int g, int b, int a, int w) {
    const int wa = a * w / 256;
    const int keep = 255 - wa;
    const uint32_t d = *dst;
    const uint32_t blended =
        PackClamped((r * wa + RedOf(d) * keep) / 256, (g * wa + GreenOf(d) * keep) / 256,
                    (b * wa + BlueOf(d) * keep) / 256, (a * wa + AlphaOf(d) * keep) / 256);
    *dst = a == 0 ? d : blended;
  }
};

struct BlendAdd {
  static void Apply(uint32_t* dst, int r, int g, int b, int a, int w) {
    const uint32_t d = *dst;
    StoreClamped(dst, RedOf(d) + r * w / 256, GreenOf(d) + g * w / 256, BlueOf(d) + b * w / 256,
                 AlphaOf(d) + a * w / 256);
  }
};

// A transparent source adds nothing: w' is then 0, so no test is needed.
struct BlendAddAlpha {
  static void Apply(uint32_t* dst, int r, int g, int b, int a, int w) {
    BlendAdd::Apply(dst, r, g, b, a, a * w / 256);
  }
};

struct BlendDodge {
  static int Channel(int d, int src, int w) {
    const int s = src * w / 256;
    return s < 254 ? (d * 256) / (255 - s) : d * 256;
  }
  static void Apply(uint32_t* dst, int r, int g, int b, int a, int w) {
    const uint32_t d = *dst;
    StoreClamped(dst, Channel(RedOf(d), r, w), Channel(GreenOf(d), g, w), Channel(BlueOf(d), b, w),
                 Channel(AlphaOf(d), a, w));
  }
};

// Unlike the other alpha kernels, a transparent source still dodges (with weight 0).
struct BlendDodgeAlpha {
  static void Apply(uint32_t* dst, int r, int g, int b, int a, int w) {
    BlendDodge::Apply(dst, r, g, b, a, a * w / 256);
  }
};

// Calls fn(kernel) with the kernel of the mode's kind and AlphaWeighted flag.
// Returns false, calling nothing, for a kind without a kernel.
template <class Fn>
bool WithKernel(int mode, Fn&& fn) {
  const bool alpha = (mode & AlphaWeighted) != 0;
  switch (ModeKind(mode)) {
    case ModeCopy:
      if (alpha) fn(BlendCopyAlpha{}); else fn(BlendCopy{});
      return true;
    case ModeAdd:
      if (alpha) fn(BlendAddAlpha{}); else fn(BlendAdd{});
      return true;
    case ModeDodge:
      if (alpha) fn(BlendDodgeAlpha{}); else fn(BlendDodge{});
      return true;
    default:
      return false;
  }
}

// The same, ignoring AlphaWeighted: fills fold the colour's alpha into the weight instead.
template <class Fn>
bool WithPlainKernel(int mode, Fn&& fn) {
  return WithKernel(mode & ModeKindMask, static_cast<Fn&&>(fn));
}
