// kelvane-host editor: the module's editor without a window, driven by a
// mouse script while the host plays a file through the module. Screenshots of
// the waveform display in each colour map are compared with golden images.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "HostRunner.h"
#include "tools/PngFile.h"

namespace {

// The waveform display's rectangle in the editor.
constexpr int kLeft = 24, kTop = 24, kRight = 616, kBottom = 445;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::vector<uint32_t> Crop(const std::vector<uint32_t>& pixels, int width) {
  std::vector<uint32_t> out;
  for (int y = kTop; y < kBottom; ++y)
    for (int x = kLeft; x < kRight; ++x) out.push_back(pixels[static_cast<size_t>(y) * width + x]);
  return out;
}

TEST(HostEditor, BadScriptLinesStopEverythingWithTheLineNumber) {
  const std::string folder = TestFolder();
  ASSERT_EQ(RunHost({"generate", folder + "/in.wav", "--seconds", "1"}).exitCode, 0);
  struct Case {
    const char* line;
    const char* error;
  };
  const Case cases[] = {
      {"jump 3", "line 3: unknown action 'jump'"},
      {"press 10", "line 3: missing y"},
      {"press 10 20 middle", "line 3: unknown press flag 'middle'"},
      {"wheel 10 20 x", "line 3: bad notches 'x'"},
      {"play -1", "line 3: bad block count '-1'"},
      {"leave now", "line 3: unexpected 'now'"},
      {"png", "line 3: missing file name"},
  };
  for (const Case& c : cases) {
    const std::string shot = folder + "/early.png";
    WriteTextFile(folder + "/script.txt", "play 2\npng " + shot + "\n" + c.line + "\n");
    HostRun run = RunHost({"editor", KELVANE_MODULE, folder + "/in.wav", folder + "/script.txt", "--save-state",
                           folder + "/state.bin"});
    EXPECT_NE(run.exitCode, 0) << c.line;
    EXPECT_FALSE(run.crashed);
    EXPECT_TRUE(Contains(run.err, std::string("editor script ") + c.error)) << run.err;
    EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
    EXPECT_FALSE(FileExists(shot)) << c.line;
    EXPECT_FALSE(FileExists(folder + "/state.bin")) << c.line;
  }
  // A module without the probe has no editor the host can drive.
  WriteTextFile(folder + "/script.txt", "play 1\n");
  HostRun run = RunHost({"editor", FakeModule("FakePassThrough"), folder + "/in.wav", folder + "/script.txt"});
  EXPECT_NE(run.exitCode, 0);
  EXPECT_TRUE(Contains(run.err, "no editor that kelvane-host can drive")) << run.err;
}

// The test music with a loop over 2..3 s played twice (4.85 s in all, blocks
// end at the loop and script frames), the main view
// zoomed in by the wheel and the pointer over the zoom window.
TEST(HostEditor, GoldenDisplayInEachColourMap) {
  const std::string folder = TestFolder();
  ASSERT_EQ(RunHost({"generate", folder + "/in.wav", "--seconds", "5"}).exitCode, 0);
  WriteTextFile(folder + "/transport.txt", "@88200 loop 88200 132300\n@176400 loop off\n");
  WriteTextFile(folder + "/script.txt",
                "# the demo music with a loop\n"
                "play 420\n"
                "wheel 300 200 2\n"
                "hover 60 395\n"
                "tick 1\n"
                "png " + folder + "/shot.png\n");
  const char* maps[] = {"pompeii", "thermal", "chlorine", "brrr"};
  for (int map = 0; map < 4; ++map) {
    const std::string set = "colormap=" + std::to_string(map / 3.0);
    // fontconfig keeps blocks it never frees inside the module, which the host
    // unloads before the sanitizer build's leak check could name them.
    HostRun run = RunProgram({KELVANE_HOST, "editor", KELVANE_MODULE, folder + "/in.wav", folder + "/script.txt",
                              "--transport", folder + "/transport.txt", "--set", set},
                             "ASAN_OPTIONS=detect_leaks=0");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "played 213776 of 220500 frames, 89 timer ticks, 1 screenshots\n");
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    ASSERT_TRUE(ReadPng(folder + "/shot.png", width, height, pixels));
    ASSERT_EQ(width, 640);
    ASSERT_EQ(height, 540);
    for (uint32_t p : pixels) ASSERT_EQ(p >> 24, 255u);  // opaque, as a window shows it
    std::vector<uint32_t> display = Crop(pixels, width);
    const std::string golden =
        std::string(KELVANE_SOURCE_DIR) + "/tests/host/golden/display-" + maps[map] + ".png";
    if (std::getenv("KELVANE_UPDATE_GOLDEN")) {
      ASSERT_TRUE(WritePng(golden, kRight - kLeft, kBottom - kTop, display));
    }
    int gw = 0, gh = 0;
    std::vector<uint32_t> expected;
    ASSERT_TRUE(ReadPng(golden, gw, gh, expected)) << golden;
    ASSERT_EQ(gw, kRight - kLeft);
    ASSERT_EQ(gh, kBottom - kTop);
    EXPECT_TRUE(display == expected) << maps[map] << " differs from " << golden << "; see " << folder << "/shot.png";
  }
}

}  // namespace
