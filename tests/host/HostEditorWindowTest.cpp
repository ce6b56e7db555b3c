// kelvane-host editor --window: the module's editor in a real X11 window of a
// private X server, the script replayed as real pointer input, screenshots
// read back from the server. They must equal the pictures of the same script
// without a window.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "HostRunner.h"
#include "tests/x11/PrivateXServer.h"
#include "tools/PngFile.h"

namespace {

// The editor draws text with fontconfig, whose blocks the sanitizer's leak
// check cannot name once the module is unloaded: the host runs without it.
HostRun RunEditorHost(std::vector<std::string> args) {
  args.insert(args.begin(), KELVANE_HOST);
  return RunProgram(args, "ASAN_OPTIONS=detect_leaks=0");
}

std::string ReadText(const std::string& path) {
  std::vector<uint8_t> bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

std::vector<uint32_t> ReadPicture(const std::string& path) {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  EXPECT_TRUE(ReadPng(path, width, height, pixels)) << path;
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 540);
  return pixels;
}

TEST(HostEditorWindow, TheScriptThroughAWindowDrawsWhatItDrawsWithout) {
  if (!PrivateXServer::Shared().Connection()) GTEST_SKIP() << "no Xvfb to run an X server";
  const std::string folder = TestFolder();
  ASSERT_EQ(RunHost({"generate", folder + "/in.wav", "--seconds", "2"}).exitCode, 0);
  // Music playing, the knob dragged, turned and double-clicked back, "reset"
  // held for a picture, the main view zoomed, the pointer gone.
  const std::string script =
      "play 60\n"
      "hover 198 494\n"
      "press 198 494\n"
      "drag 198 480\n"
      "drag 198 460\n"
      "release 198 460\n"
      "wheel 198 494 2\n"
      "press 240 494\n"
      "tick 2\n"
      "png {}/held.png\n"
      "release 240 494\n"
      "double 198 494\n"
      "wheel 300 200 1\n"
      "hover 60 395\n"
      "play 40\n"
      "leave\n"
      "tick 2\n"
      "png {}/end.png\n";
  for (const char* mode : {"headless", "window"}) {
    std::string text = script;
    for (size_t at; (at = text.find("{}")) != std::string::npos;) text.replace(at, 2, folder + "/" + mode);
    std::filesystem::create_directories(folder + "/" + mode);
    WriteTextFile(folder + "/" + mode + ".txt", text);
  }
  HostRun headless = RunEditorHost({"editor", KELVANE_MODULE, folder + "/in.wav", folder + "/headless.txt"});
  ASSERT_EQ(headless.exitCode, 0) << headless.err;
  HostRun window = RunEditorHost({"editor", KELVANE_MODULE, folder + "/in.wav", folder + "/window.txt", "--window"});
  ASSERT_EQ(window.exitCode, 0) << window.err;
  EXPECT_EQ(window.out, headless.out);
  for (const char* shot : {"held.png", "end.png"}) {
    std::vector<uint32_t> expected = ReadPicture(folder + "/headless/" + shot);
    std::vector<uint32_t> actual = ReadPicture(folder + "/window/" + shot);
    EXPECT_TRUE(actual == expected) << shot << ": see " << folder;
  }
  // The held button shows in the picture; the two runs are not both blank.
  EXPECT_NE(ReadPicture(folder + "/window/held.png"), ReadPicture(folder + "/window/end.png"));

  // Without an X server the command says so.
  HostRun none = RunProgram({KELVANE_HOST, "editor", KELVANE_MODULE, folder + "/in.wav", folder + "/window.txt",
                             "--window"},
                            "DISPLAY=:9999 ASAN_OPTIONS=detect_leaks=0");
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_NE(none.err.find("cannot open the X display"), std::string::npos) << none.err;
}

// The demo's editor session: shapes drawn and edited with the mouse over a
// looped passage, through the window as through the probe.
TEST(HostEditorWindow, ShapesDrawnWithTheMouseInAWindowAreTheHeadlessOnes) {
  if (!PrivateXServer::Shared().Connection()) GTEST_SKIP() << "no Xvfb to run an X server";
  const std::string folder = TestFolder();
  const std::string scripts = std::string(KELVANE_SOURCE_DIR) + "/scripts/";
  ASSERT_EQ(RunHost({"generate", folder + "/music.wav", "--seconds", "10"}).exitCode, 0);
  std::string session = ReadText(scripts + "demo-mouse.txt");
  // Its screenshot line, wherever it writes.
  const size_t png = session.find("\npng ") + 1;
  ASSERT_GT(png, 0u);
  const size_t pngEnd = session.find('\n', png);
  for (const char* mode : {"headless", "window"}) {
    std::string text = session;
    text.replace(png, pngEnd - png, "png " + folder + "/" + mode + ".png");
    WriteTextFile(folder + "/" + mode + ".txt", text);
    std::vector<std::string> args{"editor",   KELVANE_MODULE, folder + "/music.wav", folder + "/" + mode + ".txt",
                                  "--transport", scripts + "demo-loop.txt"};
    if (std::string(mode) == "window") args.push_back("--window");
    HostRun run = RunEditorHost(args);
    ASSERT_EQ(run.exitCode, 0) << mode << ": " << run.err;
  }
  EXPECT_TRUE(ReadPicture(folder + "/window.png") == ReadPicture(folder + "/headless.png")) << "see " << folder;
}

}  // namespace
