// Editing with the mouse under Wine, for the i686 and the x86_64 Kelvane.dll:
// one Windows host process per build (batch) draws a segment and mutes it
// through the editor in a real window and again through the windowless probe,
// then renders with the state the window made. Against the Linux module: the
// same state bytes, the same pictures outside the text, and an engine that
// silences the drawn range. The window's pictures are the golden Wine ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "HostRunner.h"
#include "HostWine.h"
#include "tools/PngFile.h"

namespace {

constexpr int kWidth = 640, kHeight = 540;
const char* const kShots[] = {"mid", "end"};

// Music, then a click that makes a segment and a drag that pulls its end out
// to 0:02.1, the panel's "mute", a picture; more music, a picture.
constexpr const char* kScript =
    "play 100\n"
    "hover 150 120\n"
    "press 150 120\n"
    "release 150 120\n"
    "tick 1\n"
    "hover 182 120\n"
    "press 182 120\n"
    "drag 220 120\n"
    "drag 260 126\n"
    "release 260 126\n"
    "tick 1\n"
    "press 502 503\n"
    "release 502 503\n"
    "tick 2\n"
    "png {}mid.png\n"
    "play 100\n"
    "hover 300 300\n"
    "tick 2\n"
    "png {}end.png\n";

// The script with its pictures written to `prefix`NAME.png.
std::string ScriptFor(const std::string& prefix) {
  std::string text = kScript;
  for (size_t at; (at = text.find("{}")) != std::string::npos;) text.replace(at, 2, prefix);
  return text;
}

std::vector<uint32_t> ReadPicture(const std::string& path) {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  EXPECT_TRUE(ReadPng(path, width, height, pixels)) << path;
  EXPECT_TRUE(width == kWidth && height == kHeight) << path;
  pixels.resize(static_cast<size_t>(kWidth) * kHeight);
  return pixels;
}

// A rectangle of pixels, bounds inclusive.
struct Box {
  int left, top, right, bottom;
  int Width() const { return right - left + 1; }
  int Height() const { return bottom - top + 1; }
  bool Meets(const Box& o, int reach) const {
    return left - reach <= o.right && o.left - reach <= right && top - reach <= o.bottom && o.top - reach <= bottom;
  }
  bool Contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

// Glyphs this close belong to one text.
constexpr int kJoin = 3;

// The texts of a picture: its pixels that differ from the same picture drawn
// without fonts, grouped into one box per run of nearby glyphs.
std::vector<Box> TextBoxes(const std::vector<uint32_t>& withText, const std::vector<uint32_t>& withoutText) {
  std::vector<bool> near(withText.size(), false);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      if (withText[y * kWidth + x] == withoutText[y * kWidth + x]) continue;
      for (int v = std::max(0, y - kJoin); v <= std::min(kHeight - 1, y + kJoin); ++v)
        for (int u = std::max(0, x - kJoin); u <= std::min(kWidth - 1, x + kJoin); ++u) near[v * kWidth + u] = true;
    }
  std::vector<Box> boxes;
  std::vector<bool> seen(withText.size(), false);
  for (int start = 0; start < kWidth * kHeight; ++start) {
    if (!near[start] || seen[start]) continue;
    Box box{kWidth, kHeight, -1, -1};
    std::vector<int> stack{start};
    seen[start] = true;
    while (!stack.empty()) {
      const int at = stack.back();
      stack.pop_back();
      const int x = at % kWidth, y = at / kWidth;
      box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x), std::max(box.bottom, y)};
      const int next[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
      for (const auto& n : next) {
        if (n[0] < 0 || n[0] >= kWidth || n[1] < 0 || n[1] >= kHeight) continue;
        const int index = n[1] * kWidth + n[0];
        if (near[index] && !seen[index]) {
          seen[index] = true;
          stack.push_back(index);
        }
      }
    }
    // The grouping widened the glyphs by kJoin (less at the picture's edges).
    boxes.push_back({box.left == 0 ? 0 : box.left + kJoin, box.top == 0 ? 0 : box.top + kJoin,
                     box.right == kWidth - 1 ? box.right : box.right - kJoin,
                     box.bottom == kHeight - 1 ? box.bottom : box.bottom - kJoin});
  }
  return boxes;
}

std::string Dump(const std::string& state) { return RunHost({"state", "dump", state}).out; }

// "  start pos 35538 level ..." -> 35538
int64_t PointPos(const std::string& dump, const std::string& point) {
  const size_t at = dump.find("  " + point + " pos ");
  return at == std::string::npos ? -1 : std::atoll(dump.c_str() + at + point.size() + 7);
}

class HostWineEditing : public HostWine {};

TEST_P(HostWineEditing, MouseEditsInAWindowMatchLinuxAndTheEngineMutesThem) {
  const std::string dll = dllDir_ + "/Kelvane.dll";
  if (!FileExists(dll)) GTEST_SKIP() << "no " << dll;
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display for the window (run under xvfb-run)";
  const std::string folder = TestFolder() + "/";
  ASSERT_EQ(RunHost({"generate", folder + "in.wav", "--seconds", "3"}).exitCode, 0);

  // Linux: the module with its fonts, and without any (no text at all).
  WriteTextFile(folder + "linux.txt", ScriptFor(folder + "linux-"));
  WriteTextFile(folder + "notext.txt", ScriptFor(folder + "notext-"));
  WriteTextFile(folder + "no-fonts.conf", "<fontconfig></fontconfig>\n");
  HostRun linux = RunHost({"editor", KELVANE_MODULE, folder + "in.wav", folder + "linux.txt", "--save-state",
                           folder + "linux.state"});
  ASSERT_EQ(linux.exitCode, 0) << linux.err;
  HostRun notext = RunProgram({KELVANE_HOST, "editor", KELVANE_MODULE, folder + "in.wav", folder + "notext.txt"},
                              "FONTCONFIG_FILE='" + folder + "no-fonts.conf'");
  ASSERT_EQ(notext.exitCode, 0) << notext.err;

  // Windows, one process: the window, the probe, a render with the window's state.
  const std::string win = WindowsPath(folder) + "\\";
  WriteTextFile(folder + "window.txt", ScriptFor(win + "window-"));
  WriteTextFile(folder + "probe.txt", ScriptFor(win + "probe-"));
  const std::string module = WindowsPath(dll), in = win + "in.wav";
  WriteTextFile(folder + "batch.txt",
                "editor " + module + " " + in + " " + win + "window.txt --window --save-state " + win +
                    "window.state\n"
                    "editor " + module + " " + in + " " + win + "probe.txt --save-state " + win + "probe.state\n"
                    "process " + module + " " + in + " " + win + "out.wav --state " + win + "window.state\n");
  HostRun windows = RunProgram({"timeout", "1500", loader_, exe_, "batch", win + "batch.txt"}, kWineEnvironment);
  ASSERT_EQ(windows.exitCode, 0) << windows.out << windows.err;
  const std::vector<std::string> lines = Lines(windows.out);
  ASSERT_EQ(lines.size(), 6u) << windows.out;
  EXPECT_EQ(lines[0] + "\n", linux.out);  // the same frames played, ticks and screenshots
  EXPECT_EQ(lines[2] + "\n", linux.out);

  // The same edit everywhere, byte for byte: one segment, muted.
  const std::vector<uint8_t> state = ReadFileBytes(folder + "linux.state");
  EXPECT_EQ(ReadFileBytes(folder + "window.state"), state);
  EXPECT_EQ(ReadFileBytes(folder + "probe.state"), state);
  const std::string dump = Dump(folder + "window.state");
  EXPECT_NE(dump.find("count 1\n"), std::string::npos) << dump;
  EXPECT_NE(dump.find("  mute 1\n"), std::string::npos) << dump;

  // The Windows engine silences exactly the drawn range and passes the rest.
  const int64_t start = PointPos(dump, "start"), end = PointPos(dump, "end");
  ASSERT_GT(end - start, 44100) << dump;  // the drag pulled the end out (a click makes 0.6 s)
  const Wav input = ReadWavFile(folder + "in.wav"), output = ReadWavFile(folder + "out.wav");
  ASSERT_EQ(output.channels.size(), 2u);
  int64_t mismatches = 0, loudInRange = 0;
  for (size_t c = 0; c < 2; ++c) {
    ASSERT_EQ(output.channels[c].size(), input.channels[c].size());
    for (int64_t i = 0; i < static_cast<int64_t>(input.channels[c].size()); ++i) {
      const bool muted = i >= start && i < end;
      const double expected = muted ? 0.0 : input.channels[c][i];
      mismatches += std::memcmp(&output.channels[c][i], &expected, sizeof expected) != 0;
      loudInRange += muted && std::abs(input.channels[c][i]) > 0.01;
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(loudInRange, 1000);  // there was music to silence

  for (const char* shot : kShots) {
    SCOPED_TRACE(shot);
    const std::vector<uint32_t> window = ReadPicture(folder + "window-" + shot + ".png");
    for (uint32_t p : window) {
      ASSERT_EQ(p >> 24, 255u);
    }
    // The window shows exactly what the windowless editor draws.
    EXPECT_TRUE(window == ReadPicture(folder + "probe-" + shot + ".png"));

    // The golden picture, made under Wine with its fonts (fonts-liberation).
    const std::string golden = std::string(KELVANE_SOURCE_DIR) + "/tests/host/golden/wine-editor-" + shot + ".png";
    if (std::getenv("KELVANE_UPDATE_GOLDEN")) {
      ASSERT_TRUE(WritePng(golden, kWidth, kHeight, window));
    }
    EXPECT_TRUE(window == ReadPicture(golden)) << golden << "; see " << folder;

    // Outside the texts Windows draws what Linux draws. A Windows text must lie
    // over Linux texts, at most a quarter wider and 4 pixels taller than they
    // are together (another face's hinting), and every Linux text has its
    // Windows text.
    const std::vector<uint32_t> linuxShot = ReadPicture(folder + "linux-" + shot + ".png");
    const std::vector<uint32_t> bare = ReadPicture(folder + "notext-" + shot + ".png");
    const std::vector<Box> linuxTexts = TextBoxes(linuxShot, bare);
    std::vector<Box> texts = linuxTexts;
    std::vector<bool> answered(linuxTexts.size(), false);
    for (const Box& w : TextBoxes(window, bare)) {
      Box under{kWidth, kHeight, -1, -1};
      for (const Box& l : linuxTexts) {
        if (w.Meets(l, kJoin))
          under = {std::min(under.left, l.left), std::min(under.top, l.top), std::max(under.right, l.right),
                   std::max(under.bottom, l.bottom)};
      }
      const bool matched =
          under.right >= 0 && w.Width() <= under.Width() * 5 / 4 + 4 && w.Height() <= under.Height() + 4;
      EXPECT_TRUE(matched) << "a Windows text without its Linux text at " << w.left << "," << w.top << " to "
                           << w.right << "," << w.bottom;
      if (!matched) continue;
      texts.push_back(w);
      for (size_t i = 0; i < linuxTexts.size(); ++i) answered[i] = answered[i] || w.Meets(linuxTexts[i], kJoin);
    }
    EXPECT_EQ(std::count(answered.begin(), answered.end(), false), 0);
    EXPECT_GE(linuxTexts.size(), 30u);  // rulers, scales, panel
    int64_t masked = 0, outside = 0;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        const bool text = std::any_of(texts.begin(), texts.end(), [&](const Box& b) { return b.Contains(x, y); });
        masked += text;
        if (!text) outside += window[y * kWidth + x] != linuxShot[y * kWidth + x];
      }
    EXPECT_EQ(outside, 0) << "see " << folder;
    EXPECT_LT(masked, kWidth * kHeight / 20);  // text only: under 5 % of the editor
  }
}

INSTANTIATE_TEST_SUITE_P(Arch, HostWineEditing, ::testing::Values("win32", "win64"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
