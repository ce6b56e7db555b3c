// The embedded PNG images, their decoding, and the host's loader seen through
// a fake REAPER callback whose bitmaps are objects of the Itanium C++ ABI.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/HostConnection.h"
#include "core/Module.h"
#include "raster/Bitmap.h"
#include "graphics/PngImages.h"

namespace {

// A 2 x 1 RGBA PNG: (255, 0, 0, alpha 128) and (1, 2, 3, alpha 4).
const uint8_t kTwoPixels[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00,
    0x02, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0xf4, 0x22, 0x7f, 0x8a, 0x00, 0x00, 0x00, 0x11, 0x49,
    0x44, 0x41, 0x54, 0x78, 0x9c, 0x63, 0xf8, 0xcf, 0xc0, 0xd0, 0xc0, 0xc8, 0xc4, 0xcc, 0x02, 0x00, 0x0a, 0x95, 0x01,
    0x8a, 0xc1, 0xa8, 0x10, 0x7d, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

std::unique_ptr<Bitmap> DecodeEmbedded(int id) {
  size_t size = 0;
  const uint8_t* bytes = EmbeddedPng(id, &size);
  if (!bytes) return nullptr;
  return std::unique_ptr<Bitmap>(DecodePng(bytes, size));
}

TEST(PngImagesTest, BothEmbeddedImagesDecodeToTheirSizes) {
  std::unique_ptr<Bitmap> background = DecodeEmbedded(kBackgroundImageId);
  ASSERT_NE(background, nullptr);
  EXPECT_EQ(background->Width(), 640);
  EXPECT_EQ(background->Height(), 540);
  EXPECT_EQ(background->RowStride(), 640);
  EXPECT_FALSE(background->IsBottomUp());
  // The background is opaque everywhere: it is drawn as a raw copy.
  for (int i = 0; i < 640 * 540; i += 97) ASSERT_EQ(background->PixelData()[i] >> 24, 255u) << i;

  std::unique_ptr<Bitmap> button = DecodeEmbedded(kButtonImageId);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->Width(), 27);
  EXPECT_EQ(button->Height(), 54);

  size_t size = 123;
  EXPECT_EQ(EmbeddedPng(102, &size), nullptr);
  EXPECT_EQ(size, 0u);
}

TEST(PngImagesTest, DecodesToStraightAlphaWordsAndRejectsWhatIsNotAPng) {
  std::unique_ptr<Bitmap> image(DecodePng(kTwoPixels, sizeof kTwoPixels));
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(image->Width(), 2);
  ASSERT_EQ(image->Height(), 1);
  EXPECT_EQ(image->PixelData()[0], 0x80FF0000u);
  EXPECT_EQ(image->PixelData()[1], 0x04010203u);

  EXPECT_EQ(DecodePng(nullptr, 10), nullptr);
  EXPECT_EQ(DecodePng(kTwoPixels, 0), nullptr);
  EXPECT_EQ(DecodePng(kTwoPixels, sizeof kTwoPixels - 30), nullptr);  // cut inside the data
  std::vector<uint8_t> damaged(kTwoPixels, kTwoPixels + sizeof kTwoPixels);
  damaged[1] = 'Q';
  EXPECT_EQ(DecodePng(damaged.data(), damaged.size()), nullptr);
  const uint8_t text[] = "GIF89a, not a PNG at all";
  EXPECT_EQ(DecodePng(text, sizeof text), nullptr);
}

// A bitmap as the host's compiler makes it: the same virtual operations in the
// same order as ours, but a class of its own.
class HostBitmap {
 public:
  HostBitmap(int width, int height, int stride, bool bottomUp)
      : pixels_(static_cast<size_t>(stride) * static_cast<size_t>(height > 0 ? height : 0)),
        width_(width),
        height_(height),
        stride_(stride),
        bottomUp_(bottomUp) {
    for (size_t i = 0; i < pixels_.size(); ++i) pixels_[i] = 0xFF000000u + static_cast<uint32_t>(i);
  }
  virtual ~HostBitmap() { ++destroyed; }
  virtual uint32_t* PixelData() { return pixels_.empty() ? nullptr : pixels_.data(); }
  virtual int Width() const { return width_; }
  virtual int Height() const { return height_; }
  virtual int RowStride() const { return stride_; }
  virtual bool IsBottomUp() const { return bottomUp_; }
  virtual bool SetSize(int, int) { return false; }

  static inline int destroyed = 0;

 private:
  std::vector<uint32_t> pixels_;
  int width_, height_, stride_;
  bool bottomUp_;
};

struct LoaderCall {
  void* instance;
  uintptr_t name;
  void* reuse;
};

// A REAPER-like host that offers "LICE_LoadPNGFromResource".
struct FakeReaper {
  static inline std::vector<LoaderCall> calls;

  static void* Load(void* instance, const char* name, void* reuse) {
    calls.push_back({instance, reinterpret_cast<uintptr_t>(name), reuse});
    return new HostBitmap(2, 2, 2, false);
  }
  static VstIntPtr VSTCALL Callback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void* ptr, float) {
    if (opcode == static_cast<VstInt32>(0xdeadbeefu) && index == static_cast<VstInt32>(0xdeadf00du) && ptr &&
        std::strcmp(static_cast<const char*>(ptr), "LICE_LoadPNGFromResource") == 0) {
      return reinterpret_cast<VstIntPtr>(&Load);
    }
    return 0;
  }
};

class HostLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override { HostBitmap::destroyed = 0; }
};

TEST_F(HostLoaderTest, CopiesATopDownBitmapWithWideRowsAndReleasesTheHostsObjectOnce) {
  std::unique_ptr<Bitmap> copy(AdoptHostBitmap(new HostBitmap(3, 2, 5, false)));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(HostBitmap::destroyed, 1);
  ASSERT_EQ(copy->Width(), 3);
  ASSERT_EQ(copy->Height(), 2);
  EXPECT_EQ(copy->RowStride(), 3);
  const uint32_t* p = copy->PixelData();
  EXPECT_EQ(std::vector<uint32_t>(p, p + 6),
            (std::vector<uint32_t>{0xFF000000u, 0xFF000001u, 0xFF000002u, 0xFF000005u, 0xFF000006u, 0xFF000007u}));
}

TEST_F(HostLoaderTest, TurnsABottomUpAnswerTopDown) {
  std::unique_ptr<Bitmap> copy(AdoptHostBitmap(new HostBitmap(2, 3, 4, true)));
  ASSERT_NE(copy, nullptr);
  EXPECT_FALSE(copy->IsBottomUp());
  const uint32_t* p = copy->PixelData();
  // Stored row 2 (offset 8) is the picture's top row.
  EXPECT_EQ(std::vector<uint32_t>(p, p + 6),
            (std::vector<uint32_t>{0xFF000008u, 0xFF000009u, 0xFF000004u, 0xFF000005u, 0xFF000000u, 0xFF000001u}));
  EXPECT_EQ(HostBitmap::destroyed, 1);
}

TEST_F(HostLoaderTest, EmptyOrMalformedAnswersGiveNothingButAreStillReleased) {
  EXPECT_EQ(AdoptHostBitmap(new HostBitmap(0, 0, 0, false)), nullptr);
  EXPECT_EQ(HostBitmap::destroyed, 1);
  EXPECT_EQ(AdoptHostBitmap(new HostBitmap(4, 2, 3, false)), nullptr);  // rows narrower than the width
  EXPECT_EQ(HostBitmap::destroyed, 2);
  EXPECT_EQ(AdoptHostBitmap(nullptr), nullptr);  // the loader found no image
  EXPECT_EQ(HostBitmap::destroyed, 2);
}

// Only a Windows module has a handle a host's loader understands; elsewhere
// the host's loader is never asked, and the embedded decoder serves.
TEST_F(HostLoaderTest, TheHostsLoaderIsAskedOnlyOnWindows) {
  FakeReaper::calls.clear();
  HostConnection reaper(&FakeReaper::Callback, nullptr);
  std::unique_ptr<Bitmap> loaded(LoadPngFromHost(reaper, kBackgroundImageId));
#ifdef _WIN32
  ASSERT_NE(loaded, nullptr);
  ASSERT_EQ(FakeReaper::calls.size(), 1u);
  EXPECT_EQ(FakeReaper::calls[0].instance, ModuleHandle);
  EXPECT_EQ(FakeReaper::calls[0].name, 100u);
  EXPECT_EQ(FakeReaper::calls[0].reuse, nullptr);
#else
  EXPECT_EQ(loaded, nullptr);
  EXPECT_TRUE(FakeReaper::calls.empty());
#endif
  HostConnection noHost(nullptr, nullptr);
  EXPECT_EQ(LoadPngFromHost(noHost, kBackgroundImageId), nullptr);
}

}  // namespace
