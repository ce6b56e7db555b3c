#include "HostPngLoader.h"

#include <cstdio>
#include <cstdint>

#include "HostServices.h"

#include "graphics/StbPng.h"

namespace {
int handedOut = 0;
}  // namespace

int HandedOutPngCount() { return handedOut; }

void* LoadPngFromResource(void* instance, const char* name, void* reuse) {
  // Called from the module's frames: nothing may unwind out of here.
  try {
    const uintptr_t id = reinterpret_cast<uintptr_t>(name);
    void* result = nullptr;
    std::vector<uint8_t> bytes;
    // Only integer resource names (below 65536), as the plug-in passes them; no bitmap is reused.
    if (id > 0 && id < 65536 && !reuse && ReadPngResource(instance, static_cast<int>(id), bytes) &&
        bytes.size() < 0x7FFFFFFFu) {
      int width = 0, height = 0, channels = 0;
      stbi_uc* rgba = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels, 4);
      if (rgba && width > 0 && height > 0) {
        std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
        for (size_t i = 0; i < pixels.size(); ++i) {
          const stbi_uc* p = rgba + 4 * i;
          pixels[i] = (uint32_t{p[3]} << 24) | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
        }
        result = MakeHostBitmap(std::move(pixels), width, height);
      }
      stbi_image_free(rgba);
    }
    if (result) ++handedOut;
    if (HostServices::Get().settings.trace)
      std::fprintf(stderr, "host: LICE_LoadPNGFromResource(%llu) -> %s\n", static_cast<unsigned long long>(id),
                   result ? "bitmap" : "null");
    return result;
  } catch (...) {
    return nullptr;
  }
}
