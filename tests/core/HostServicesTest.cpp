#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/HostServices.h"
#include "core/PlugBase.h"
#include "tests/core/FakeHost.h"

namespace {

struct Plug : PlugBase {
  Plug() : PlugBase(0, 2, 2, "T", "", "V", 1, 1, 0, false, true, true) {}
};

TEST(HostKind, TableOrderAndMatches) {
  EXPECT_EQ(HostKindFromStrings("any vendor", "reaper"), 1);
  EXPECT_EQ(HostKindFromStrings("any vendor", "cubase pro"), 3);
  EXPECT_EQ(HostKindFromStrings("", "nuendo"), 4);
  EXPECT_EQ(HostKindFromStrings("", "cakewalk sonar"), 5);
  EXPECT_EQ(HostKindFromStrings("", "samplitude"), 8);
  EXPECT_EQ(HostKindFromStrings("any vendor", "fruity wrapper"), 7);
  EXPECT_EQ(HostKindFromStrings("ableton", "live 11"), 9);
  EXPECT_EQ(HostKindFromStrings("other", "live 11"), 0);
  EXPECT_EQ(HostKindFromStrings("", "melodyne"), 12);
  EXPECT_EQ(HostKindFromStrings("", "vstmanlib"), 13);
  EXPECT_EQ(HostKindFromStrings("", "reaper in cubase"), 1);  // first match wins
  EXPECT_EQ(HostKindFromStrings("", "another host"), 0);
}

TEST(HostKind, DetectedFromTheHostsAnswers) {
  FakeHost host;
  ScopedHost scope(host);
  host.vendor = "Any Vendor";
  host.product = "REAPER";
  host.vendorVersion = 6500;
  {
    Plug plug;
    EXPECT_EQ(plug.HostKind(), 1);
    EXPECT_EQ(plug.HostVendorVersion(), 6500);
  }
  host.answerStrings = false;
  {
    Plug plug;
    EXPECT_EQ(plug.HostKind(), 0);
    EXPECT_EQ(plug.HostVendorVersion(), 0);
  }
  host.answerStrings = true;
  host.vendor = "";
  host.product = "";
  {
    Plug plug;
    EXPECT_EQ(plug.HostVendorVersion(), 0);  // both empty: no detection
  }
  HostCallback = nullptr;
  Plug lonely;  // no host at all
  EXPECT_EQ(lonely.HostKind(), 0);
  EXPECT_EQ(lonely.PlayPosition(), 0);
}

TEST(TimeQueries, PositionAndTempo) {
  FakeHost host;
  ScopedHost scope(host);
  Plug plug;
  host.time.samplePos = 1234.9;
  EXPECT_EQ(plug.PlayPosition(), 1234);
  host.time.samplePos = -5.0;
  EXPECT_EQ(plug.PlayPosition(), 0);
  host.time.samplePos = NAN;
  EXPECT_EQ(plug.PlayPosition(), 0);
  host.time.samplePos = 3e9;  // beyond 32 bits
  EXPECT_EQ(plug.PlayPosition(), 3000000000LL);
  host.time.samplePos = INFINITY;
  EXPECT_GT(plug.PlayPosition(), 0);
  host.answerTime = false;
  EXPECT_EQ(plug.PlayPosition(), 0);
  EXPECT_EQ(plug.HostTempo(), 0.0);
  host.answerTime = true;

  host.time.tempo = 120.0;
  host.time.flags = 0;
  EXPECT_EQ(plug.HostTempo(), 0.0);
  EXPECT_EQ(plug.SamplesPerBeat(), 0.0);
  host.time.flags = kVstTempoValid;
  plug.Effect()->dispatcher(plug.Effect(), effSetSampleRate, 0, 0, nullptr, 48000.0f);
  EXPECT_EQ(plug.HostTempo(), 120.0);
  EXPECT_EQ(plug.SamplesPerBeat(), 24000.0);
  host.time.tempo = -1.0;
  EXPECT_EQ(plug.SamplesPerBeat(), 0.0);
  // The tempo request asks for tempo; the position request asks for nothing.
  bool sawTempoFilter = false, sawPlainFilter = false;
  for (const HostCall& call : host.calls) {
    if (call.opcode != audioMasterGetTime) continue;
    sawTempoFilter |= call.value == kVstTempoValid;
    sawPlainFilter |= call.value == 0;
  }
  EXPECT_TRUE(sawTempoFilter);
  EXPECT_TRUE(sawPlainFilter);
}

// REAPER's functions as the stand-in host offers them.
double gProjectOffset = 0.0;
int gConfigSize = 8;
int gPlayState = 0;
int gSetEditCalls = 0;
double gEditTime = -1.0;
int gMoveView = -1, gSeekPlay = -1;

void* GetConfigVar(const char* name, int* size) {
  if (std::string(name) != "projtimeoffs") return nullptr;
  *size = gConfigSize;
  return &gProjectOffset;
}
int GetPlayState() { return gPlayState; }
void SetEditCurPos(double time, int moveView, int seekPlay) {
  ++gSetEditCalls;
  gEditTime = time;
  gMoveView = moveView;
  gSeekPlay = seekPlay;
}

struct ReaperFunctions : ::testing::Test {
  FakeHost host;
  ScopedHost scope{host};
  void SetUp() override {
    ForgetProjectTimeOffsetLookup();
    gProjectOffset = 0.0;
    gConfigSize = 8;
    gPlayState = 0;
    gSetEditCalls = 0;
    host.functions["get_config_var"] = reinterpret_cast<void*>(&GetConfigVar);
    host.functions["GetPlayState"] = reinterpret_cast<void*>(&GetPlayState);
    host.functions["SetEditCurPos"] = reinterpret_cast<void*>(&SetEditCurPos);
  }
  void TearDown() override { ForgetProjectTimeOffsetLookup(); }
};

TEST_F(ReaperFunctions, LookupGoesThroughTheMagicOpcode) {
  EXPECT_EQ(HostApi("GetPlayState"), reinterpret_cast<void*>(&GetPlayState));
  EXPECT_EQ(HostApi("NoSuchFunction"), nullptr);
  const HostCall& call = host.calls.back();
  EXPECT_EQ(call.opcode, static_cast<VstInt32>(0xdeadbeefu));
  EXPECT_EQ(call.index, static_cast<VstInt32>(0xdeadf00du));
}

TEST_F(ReaperFunctions, TimeOffsetIsLookedUpOnceAndReadLive) {
  gProjectOffset = 10.0;
  EXPECT_EQ(GetProjectTimeOffset(), 10.0);
  gProjectOffset = 2.5;  // the user changed the project setting
  EXPECT_EQ(GetProjectTimeOffset(), 2.5);
  size_t lookups = host.calls.size();
  GetProjectTimeOffset();
  EXPECT_EQ(host.calls.size(), lookups);
}

TEST_F(ReaperFunctions, WrongSizeOrMissingFunctionGivesZeroForever) {
  gConfigSize = 4;
  gProjectOffset = 10.0;
  EXPECT_EQ(GetProjectTimeOffset(), 0.0);
  gConfigSize = 8;
  EXPECT_EQ(GetProjectTimeOffset(), 0.0);  // never looked up again
  ForgetProjectTimeOffsetLookup();
  host.functions.erase("get_config_var");
  EXPECT_EQ(GetProjectTimeOffset(), 0.0);
}

TEST_F(ReaperFunctions, EditCursorMovesOnTheProjectTimeline) {
  gProjectOffset = 10.0;
  MoveHostEditCursor(441000.0 / 44100.0, 1, 1);
  ASSERT_EQ(gSetEditCalls, 1);
  EXPECT_EQ(gEditTime, 0.0);
  EXPECT_EQ(gMoveView, 1);
  EXPECT_EQ(gSeekPlay, 1);
  for (int recording : {5, 6}) {
    gPlayState = recording;
    MoveHostEditCursor(3.0, 1, 1);
    EXPECT_EQ(gSetEditCalls, 1);
  }
  gPlayState = 1;  // playing, not recording
  MoveHostEditCursor(12.0, 0, 1);
  EXPECT_EQ(gSetEditCalls, 2);
  EXPECT_EQ(gEditTime, 2.0);
  EXPECT_EQ(gMoveView, 0);
}

TEST_F(ReaperFunctions, HostsWithoutTheFunctionsAreLeftAlone) {
  host.functions.erase("SetEditCurPos");
  MoveHostEditCursor(1.0, 1, 1);
  host.functions.clear();
  MoveHostEditCursor(1.0, 1, 1);
  EXPECT_EQ(gSetEditCalls, 0);
}

}  // namespace
