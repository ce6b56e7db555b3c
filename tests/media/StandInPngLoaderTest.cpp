// kelvane-host's stand-in "LICE_LoadPNGFromResource" and the plug-in's adapter
// for the host's bitmap objects, meeting in one process: the host finds the
// images in the file of the module that holds them (this program carries the
// embedded images), hands out objects of its own class, and the plug-in copies
// and releases them.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "HostPngLoader.h"
#include "HostServices.h"
#include "core/Module.h"
#include "raster/Bitmap.h"
#include "graphics/PngImages.h"

namespace {

class StandInPngLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedCallback = HostCallback;
    savedModule = ModuleHandle;
    HostCallback = &HostServices::Callback;
    ModuleHandle = reinterpret_cast<void*>(&EmbeddedPng);  // an address inside this program
  }
  void TearDown() override {
    HostCallback = savedCallback;
    ModuleHandle = savedModule;
  }
  audioMasterCallback savedCallback = nullptr;
  void* savedModule = nullptr;
};

TEST_F(StandInPngLoaderTest, TheHostsBitmapsCarryTheModulesOwnImages) {
  for (int id : {kBackgroundImageId, kButtonImageId}) {
    std::unique_ptr<Bitmap> viaHost(LoadPngFromHost(id));
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

TEST_F(StandInPngLoaderTest, UnknownImagesNamesAndModulesGiveNothing) {
  EXPECT_EQ(LoadPngFromHost(102), nullptr);
  EXPECT_EQ(LoadPngFromResource(ModuleHandle, "background", nullptr), nullptr);  // a string name
  EXPECT_EQ(LoadPngFromResource(nullptr, reinterpret_cast<const char*>(uintptr_t{100}), nullptr), nullptr);
  int onTheStack = 0;  // an address in no module file
  EXPECT_EQ(LoadPngFromResource(&onTheStack, reinterpret_cast<const char*>(uintptr_t{100}), nullptr), nullptr);
}

}  // namespace
