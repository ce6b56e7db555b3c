// The Windows kelvane-host (i686 and x86_64 builds) under Wine: it must behave
// exactly like the Linux host, on our fake modules and on Kelvane.dll.
// A Windows build that is missing, or a Wine that cannot run it here, skips.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>

#include "HostRunner.h"
#include "HostWine.h"
#include "tools/PngFile.h"
#include "tools/TestEditor.h"

namespace fs = std::filesystem;

namespace {

struct Picture {
  std::vector<uint32_t> pixels;
};

Picture ReadPicture(const std::string& path) {
  Picture picture;
  int width = 0, height = 0;
  EXPECT_TRUE(ReadPng(path, width, height, picture.pixels)) << path;
  EXPECT_TRUE(width == 640 && height == 540) << path;
  return picture;
}

// The text line's rect with room for glyphs that overhang it.
bool InTextArea(int x, int y) {
  return x >= kTestEditorTextRect.left - 4 && x < kTestEditorTextRect.right + 4 &&
         y >= kTestEditorTextRect.top - 6 && y < kTestEditorTextRect.bottom + 6;
}

// The white text's bright pixels in the text area: count and bounds (inclusive).
struct TextInk {
  int count = 0, left = 640, top = 540, right = -1, bottom = -1;
};

TextInk InkOf(const Picture& picture) {
  TextInk ink;
  for (int y = 0; y < 540; ++y)
    for (int x = 0; x < 640; ++x) {
      const uint32_t p = picture.pixels.empty() ? 0 : picture.pixels[y * 640 + x];
      if (!InTextArea(x, y) || ((p >> 8) & 255) < 128) continue;
      ++ink.count;
      ink.left = std::min(ink.left, x), ink.right = std::max(ink.right, x);
      ink.top = std::min(ink.top, y), ink.bottom = std::max(ink.bottom, y);
    }
  return ink;
}

bool SameBits(const Wav& a, const Wav& b) {
  if (a.rate != b.rate || a.channels.size() != b.channels.size()) return false;
  for (size_t c = 0; c < a.channels.size(); ++c) {
    if (a.channels[c].size() != b.channels[c].size()) return false;
    if (std::memcmp(a.channels[c].data(), b.channels[c].data(), a.channels[c].size() * sizeof(double)) != 0)
      return false;
  }
  return true;
}

}  // namespace

TEST_P(HostWine, FakeModuleInfoMatchesTheLinuxHost) {
  HostRun windows = Run({"info", WindowsPath(Fake("FakePassThrough"))});
  ASSERT_EQ(windows.exitCode, 0) << windows.err;
  HostRun linux = RunHost({"info", FakeModule("FakePassThrough")});
  ASSERT_EQ(linux.exitCode, 0) << linux.err;
  EXPECT_EQ(windows.out, linux.out);
}

TEST_P(HostWine, ReaperStandInAnswersTheSame) {
  HostRun windows = Run({"info", WindowsPath(Fake("FakeProbe")), "--time-offset", "4.5", "--play-state", "6"});
  ASSERT_EQ(windows.exitCode, 0) << windows.err;
  HostRun linux = RunHost({"info", FakeModule("FakeProbe"), "--time-offset", "4.5", "--play-state", "6"});
  EXPECT_EQ(windows.out, linux.out);
  EXPECT_EQ(windows.err, "kelvane-host: SetEditCurPos(time=2.5, moveView=1, seekPlay=0)\n");
}

TEST_P(HostWine, FakeModulePassesAudioBitExactThroughMmioFiles) {
  std::string folder = TestFolder();
  Wav doubles = NoisyAudio(2, 7001, false, 21);
  WriteWavFile(folder + "/in64.wav", doubles, "f64");
  HostRun run = Run({"process", WindowsPath(Fake("FakePassThrough")), WindowsPath(folder + "/in64.wav"),
                     WindowsPath(folder + "/out64.wav"), "--block", "300"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(SameBits(doubles, ReadWavFile(folder + "/out64.wav")));

  Wav floats = NoisyAudio(2, 7001, true, 22);
  WriteWavFile(folder + "/in32.wav", floats, "f32");
  run = Run({"process", WindowsPath(Fake("FakePassThrough")), WindowsPath(folder + "/in32.wav"),
             WindowsPath(folder + "/out32.wav"), "--float"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(SameBits(floats, ReadWavFile(folder + "/out32.wav")));

  if (std::string(GetParam()) == "win32" && Emulated32Bit()) return;
  // 16-bit input is scaled as libsndfile scales it.
  WriteWavFile(folder + "/in16.wav", floats, "s16");
  run = Run({"process", WindowsPath(Fake("FakePassThrough")), WindowsPath(folder + "/in16.wav"),
             WindowsPath(folder + "/out16.wav")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(SameBits(ReadWavFile(folder + "/in16.wav"), ReadWavFile(folder + "/out16.wav")));
}

TEST_P(HostWine, BadInputGivesOneErrorLine) {
  if (std::string(GetParam()) == "win32" && Emulated32Bit())
    GTEST_SKIP() << "32-bit programs run under qemu here; this check does not depend on the architecture "
                    "and runs with the x86_64 host";
  std::string folder = TestFolder();
  WriteTextFile(folder + "/text.dll", "not a module");
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"info", WindowsPath(folder + "/text.dll")},
           {"info", WindowsPath(folder + "/missing.dll")},
           {"process", WindowsPath(Fake("FakePassThrough")), WindowsPath(folder + "/text.dll"),
            WindowsPath(folder + "/o.wav")},
           {"info"},
       }) {
    HostRun run = Run(args);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_FALSE(run.crashed);
    ASSERT_EQ(Lines(run.err).size(), 1u) << run.err;
    EXPECT_EQ(run.err.rfind("kelvane-host: error: ", 0), 0u) << run.err;
  }
}

TEST_P(HostWine, KelvaneInfoMatchesTheLinuxModule) {
  std::string dll = dllDir_ + "/Kelvane.dll";
  if (!FileExists(dll)) GTEST_SKIP() << "no " << dll;
  HostRun linux = RunHost({"info", KELVANE_MODULE});
  if (linux.err.find("exports neither") != std::string::npos)
    GTEST_SKIP() << "the Kelvane module in this build has no VST 2 entry point yet";
  ASSERT_EQ(linux.exitCode, 0) << linux.err;
  HostRun windows = Run({"info", WindowsPath(dll)});
  ASSERT_EQ(windows.exitCode, 0) << windows.err;
  EXPECT_EQ(windows.out, linux.out);
  EXPECT_NE(windows.out.find("identify: 1316373862\n"), std::string::npos) << windows.out;
}

TEST_P(HostWine, KelvanePassesAudioBitExactInBothPrecisions) {
  std::string dll = dllDir_ + "/Kelvane.dll";
  if (!FileExists(dll)) GTEST_SKIP() << "no " << dll;
  if (RunHost({"info", KELVANE_MODULE}).err.find("exports neither") != std::string::npos)
    GTEST_SKIP() << "the Kelvane module in this build has no VST 2 entry point yet";
  std::string folder = TestFolder();
  Wav doubles = PlainAudio(2, 12000, false, 31);
  Wav floats = PlainAudio(2, 12000, true, 32);
  WriteWavFile(folder + "/in64.wav", doubles, "f64");
  WriteWavFile(folder + "/in32.wav", floats, "f32");
  HostRun run = Run({"process", WindowsPath(dll), WindowsPath(folder + "/in64.wav"), WindowsPath(folder + "/d.wav"),
                     "--save-state", WindowsPath(folder + "/win.state")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(SameBits(doubles, ReadWavFile(folder + "/d.wav")));
  run = Run({"process", WindowsPath(dll), WindowsPath(folder + "/in32.wav"), WindowsPath(folder + "/f.wav"), "--float",
             "--block", "100"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(SameBits(floats, ReadWavFile(folder + "/f.wav")));
  // The Windows module's state is the Linux module's state, byte for byte.
  HostRun save = RunHost({"state", "save", KELVANE_MODULE, folder + "/linux.state"});
  ASSERT_EQ(save.exitCode, 0) << save.err;
  EXPECT_EQ(ReadFileBytes(folder + "/win.state"), ReadFileBytes(folder + "/linux.state"));
}

namespace {

// "PASS name (seed 5): ..." lines as name -> verdict.
std::map<std::string, std::string> Verdicts(const std::string& out) {
  std::map<std::string, std::string> verdicts;
  for (const std::string& line : Lines(out)) {
    size_t seed = line.find(" (seed ");
    if (seed != std::string::npos && line.size() > 5) verdicts[line.substr(5, seed - 5)] = line.substr(0, 4);
  }
  return verdicts;
}

}  // namespace

// One Wine process per build: the quick validation of Kelvane.dll gives the
// Linux module's verdicts (the allocation counter works on both systems).
TEST_P(HostWine, ValidatorJudgesKelvaneLikeTheLinuxModule) {
  std::string dll = dllDir_ + "/Kelvane.dll";
  if (!FileExists(dll)) GTEST_SKIP() << "no " << dll;
  HostRun windows = Run({"validate", WindowsPath(dll), "--quick", "--seed", "5"});
  HostRun linux = RunHost({"validate", KELVANE_MODULE, "--quick", "--seed", "5"});
  ASSERT_FALSE(windows.crashed) << windows.out << windows.err;
  std::map<std::string, std::string> expected = Verdicts(linux.out), got = Verdicts(windows.out);
  ASSERT_GE(expected.size(), 12u) << linux.out;
  if (expected["allocations"] == "SKIP") expected["allocations"] = "PASS";  // a sanitizer build cannot count
  EXPECT_EQ(got, expected) << windows.out << "\n---- Linux:\n" << linux.out;
  EXPECT_EQ(windows.exitCode, linux.exitCode);
}

// The allocation counter redirects the DLL's imports on Windows: a fake that
// allocates in its process call is caught.
TEST_P(HostWine, ValidatorCountsAllocationsOfADll) {
  if (std::string(GetParam()) == "win32" && Emulated32Bit())
    GTEST_SKIP() << "32-bit programs run under qemu here; the x86_64 host shows the counter at work";
  HostRun run = RunProgram({loader_, exe_, "validate", WindowsPath(Fake("FakeFaulty")), "--quick", "--seed", "5",
                            "--check", "allocations"},
                           kWineEnvironment + " FAKE_FAULT=allocate");
  EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
  EXPECT_NE(run.out.find("FAIL allocations (seed 5)"), std::string::npos) << run.out;
}

// The test editor drawn by the Windows host with the Windows code (GDI text and
// its alpha handling, the DIB-section surface, the PNG resources, the REAPER
// stand-in's image objects in MSVC's layout, thiscall on i686), against the
// Linux host's picture: the same pixels outside the text, text in both.
TEST_P(HostWine, DrawsTheTestEditorLikeLinux) {
  std::string folder = TestFolder();
  HostRun linux = RunHost({"draw-test", folder + "/linux-reaper.png", folder + "/linux-plain.png"});
  ASSERT_EQ(linux.exitCode, 0) << linux.err;
  HostRun windows = Run({"draw-test", WindowsPath(folder + "/win-reaper.png"), WindowsPath(folder + "/win-plain.png")});
  ASSERT_EQ(windows.exitCode, 0) << windows.err;
  std::vector<std::string> linuxLines = Lines(linux.out), windowsLines = Lines(windows.out);
  ASSERT_EQ(linuxLines.size(), 2u) << linux.out;
  ASSERT_EQ(windowsLines.size(), 2u) << windows.out;
  // Windows fetches the images through the host's loader when it offers one, and decodes its own otherwise.
  EXPECT_NE(windowsLines[0].find(" images from the host's loader, "), std::string::npos) << windowsLines[0];
  EXPECT_NE(windowsLines[1].find("images decoded from the plug-in's own resources, "), std::string::npos)
      << windowsLines[1];
  // The surface's alpha (text keeps what lies under it) is the same everywhere.
  auto alphaPart = [](const std::string& text) { return text.substr(std::min(text.find("alpha: "), text.size())); };
  for (int i = 0; i < 2; ++i) EXPECT_EQ(alphaPart(windowsLines[i]), alphaPart(linuxLines[0])) << windowsLines[i];
  EXPECT_EQ(alphaPart(linuxLines[1]), alphaPart(linuxLines[0]));
  EXPECT_EQ(alphaPart(linuxLines[0]).rfind("alpha: 0 pixels", 0), std::string::npos) << "nothing to compare";

  Picture reference = ReadPicture(folder + "/linux-reaper.png");
  ASSERT_EQ(reference.pixels.size(), 640u * 540u);
  EXPECT_EQ(ReadPicture(folder + "/linux-plain.png").pixels, reference.pixels);
  const TextInk linuxInk = InkOf(reference);
  ASSERT_GT(linuxInk.count, 200);
  for (const char* name : {"/win-reaper.png", "/win-plain.png"}) {
    SCOPED_TRACE(name);
    Picture picture = ReadPicture(folder + name);
    ASSERT_EQ(picture.pixels.size(), reference.pixels.size());
    int differing = 0;
    for (int y = 0; y < 540; ++y)
      for (int x = 0; x < 640; ++x)
        if (!InTextArea(x, y)) differing += picture.pixels[y * 640 + x] != reference.pixels[y * 640 + x];
    EXPECT_EQ(differing, 0);
    // Text of about the same extent: the same string in a metric-compatible face.
    const TextInk ink = InkOf(picture);
    EXPECT_GT(ink.count, linuxInk.count / 2);
    EXPECT_NEAR(ink.left, linuxInk.left, 3);
    EXPECT_NEAR(ink.right, linuxInk.right, (linuxInk.right - linuxInk.left) / 10);
    EXPECT_NEAR(ink.top, linuxInk.top, 3);
    EXPECT_NEAR(ink.bottom, linuxInk.bottom, 3);
  }
}

INSTANTIATE_TEST_SUITE_P(Arch, HostWine, ::testing::Values("win32", "win64"),
                         [](const auto& info) { return std::string(info.param); });
