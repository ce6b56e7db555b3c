// kelvane-host's stand-in "LICE_LoadPNGFromResource" and the plug-in's adapter
// for the host's bitmap objects, meeting in one process: the host finds the
// images in the file of the module that holds them (this program carries the
// embedded images), hands out objects of its own class, and the plug-in copies
// and releases them.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "HostPngLoader.h"
#include "raster/Bitmap.h"
#include "graphics/PngImages.h"

namespace {

// The stand-in reads the images from the module file holding `inside`.
void* const kThisProgram = reinterpret_cast<void*>(&EmbeddedPng);

const char* ResourceName(int id) { return reinterpret_cast<const char*>(static_cast<uintptr_t>(id)); }

TEST(StandInPngLoaderTest, TheHostsBitmapsCarryTheModulesOwnImages) {
  for (int id : {kBackgroundImageId, kButtonImageId}) {
    std::unique_ptr<Bitmap> viaHost(AdoptHostBitmap(LoadPngFromResource(kThisProgram, ResourceName(id), nullptr)));
    ASSERT_NE(viaHost, nullptr) << id;
    size_t size = 0;
    const uint8_t* bytes = EmbeddedPng(id, &size);
    std::unique_ptr<Bitmap> own(DecodePng(bytes, size));
    ASSERT_NE(own, nullptr);
    ASSERT_EQ(viaHost->Width(), own->Width());
    ASSERT_EQ(viaHost->Height(), own->Height());
    const size_t count = static_cast<size_t>(own->Width()) * static_cast<size_t>(own->Height());
    EXPECT_TRUE(std::equal(own->PixelData(), own->PixelData() + count, viaHost->PixelData())) << id;
  }
}

TEST(StandInPngLoaderTest, UnknownImagesNamesAndModulesGiveNothing) {
  EXPECT_EQ(LoadPngFromResource(kThisProgram, ResourceName(102), nullptr), nullptr);
  EXPECT_EQ(LoadPngFromResource(kThisProgram, "background", nullptr), nullptr);  // a string name
  EXPECT_EQ(LoadPngFromResource(nullptr, ResourceName(100), nullptr), nullptr);
  int onTheStack = 0;  // an address in no module file
  EXPECT_EQ(LoadPngFromResource(&onTheStack, ResourceName(100), nullptr), nullptr);
}

}  // namespace
