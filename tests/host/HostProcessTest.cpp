// kelvane-host process: exact pass-through in both precisions, block sizes,
// the transport the module sees, transport scripts, state around processing.
#include <gtest/gtest.h>

#include <sndfile.h>

#include <algorithm>
#include <cstring>

#include "HostRunner.h"
#include "TransportScript.h"

namespace {

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void ExpectSameAudio(const Wav& expected, const Wav& actual) {
  ASSERT_EQ(actual.rate, expected.rate);
  ASSERT_EQ(actual.channels.size(), expected.channels.size());
  for (size_t c = 0; c < expected.channels.size(); ++c) {
    ASSERT_EQ(actual.channels[c].size(), expected.channels[c].size());
    size_t differing = 0;
    for (size_t i = 0; i < expected.channels[c].size(); ++i)
      if (!SameBits(expected.channels[c][i], actual.channels[c][i])) ++differing;
    EXPECT_EQ(differing, 0u) << "channel " << c;
  }
}

// The probe writes, per sample: position, block frames, tempo (-1: none), time-info flags.
struct ProbeFrame {
  double pos, frames, tempo;
  int flags;
};

std::vector<ProbeFrame> RunProbe(const std::string& folder, int frames, const std::vector<std::string>& options) {
  Wav silence;
  silence.rate = 44100;
  silence.channels.assign(2, std::vector<double>(static_cast<size_t>(frames)));
  WriteWavFile(folder + "/in.wav", silence, "f32");
  std::vector<std::string> args{"process", FakeModule("FakeProbe"), folder + "/in.wav", folder + "/out.wav"};
  args.insert(args.end(), options.begin(), options.end());
  HostRun run = RunHost(args);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  Wav out = ReadWavFile(folder + "/out.wav");
  std::vector<ProbeFrame> result;
  if (out.channels.size() != 4) {
    ADD_FAILURE() << "probe output has " << out.channels.size() << " channels";
    return result;
  }
  for (size_t i = 0; i < out.channels[0].size(); ++i)
    result.push_back({out.channels[0][i], out.channels[1][i], out.channels[2][i], static_cast<int>(out.channels[3][i])});
  return result;
}

}  // namespace

TEST(HostProcess, DoublePathPassesEveryBit) {
  std::string folder = TestFolder();
  Wav in = NoisyAudio(2, 10007, false, 1);
  WriteWavFile(folder + "/in.wav", in, "f64");
  for (const char* block : {"512", "1", "10007", "333"}) {
    HostRun run = RunHost({"process", FakeModule("FakePassThrough"), folder + "/in.wav", folder + "/out.wav", "--block",
                           block});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "processed 10007 frames, 2 in / 2 out channels, 48000 Hz, processDoubleReplacing\n");
    SCOPED_TRACE(block);
    ExpectSameAudio(in, ReadWavFile(folder + "/out.wav"));
  }
}

TEST(HostProcess, FloatPathPassesEveryBit) {
  std::string folder = TestFolder();
  Wav in = NoisyAudio(2, 5000, true, 2);
  WriteWavFile(folder + "/in.wav", in, "f32");
  HostRun run = RunHost({"process", FakeModule("FakePassThrough"), folder + "/in.wav", folder + "/out.wav", "--float",
                         "--block", "256"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(run.out.find("processReplacing") != std::string::npos);
  ExpectSameAudio(in, ReadWavFile(folder + "/out.wav"));
  // Float results stored as doubles are the same values.
  run = RunHost({"process", FakeModule("FakePassThrough"), folder + "/in.wav", folder + "/out64.wav", "--float",
                 "--format", "f64"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  ExpectSameAudio(in, ReadWavFile(folder + "/out64.wav"));
}

// FakeDelay delays its audio by the 100 frames it declares, and delays the
// position it was told alike: compensated, its output lines up with the input,
// and each input frame t came with position start - 100 + t, as in a DAW.
TEST(HostProcess, DeclaredLatencyIsCompensatedLikeADaw) {
  std::string folder = TestFolder();
  Wav in = NoisyAudio(2, 3001, true, 5);
  WriteWavFile(folder + "/in.wav", in, "f32");
  for (bool single : {false, true}) {
    for (const char* block : {"512", "1", "64", "100", "3001"}) {
      std::vector<std::string> args{"process", FakeModule("FakeDelay"), folder + "/in.wav", folder + "/out.wav",
                                    "--block", block, "--start", "5000"};
      if (single) args.push_back("--float");
      HostRun run = RunHost(args);
      ASSERT_EQ(run.exitCode, 0) << run.err;
      EXPECT_NE(run.out.find("compensated a latency of 100 frames\n"), std::string::npos) << run.out;
      Wav out = ReadWavFile(folder + "/out.wav");
      ASSERT_EQ(out.channels.size(), 2u);
      ASSERT_EQ(out.channels[0].size(), in.channels[0].size());
      size_t wrongAudio = 0, wrongPosition = 0;
      for (size_t t = 0; t < out.channels[0].size(); ++t) {
        wrongAudio += !SameBits(out.channels[0][t], in.channels[0][t]);
        wrongPosition += out.channels[1][t] != 4900.0 + static_cast<double>(t);
      }
      EXPECT_EQ(wrongAudio, 0u) << "block " << block << (single ? " float" : " double");
      EXPECT_EQ(wrongPosition, 0u) << "block " << block << (single ? " float" : " double");
    }
  }
}

TEST(HostProcess, ListeningCopyIs16BitPcmClippedAtFullScale) {
  std::string folder = TestFolder();
  const std::vector<double> values{0.0, 0.5, -0.5, 0.25 + 0.3 / 32768, 1.0 / 32768, 0.999, -0.999, 1.0, -1.0, 2.0, -3.0};
  Wav in;
  in.channels = {values, values};
  WriteWavFile(folder + "/in.wav", in, "f64");
  HostRun run = RunHost({"process", FakeModule("FakePassThrough"), folder + "/in.wav", folder + "/listen.wav",
                         "--format", "s16"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  SF_INFO info{};
  SNDFILE* file = sf_open((folder + "/listen.wav").c_str(), SFM_READ, &info);
  ASSERT_NE(file, nullptr);
  sf_close(file);
  EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  Wav out = ReadWavFile(folder + "/listen.wav");
  ASSERT_EQ(out.channels.size(), 2u);
  ASSERT_EQ(out.channels[0].size(), values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    const double expected = std::clamp(values[i], -1.0, 1.0);
    EXPECT_NEAR(out.channels[1][i], expected, 1.0 / 32768) << values[i];
  }
  EXPECT_EQ(RunHost({"process", FakeModule("FakePassThrough"), folder + "/in.wav", folder + "/x.wav", "--format",
                     "s24"}).exitCode,
            2);
}

TEST(HostProcess, MonoFileFeedsBothInputs) {
  std::string folder = TestFolder();
  Wav mono = NoisyAudio(1, 300, false, 3);
  WriteWavFile(folder + "/in.wav", mono, "f64");
  HostRun run = RunHost({"process", FakeModule("FakePassThrough"), folder + "/in.wav", folder + "/out.wav"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  Wav out = ReadWavFile(folder + "/out.wav");
  Wav expected = mono;
  expected.channels.push_back(mono.channels[0]);
  ExpectSameAudio(expected, out);
}

TEST(HostProcess, BlocksAndPositionsFollowBlockSizeAndStart) {
  std::string folder = TestFolder();
  auto frames = RunProbe(folder, 1050, {"--block", "100", "--start", "5000"});
  ASSERT_EQ(frames.size(), 1050u);
  for (size_t i = 0; i < frames.size(); ++i) {
    ASSERT_EQ(frames[i].pos, 5000.0 + static_cast<double>(i)) << i;
    ASSERT_EQ(frames[i].frames, i < 1000 ? 100.0 : 50.0) << i;
    ASSERT_EQ(frames[i].tempo, 120.0) << i;
    ASSERT_TRUE(frames[i].flags & 2) << "playing, frame " << i;
  }
  // The first block is flagged as a transport change, later ones are not.
  EXPECT_TRUE(frames[0].flags & 1);
  EXPECT_FALSE(frames[100].flags & 1);
  // The module asked for tempo, ppq and cycle, and gets the valid flags it asked for.
  EXPECT_EQ(frames[0].flags & (1 << 10), 1 << 10);
  EXPECT_EQ(frames[0].flags & (1 << 9), 1 << 9);
  EXPECT_EQ(frames[0].flags & (1 << 8), 0);  // nanoseconds were not asked for
}

TEST(HostProcess, ScriptDrivesJumpsLoopsStopsTempoAndBlocks) {
  std::string folder = TestFolder();
  WriteTextFile(folder + "/script.txt",
                "# a loop of 300 samples from position 1000\n"
                "block 64\n"
                "tempo 90\n"
                "pos 1000\n"
                "loop 1000 1300\n"
                "@700 loop off     # the loop has turned twice by now, plus 100 samples\n"
                "@+100 stop\n"
                "@900 play\n"
                "tempo 0\n"
                "block 500\n"
                "@1000 pos -20\n");
  auto frames = RunProbe(folder, 1100, {"--script", folder + "/script.txt"});
  ASSERT_EQ(frames.size(), 1100u);
  // Frames 0..699: the loop 1000..1299 plays twice, then 100 samples into the third turn.
  for (int i = 0; i < 700; ++i) ASSERT_EQ(frames[static_cast<size_t>(i)].pos, 1000.0 + i % 300) << i;
  // No block runs across the loop's end: 64-sample blocks, cut at 300 (300 = 4 * 64 + 44).
  EXPECT_EQ(frames[0].frames, 64.0);
  EXPECT_EQ(frames[299].frames, 44.0);
  EXPECT_EQ(frames[300].frames, 64.0);
  EXPECT_TRUE(frames[0].flags & 4) << "cycle active";
  EXPECT_TRUE(frames[300].flags & 1) << "the jump back is a transport change";
  EXPECT_EQ(frames[0].tempo, 90.0);
  // Loop off at 700: playing on from 1100 for 100 frames.
  for (int i = 700; i < 800; ++i) ASSERT_EQ(frames[static_cast<size_t>(i)].pos, 400.0 + i) << i;
  EXPECT_FALSE(frames[700].flags & 4);
  // Stopped from 800 to 900: the position holds while audio flows.
  for (int i = 800; i < 900; ++i) {
    ASSERT_EQ(frames[static_cast<size_t>(i)].pos, 1200.0 + (i - 800) % 64) << "stopped, " << i;
    ASSERT_FALSE(frames[static_cast<size_t>(i)].flags & 2);
  }
  // Playing again from 900 without tempo, in blocks of up to 500, jumping at 1000.
  EXPECT_EQ(frames[900].pos, 1200.0);
  EXPECT_EQ(frames[900].tempo, -1.0);
  EXPECT_EQ(frames[900].frames, 100.0);
  EXPECT_EQ(frames[1000].pos, -20.0);
  EXPECT_EQ(frames[1099].pos, 79.0);
  EXPECT_EQ(frames[1000].frames, 100.0);
}

TEST(HostProcess, ScriptSetsParametersAndHostAnswersAtTheirFrames) {
  std::string folder = TestFolder();
  Wav in = NoisyAudio(2, 400, false, 4);
  WriteWavFile(folder + "/in.wav", in, "f64");
  WriteTextFile(folder + "/script.txt", "@200 set gain=0.5\nset mode=0\nplaystate 6\noffset 3.5\nrate 96000\n");
  HostRun run = RunHost({"process", FakeModule("FakePassThrough"), folder + "/in.wav", folder + "/out.wav", "--script",
                         folder + "/script.txt", "--save-state", folder + "/after.state", "--trace"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  // The module's chunk holds "FAKE" and its two parameter floats.
  std::vector<uint8_t> state = ReadFileBytes(folder + "/after.state");
  ASSERT_EQ(state.size(), 12u);
  float params[2];
  std::memcpy(params, state.data() + 4, sizeof params);
  EXPECT_EQ(params[0], 0.5f);
  EXPECT_EQ(params[1], 0.0f);
  // Blocks are split at the script's frame.
  EXPECT_NE(run.err.find("host: block frame=0 pos=0 frames=200\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("host: block frame=200 pos=200 frames=200\n"), std::string::npos) << run.err;
  ExpectSameAudio(in, ReadWavFile(folder + "/out.wav"));
}

TEST(HostProcess, StateGoesInBeforeAndComesOutAfter) {
  std::string folder = TestFolder();
  WriteWavFile(folder + "/in.wav", NoisyAudio(2, 100, false, 5), "f64");
  std::vector<uint8_t> chunk{'F', 'A', 'K', 'E', 0, 0, 0x80, 0x3e, 0, 0, 0, 0, 9, 8, 7};  // gain 0.25, mode 0, 3 extra
  WriteFileBytes(folder + "/in.state", chunk);
  HostRun run = RunHost({"process", FakeModule("FakePassThrough"), folder + "/in.wav", folder + "/out.wav", "--state",
                         folder + "/in.state", "--save-state", folder + "/out.state"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadFileBytes(folder + "/out.state"), chunk);
  WriteFileBytes(folder + "/bad.state", {'N', 'O', 'P', 'E', 0, 0, 0, 0, 0, 0, 0, 0});
  run = RunHost({"process", FakeModule("FakePassThrough"), folder + "/in.wav", folder + "/out.wav", "--state",
                 folder + "/bad.state"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(Lines(run.err).size(), 1u);
  EXPECT_NE(run.err.find("rejected"), std::string::npos);
}

TEST(HostProcess, BadWavAndScriptGiveOneErrorLine) {
  std::string folder = TestFolder();
  WriteTextFile(folder + "/not.wav", "RIFF but not really");
  WriteWavFile(folder + "/in.wav", NoisyAudio(2, 10, false, 6), "f64");
  WriteTextFile(folder + "/bad.script", "block 64\n@10 jump 5\n");
  std::string module = FakeModule("FakePassThrough");
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"process", module, folder + "/not.wav", folder + "/o.wav"},
           {"process", module, folder + "/none.wav", folder + "/o.wav"},
           {"process", module, folder + "/in.wav", folder + "/no/such/folder/o.wav"},
           {"process", module, folder + "/in.wav", folder + "/o.wav", "--script", folder + "/bad.script"},
           {"process", module, folder + "/in.wav", folder + "/o.wav", "--script", folder + "/none.script"},
       }) {
    HostRun run = RunHost(args);
    EXPECT_FALSE(run.crashed);
    EXPECT_EQ(run.exitCode, 1) << args[2];
    EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
  }
  HostRun run = RunHost({"process", module, folder + "/in.wav", folder + "/o.wav", "--script", folder + "/bad.script"});
  EXPECT_NE(run.err.find("line 2: unknown command 'jump'"), std::string::npos) << run.err;
}

TEST(TransportScriptFormat, ReadsFramesAndRejectsNonsense) {
  auto events = ParseTransportScript("@10 pos 5\n  tempo 140.5 # comment\n@+5 loop 0 100\nloop off\n@15 set a=1\n");
  ASSERT_EQ(events.size(), 5u);
  EXPECT_EQ(events[0].frame, 10);
  EXPECT_EQ(events[0].a, 5);
  EXPECT_EQ(events[1].frame, 10);
  EXPECT_EQ(events[1].value, 140.5);
  EXPECT_EQ(events[2].frame, 15);
  EXPECT_EQ(events[2].b, 100);
  EXPECT_EQ(events[3].kind, TransportEvent::Kind::LoopOff);
  EXPECT_EQ(events[4].text, "a=1");
  for (const char* bad : {"@10 pos 1\n@5 pos 2\n", "loop 10 10\n", "block 0\n", "tempo -1\n", "pos\n", "pos 1 2\n",
                          "@x pos 1\n", "rate 0\n", "stop now\n", "set\n",
                          "@2305843009213693951 pos 1\n@+1 pos 2\n"})
    EXPECT_ANY_THROW(ParseTransportScript(bad)) << bad;
}
