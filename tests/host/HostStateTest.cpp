// Saved states: save and load through a module, and the readable text form
// (dump and make) with its exact round trip.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "HostRunner.h"
#include "SavedState.h"
#include "SavedStateText.h"

namespace {

int32_t I32At(const std::vector<uint8_t>& b, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(b[at + static_cast<size_t>(i)]) << (8 * i);
  return static_cast<int32_t>(v);
}

double F64At(const std::vector<uint8_t>& b, size_t at) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(b[at + static_cast<size_t>(i)]) << (8 * i);
  double d;
  std::memcpy(&d, &v, sizeof d);
  return d;
}

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
  std::vector<uint8_t> bytes(n);
  for (auto& b : bytes) {
    seed = seed * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(seed >> 24);
  }
  return bytes;
}

std::vector<uint8_t> Header(int32_t count) {
  SavedState s;
  s.tag = kStateTag;
  s.bright = 1.0;
  s.colormap = 3.0;
  s.count = count;
  return SerialiseSavedState(s);
}

}  // namespace

TEST(HostState, SaveAndLoadThroughTheModule) {
  std::string folder = TestFolder();
  std::string module = FakeModule("FakePassThrough");
  HostRun save = RunHost({"state", "save", module, folder + "/a.state", "--set", "gain=0.75", "--set", "mode=0"});
  ASSERT_EQ(save.exitCode, 0) << save.err;
  EXPECT_EQ(save.out, "saved 12 bytes to " + folder + "/a.state\n");
  HostRun load = RunHost({"state", "load", module, folder + "/a.state"});
  ASSERT_EQ(load.exitCode, 0) << load.err;
  EXPECT_EQ(load.out,
            "effSetChunk accepted 12 bytes\n"
            "param   0: name \"gain\" label \"dB\" display \"6.0\" value 0.75\n"
            "param   1: name \"mode\" label \"\" display \"narrow\" value 0\n");
  // Saving what was loaded gives the same bytes.
  HostRun again = RunHost({"state", "save", module, folder + "/b.state", "--state", folder + "/a.state"});
  ASSERT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(ReadFileBytes(folder + "/b.state"), ReadFileBytes(folder + "/a.state"));

  WriteFileBytes(folder + "/bad.state", {'B', 'A', 'D', '!'});
  HostRun rejected = RunHost({"state", "load", module, folder + "/bad.state"});
  EXPECT_EQ(rejected.exitCode, 1);
  EXPECT_EQ(rejected.out, "");
  EXPECT_EQ(rejected.err, "kelvane-host: error: the module rejected the state in " + folder +
                              "/bad.state (effSetChunk returned 0)\n");
  HostRun missing = RunHost({"state", "load", module, folder + "/none.state"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(Lines(missing.err).size(), 1u);
}

TEST(HostState, MakeFillsRecordDefaultsAtTheirOffsets) {
  SavedState state = MakeSavedState("bright 2.5\nsegment 0\n  start pos 100 level 0.5\n  end pos 900\nsegment\n  mute 1\n");
  std::vector<uint8_t> b = SerialiseSavedState(state);
  ASSERT_EQ(b.size(), 24u + 2 * 128u);
  EXPECT_EQ(I32At(b, 0), 1001);
  EXPECT_EQ(F64At(b, 4), 2.5);
  EXPECT_EQ(F64At(b, 12), 3.0);
  EXPECT_EQ(I32At(b, 20), 2);
  const size_t r = 24;
  EXPECT_EQ(b[r + 0], 1);  // visible
  EXPECT_EQ(b[r + 1], 1);  // selected
  EXPECT_EQ(b[r + 2], 0);  // bypass
  EXPECT_EQ(b[r + 3], 0);  // mute
  EXPECT_EQ(F64At(b, r + 8), 0.5);
  EXPECT_EQ(F64At(b, r + 16), 1.0);
  EXPECT_EQ(F64At(b, r + 24), 0.5);
  EXPECT_EQ(I32At(b, r + 32), 100);          // start.pos
  EXPECT_EQ(F64At(b, r + 32 + 8), 0.5);      // start.level
  EXPECT_EQ(b[r + 32 + 28], 0);              // start.hit
  EXPECT_EQ(b[r + 32 + 29], 1);              // start.negShown
  EXPECT_EQ(b[r + 32 + 30], 1);              // start.posShown
  EXPECT_EQ(I32At(b, r + 64), 0);            // control.pos
  EXPECT_EQ(I32At(b, r + 96), 900);          // end.pos
  EXPECT_EQ(b[r + 128 + 3], 1);              // second record: mute
  EXPECT_EQ(F64At(b, r + 128 + 16), 1.0);    // second record: clip
  // A bare text is a fresh instance's state: 24 bytes.
  EXPECT_EQ(SerialiseSavedState(MakeSavedState("")), Header(0));
}

TEST(HostState, DumpShowsEveryField) {
  SavedState state = MakeSavedState(
      "tag 1001\nbright 0.1\ncolormap 0\nsegment 0\nvisible 0\nselected 0\nbypass 1\nmute 0\nfollow 0.25\nclip 0\n"
      "blend 1\nstart pos -5 level 0.1 x 11 yNeg 12 yPos 13 hit 1 negShown 0 posShown 0\n"
      "control pos 7 level 1e-300 x -1 yNeg -2 yPos -3 hit 0 negShown 1 posShown 0\n"
      "end pos 2147483647 level 63.99 x 0 yNeg 0 yPos 0 hit 0 negShown 0 posShown 1\n");
  std::string text = DumpSavedState(state);
  EXPECT_EQ(text,
            "# Kelvane saved state: 152 bytes, 1 complete segment records\n"
            "tag 1001\nbright 0.10000000000000001\ncolormap 0\ncount 1\nsegment 0\n"
            "  visible 0\n  selected 0\n  bypass 1\n  mute 0\n"
            "  follow 0.25\n  clip 0\n  blend 1\n"
            "  start pos -5 level 0.10000000000000001 x 11 yNeg 12 yPos 13 hit 1 negShown 0 posShown 0\n"
            "  control pos 7 level 1e-300 x -1 yNeg -2 yPos -3 hit 0 negShown 1 posShown 0\n"
            "  end pos 2147483647 level 63.990000000000002 x 0 yNeg 0 yPos 0 hit 0 negShown 0 posShown 1\n");
}

TEST(HostState, DumpThenMakeGivesBackEveryByte) {
  // Well-formed states with random records (random padding, NaNs with payloads and
  // all), a short header, an empty file, and states whose records do not add up.
  std::vector<std::vector<uint8_t>> cases;
  for (int32_t n : {0, 1, 3}) {
    std::vector<uint8_t> bytes = Header(n);
    std::vector<uint8_t> records = RandomBytes(128u * static_cast<size_t>(n), static_cast<uint32_t>(n) + 7);
    bytes.insert(bytes.end(), records.begin(), records.end());
    cases.push_back(bytes);
  }
  std::vector<uint8_t> nanState = Header(1);
  std::vector<uint8_t> record(128, 0);
  uint64_t nanBits = 0x7ff4000000000123ull;
  std::memcpy(record.data() + 8, &nanBits, 8);
  double inf = -INFINITY;
  std::memcpy(record.data() + 40, &inf, 8);
  nanState.insert(nanState.end(), record.begin(), record.end());
  cases.push_back(nanState);
  std::vector<uint8_t> shortRecords = Header(3);
  std::vector<uint8_t> partial = RandomBytes(128 + 77, 99);
  shortRecords.insert(shortRecords.end(), partial.begin(), partial.end());
  cases.push_back(shortRecords);
  std::vector<uint8_t> negative = Header(-4);
  negative.push_back(0xab);
  cases.push_back(negative);
  const std::vector<uint8_t> empty = Header(0);
  cases.push_back(std::vector<uint8_t>(empty.begin(), empty.begin() + 20));
  cases.push_back(std::vector<uint8_t>(empty.begin(), empty.begin() + 15));
  cases.push_back({0xe9, 0x03});
  cases.push_back({});

  std::string folder = TestFolder();
  for (size_t k = 0; k < cases.size(); ++k) {
    SCOPED_TRACE("case " + std::to_string(k));
    std::string base = folder + "/case" + std::to_string(k);
    WriteFileBytes(base + ".state", cases[k]);
    HostRun dump = RunHost({"state", "dump", base + ".state"});
    ASSERT_EQ(dump.exitCode, 0) << dump.err;
    WriteTextFile(base + ".txt", dump.out);
    HostRun make = RunHost({"state", "make", base + ".txt", base + ".made"});
    ASSERT_EQ(make.exitCode, 0) << make.err << dump.out;
    EXPECT_EQ(ReadFileBytes(base + ".made"), cases[k]) << dump.out;
  }
}

TEST(HostState, MakeRejectsBadTextWithTheLine) {
  std::string folder = TestFolder();
  for (const char* text : {"bright abc\n", "follow 0.5\n", "segment 0\nstart pos 1 level\n", "segment 1\n",
                           "segment 0\nstart size 3\n", "segment 0\npadding 00\n", "trailing 0g\n", "wobble 1\n",
                           "tag none\nbright 2\n", "segment 0\nvisible 256\n", "count 1 2\n"}) {
    WriteTextFile(folder + "/bad.txt", text);
    HostRun run = RunHost({"state", "make", folder + "/bad.txt", folder + "/out.state"});
    EXPECT_EQ(run.exitCode, 1) << text;
    EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
    EXPECT_FALSE(FileExists(folder + "/out.state")) << text;
  }
  WriteTextFile(folder + "/bad.txt", "tag 1001\n\nsegment 0\n  follow x\n");
  HostRun run = RunHost({"state", "make", folder + "/bad.txt", folder + "/out.state"});
  EXPECT_EQ(run.err, "kelvane-host: error: state text line 4: bad follow 'x'\n");
}
