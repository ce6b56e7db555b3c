// Exact results of the six kernels, the weight conversion and the gates.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "raster/BlendKernels.h"

namespace {

uint32_t Word(int a, int r, int g, int b) {
  return (static_cast<uint32_t>(a) << 24) | (static_cast<uint32_t>(r) << 16) |
         (static_cast<uint32_t>(g) << 8) | static_cast<uint32_t>(b);
}

struct KernelCase {
  const char* name;
  void (*apply)(uint32_t*, int, int, int, int, int);
  uint32_t dst;
  int r, g, b, a, w;
  uint32_t expected;
};

// Expected values worked out by hand from the kernels' rules.
const KernelCase kCases[] = {
    // Full weight copies the source exactly; weight 0 keeps the destination.
    {"copy full", BlendCopy::Apply, Word(9, 1, 2, 3), 200, 100, 0, 255, 256, Word(255, 200, 100, 0)},
    {"copy none", BlendCopy::Apply, Word(9, 1, 2, 3), 200, 100, 0, 255, 0, Word(9, 1, 2, 3)},
    {"copy half", BlendCopy::Apply, Word(0, 0, 255, 100), 255, 0, 100, 128, 128,
     Word(64, 127, 127, 100)},
    {"copy negative weight extrapolates", BlendCopy::Apply, Word(0, 100, 100, 100), 200, 0, 100, 0,
     -256, Word(0, 0, 200, 100)},
    // Opaque source at full weight: the destination weighs 255 - 255 = 0 and src x 255 / 256.
    {"copy alpha opaque", BlendCopyAlpha::Apply, Word(77, 77, 77, 77), 255, 128, 0, 255, 256,
     Word(254, 254, 127, 0)},
    {"copy alpha transparent", BlendCopyAlpha::Apply, Word(1, 2, 3, 4), 255, 255, 255, 0, 256,
     Word(1, 2, 3, 4)},
    // w' = 128: 255 x 128 / 256 = 127; 255 x 127 / 256 = 126;
    // 255 x 255 / 256 = 254; alpha (16384 + 32385) / 256 = 190.
    {"copy alpha half", BlendCopyAlpha::Apply, Word(255, 0, 255, 255), 255, 0, 255, 128, 256,
     Word(190, 127, 126, 254)},
    {"add saturates", BlendAdd::Apply, Word(250, 200, 10, 0), 100, 100, 0, 255, 256,
     Word(255, 255, 110, 0)},
    // A negative weight subtracts: 100 x -128 / 256 = -50.
    {"add negative", BlendAdd::Apply, Word(255, 200, 30, 0), 100, 100, 0, 0, -128,
     Word(255, 150, 0, 0)},
    {"add alpha transparent", BlendAddAlpha::Apply, Word(1, 2, 3, 4), 255, 255, 255, 0, 256,
     Word(1, 2, 3, 4)},
    // w' = 128 x 256 / 256 = 128: 10 + 200 x 128 / 256 = 110; alpha 0 + 128 x 128 / 256 = 64.
    {"add alpha half", BlendAddAlpha::Apply, Word(0, 10, 10, 10), 200, 0, 255, 128, 256,
     Word(64, 110, 10, 137)},
    // s = 127: 100 x 256 / 128 = 200; s = 254 or more: 100 x 256, clamped; s = 0: d x 256 / 255.
    {"dodge", BlendDodge::Apply, Word(255, 100, 100, 200), 127, 254, 0, 0, 256,
     Word(255, 200, 255, 200)},
    {"dodge black stays", BlendDodge::Apply, Word(0, 0, 0, 0), 255, 255, 255, 255, 256,
     Word(0, 0, 0, 0)},
    // w' = 64 x 256 / 256 = 64; s = 127 x 64 / 256 = 31: 100 x 256 / 224 = 114.
    {"dodge alpha", BlendDodgeAlpha::Apply, Word(0, 100, 100, 100), 127, 0, 127, 64, 256,
     Word(0, 114, 100, 114)},
};

TEST(BlendKernels, ExactResults) {
  for (const KernelCase& c : kCases) {
    uint32_t pixel = c.dst;
    c.apply(&pixel, c.r, c.g, c.b, c.a, c.w);
    EXPECT_EQ(pixel, c.expected) << c.name << std::hex << " got 0x" << pixel;
  }
}

TEST(BlendKernels, StoreClampedClampsAndKeepsByteOrder) {
  uint32_t pixel = 0;
  StoreClamped(&pixel, 300, -5, 17, 128);
  unsigned char bytes[4];
  std::memcpy(bytes, &pixel, 4);
  EXPECT_EQ(bytes[0], 17);   // blue
  EXPECT_EQ(bytes[1], 0);    // green
  EXPECT_EQ(bytes[2], 255);  // red
  EXPECT_EQ(bytes[3], 128);  // alpha
}

TEST(BlendKernels, IntWeightTruncatesAndHoldsHostileValues) {
  EXPECT_EQ(IntWeight(1.0f), 256);
  EXPECT_EQ(IntWeight(0.5f), 128);
  EXPECT_EQ(IntWeight(0.999f), 255);
  EXPECT_EQ(IntWeight(-0.004f), -1);  // toward zero, not down
  EXPECT_EQ(IntWeight(std::numeric_limits<float>::quiet_NaN()), 0);
  EXPECT_EQ(IntWeight(1e30f), kMaxIntWeight);
  EXPECT_EQ(IntWeight(-std::numeric_limits<float>::infinity()), -kMaxIntWeight);
}

TEST(BlendKernels, WeightGates) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_TRUE(PassesWeightGate(ModeCopy, 0.01f));
  EXPECT_FALSE(PassesWeightGate(ModeCopy, 0.0f));
  EXPECT_FALSE(PassesWeightGate(ModeCopy | AlphaWeighted, -1.0f));
  EXPECT_TRUE(PassesWeightGate(ModeAdd, -0.5f));
  EXPECT_FALSE(PassesWeightGate(ModeAdd, 0.0f));
  EXPECT_TRUE(PassesWeightGate(ModeDodge | AlphaWeighted, 2.0f));
  EXPECT_FALSE(PassesWeightGate(ModeDodge, nan));
  EXPECT_FALSE(PassesWeightGate(ModeAdd, nan));
  EXPECT_FALSE(PassesWeightGate(3, 1.0f));
}

TEST(BlendKernels, DispatchPicksKernelByKindAndFlag) {
  auto result = [](int mode) {
    uint32_t pixel = Word(255, 100, 100, 100);
    const bool drew = WithKernel(mode, [&](auto kernel) {
      decltype(kernel)::Apply(&pixel, 100, 100, 100, 0, 256);
    });
    return drew ? pixel : 0xDEADu;
  };
  EXPECT_EQ(result(ModeCopy), Word(0, 100, 100, 100));
  EXPECT_EQ(result(ModeCopy | AlphaWeighted), Word(255, 100, 100, 100));  // a = 0: nothing
  EXPECT_EQ(result(ModeAdd), Word(255, 200, 200, 200));
  EXPECT_EQ(result(ModeAdd | AlphaWeighted), Word(255, 100, 100, 100));
  EXPECT_EQ(result(ModeDodge), Word(255, 165, 165, 165));
  EXPECT_EQ(result(3), 0xDEADu);
  EXPECT_EQ(result(0xF4), 0xDEADu);
}

}  // namespace
