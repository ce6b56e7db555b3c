// draw-test: draws the test editor (tools/TestEditor.h) with this platform's
// own drawing code -- text renderer, surface storage, embedded images -- and
// writes what a window would show of it as PNG files. Unlike every other
// command it links the plug-in's library and builds an instance in this
// process: the point is to run the platform's drawing code, and the host's
// image loader in the layout of the host's compiler, where a test can see the
// result. The instance still reaches the host only through its callback.
//
// The editor is drawn twice: as REAPER's stand-in, where the plug-in may fetch
// its images through "LICE_LoadPNGFromResource", and as a plain host, where it
// decodes the images it carries. For each picture one line tells where the
// images came from and sums up the surface's alpha channel, which the PNG
// (opaque, as a window shows it) does not keep.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "Commands.h"
#include "HostError.h"
#include "HostPngLoader.h"
#include "HostServices.h"
#include "core/Module.h"
#include "effect/EffectPlugin.h"
#include "graphics/platform/headless/HeadlessGraphics.h"
#include "graphics/SectionBitmap.h"
#include "tools/Screenshot.h"
#include "tools/TestEditor.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
// The encoder is third-party code: its warnings are not ours to fix.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wdouble-promotion"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

constexpr const char* kUsage = "draw-test REAPER.png PLAIN.png";

// The images the plug-in carries are found through its module handle: here,
// this program, which was linked with them.
void* ThisProgramsHandle() {
#ifdef _WIN32
  return GetModuleHandleW(nullptr);
#else
  return reinterpret_cast<void*>(&RunDrawTest);
#endif
}

void AppendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(context);
  const auto* bytes = static_cast<const uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

void WriteScreenshot(const std::string& path, int width, int height, const std::vector<uint32_t>& argb) {
  std::vector<uint8_t> rgba(argb.size() * 4);
  for (size_t i = 0; i < argb.size(); ++i) {
    rgba[4 * i] = static_cast<uint8_t>(argb[i] >> 16);
    rgba[4 * i + 1] = static_cast<uint8_t>(argb[i] >> 8);
    rgba[4 * i + 2] = static_cast<uint8_t>(argb[i]);
    rgba[4 * i + 3] = static_cast<uint8_t>(argb[i] >> 24);
  }
  std::vector<uint8_t> png;
  if (!stbi_write_png_to_func(&AppendBytes, &png, width, height, 4, rgba.data(), width * 4))
    throw HostError("cannot encode " + path);
  WriteBinaryFile(path, png, "PNG file");
}

// Pixels below alpha 255 and an FNV-1a hash of the alpha bytes, row by row from the top.
std::string AlphaSummary(SectionBitmap& surface) {
  const int width = surface.Width(), height = surface.Height();
  const uint32_t* data = surface.PixelData();
  uint32_t hash = 2166136261u;
  long below = 0;
  for (int y = 0; y < height; ++y) {
    const uint32_t* row = data + static_cast<size_t>(surface.IsBottomUp() ? height - 1 - y : y) * surface.RowStride();
    for (int x = 0; x < width; ++x) {
      const uint8_t alpha = static_cast<uint8_t>(row[x] >> 24);
      below += alpha != 255;
      hash = (hash ^ alpha) * 16777619u;
    }
  }
  char text[96];
  std::snprintf(text, sizeof text, "alpha: %ld pixels below 255, hash %08x", below, static_cast<unsigned>(hash));
  return text;
}

void DrawOnce(const std::string& path, bool plainHost) {
  HostServices::Get().settings.plainHost = plainHost;
  const int loadsBefore = HandedOutPngCount();
  auto* plug = new EffectPlugin(&HostServices::Callback, SurfaceKind::Headless);
  HeadlessGraphics* g = BuildTestEditor(plug);
  if (!g || !g->Surface() || !g->Surface()->PixelData()) {
    delete plug;
    throw HostError("cannot build the test editor");
  }
  while (g->TimerTick()) {
  }
  SectionBitmap& surface = *g->Surface();
  WriteScreenshot(path, surface.Width(), surface.Height(), ScreenshotPixels(surface));
  const int loads = HandedOutPngCount() - loadsBefore;
  std::printf("%s: %dx%d, %s, %s\n", path.c_str(), surface.Width(), surface.Height(),
              loads > 0 ? (std::to_string(loads) + " images from the host's loader").c_str()
                        : "images decoded from the plug-in's own resources",
              AlphaSummary(surface).c_str());
  plug->Effect()->dispatcher(plug->Effect(), effClose, 0, 0, nullptr, 0.0f);
}

}  // namespace

int RunDrawTest(const Args& args) {
  CommandLine line(args, {});
  line.ExpectPositional(2, kUsage);
  ModuleHandle = ThisProgramsHandle();
  DrawOnce(line.Positional()[0], false);
  DrawOnce(line.Positional()[1], true);
  return 0;
}
