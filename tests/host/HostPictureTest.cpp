// kelvane-host plot and annotate: the pictures of the manual, checked pixel by
// pixel where the geometry is exact.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "HostRunner.h"
#include "tools/PngFile.h"

namespace {

constexpr uint32_t kWave = 0xFF2E60B0;       // 46, 96, 176
constexpr uint32_t kPanelFill = 0xFFF7F7F7;
constexpr uint32_t kMarkerFill = 0xFFCC2424;  // 204, 36, 36
constexpr uint32_t kBlack = 0xFF000000;

struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)]; }
};

Picture Load(const std::string& path) {
  Picture p;
  EXPECT_TRUE(ReadPng(path, p.width, p.height, p.pixels)) << path;
  return p;
}

}  // namespace

// One second: silence, then 0.25 s .. 0.75 s at +0.5 on both channels. A
// 400-pixel plot has a 336-column panel at x 52..387, y 8..107, with 0.5 at
// row 33 and 0 at row 58: every column holds one wave line from its highest
// to its lowest sample.
TEST(HostPlot, EachColumnSpansItsLowestToItsHighestSample) {
  const std::string dir = TestFolder();
  Wav wav;
  wav.channels.assign(2, std::vector<double>(44100, 0.0));
  for (int i = 11025; i < 33075; ++i) wav.channels[0][i] = wav.channels[1][i] = 0.5;
  WriteWavFile(dir + "/step.wav", wav, "f32");

  HostRun run = RunHost({"plot", dir + "/step.png", dir + "/step.wav", "--width", "400", "--height", "100"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "wrote " + dir + "/step.png: 400x138, 1 waveforms, 0.000 s to 1.000 s\n");
  Picture p = Load(dir + "/step.png");
  ASSERT_EQ(p.width, 400);
  ASSERT_EQ(p.height, 138);
  const struct {
    int x;      // column: 52 + seconds * 336
    int top;    // first wave row
    int bottom; // last wave row
  } kColumns[] = {{85, 58, 58}, {220, 33, 58}, {300, 33, 58}, {355, 58, 58}};
  for (const auto& c : kColumns) {
    for (int y = 9; y < 107; ++y) {
      const bool wave = y >= c.top && y <= c.bottom;
      EXPECT_EQ(p.At(c.x, y) == kWave, wave) << "column " << c.x << " row " << y;
    }
  }
  EXPECT_EQ(p.At(85, 40), kPanelFill);

  HostRun backwards = RunHost({"plot", dir + "/bad.png", dir + "/step.wav", "--from", "0.5", "--to", "0.2"});
  EXPECT_EQ(backwards.exitCode, 2);
  EXPECT_FALSE(FileExists(dir + "/bad.png"));
}

// The crop keeps source pixels (x0 + x / scale, y0 + y / scale); markers are
// placed in the uncropped picture's coordinates.
TEST(HostAnnotate, CropsEnlargesAndNumbers) {
  const std::string dir = TestFolder();
  std::vector<uint32_t> source(40 * 40);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) source[static_cast<size_t>(y * 40 + x)] = 0xFF000000u | static_cast<uint32_t>(x << 16 | y << 8);
  ASSERT_TRUE(WritePng(dir + "/in.png", 40, 40, source));

  HostRun crop = RunHost({"annotate", dir + "/in.png", dir + "/crop.png", "--crop", "5,2,4,3", "--scale", "2"});
  ASSERT_EQ(crop.exitCode, 0) << crop.err;
  Picture c = Load(dir + "/crop.png");
  ASSERT_EQ(c.width, 8);
  ASSERT_EQ(c.height, 6);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(c.At(x, y), source[static_cast<size_t>((2 + y / 2) * 40 + 5 + x / 2)]) << x << "," << y;

  std::vector<uint32_t> black(60 * 60, kBlack);
  ASSERT_TRUE(WritePng(dir + "/black.png", 60, 60, black));
  HostRun marked = RunHost({"annotate", dir + "/black.png", dir + "/marked.png", "1:30:30", "--crop", "10,10,40,40"});
  ASSERT_EQ(marked.exitCode, 0) << marked.err;
  Picture m = Load(dir + "/marked.png");
  ASSERT_EQ(m.width, 40);
  EXPECT_EQ(m.At(13, 20), kMarkerFill);  // inside the disc around (20, 20), left of the digit
  EXPECT_EQ(m.At(27, 23), kMarkerFill);
  EXPECT_EQ(m.At(20, 33), kBlack);       // beyond the rim
  EXPECT_EQ(m.At(5, 5), kBlack);

  HostRun outside = RunHost({"annotate", dir + "/in.png", dir + "/out.png", "--crop", "30,30,20,20"});
  EXPECT_EQ(outside.exitCode, 2);
  EXPECT_FALSE(FileExists(dir + "/out.png"));
}
