#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/HostConnection.h"
#include "core/PlugBase.h"
#include "tests/core/FakeHost.h"

namespace {

struct Plug : PlugBase {
  explicit Plug(audioMasterCallback host) : PlugBase(host, 1, 2, 2, "T", "", "V", 1, 1, 0, false, true, true) {
    ParamAt(0)->DeclareNumber("p", 0.0, 0.0, 1.0, 0.01, "");
  }
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
  host.vendor = "Any Vendor";
  host.product = "REAPER";
  host.vendorVersion = 6500;
  {
    Plug plug(host.Callback());
    EXPECT_EQ(plug.HostKind(), 1);
    EXPECT_EQ(plug.HostVendorVersion(), 6500);
  }
  host.answerStrings = false;
  {
    Plug plug(host.Callback());
    EXPECT_EQ(plug.HostKind(), 0);
    EXPECT_EQ(plug.HostVendorVersion(), 0);
  }
  host.answerStrings = true;
  host.vendor = "";
  host.product = "";
  {
    Plug plug(host.Callback());
    EXPECT_EQ(plug.HostVendorVersion(), 0);  // both empty: no detection
  }
  Plug lonely(nullptr);  // no host at all
  EXPECT_EQ(lonely.HostKind(), 0);
  EXPECT_EQ(lonely.PlayPosition(), 0);
}

TEST(TimeQueries, PositionAndTempo) {
  FakeHost host;
  Plug plug(host.Callback());
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
  Plug plug{host.Callback()};
  HostConnection& reaper = plug.Host();
  void SetUp() override {
    gProjectOffset = 0.0;
    gConfigSize = 8;
    gPlayState = 0;
    gSetEditCalls = 0;
    host.functions["get_config_var"] = reinterpret_cast<void*>(&GetConfigVar);
    host.functions["GetPlayState"] = reinterpret_cast<void*>(&GetPlayState);
    host.functions["SetEditCurPos"] = reinterpret_cast<void*>(&SetEditCurPos);
  }
};

TEST_F(ReaperFunctions, LookupGoesThroughTheMagicOpcode) {
  EXPECT_EQ(reaper.Function("GetPlayState"), reinterpret_cast<void*>(&GetPlayState));
  EXPECT_EQ(reaper.Function("NoSuchFunction"), nullptr);
  const HostCall& call = host.calls.back();
  EXPECT_EQ(call.opcode, static_cast<VstInt32>(0xdeadbeefu));
  EXPECT_EQ(call.index, static_cast<VstInt32>(0xdeadf00du));
  EXPECT_EQ(call.effect, nullptr);
}

TEST_F(ReaperFunctions, TimeOffsetIsLookedUpOnceAndReadLive) {
  gProjectOffset = 10.0;
  EXPECT_EQ(reaper.ProjectTimeOffset(), 10.0);
  gProjectOffset = 2.5;  // the user changed the project setting
  EXPECT_EQ(reaper.ProjectTimeOffset(), 2.5);
  size_t lookups = host.calls.size();
  reaper.ProjectTimeOffset();
  EXPECT_EQ(host.calls.size(), lookups);
}

TEST_F(ReaperFunctions, WrongSizeOrMissingFunctionGivesZeroForever) {
  gConfigSize = 4;
  gProjectOffset = 10.0;
  EXPECT_EQ(reaper.ProjectTimeOffset(), 0.0);
  gConfigSize = 8;
  EXPECT_EQ(reaper.ProjectTimeOffset(), 0.0);  // never looked up again
  host.functions.erase("get_config_var");
  Plug another(host.Callback());
  EXPECT_EQ(another.Host().ProjectTimeOffset(), 0.0);
}

TEST_F(ReaperFunctions, EditCursorMovesOnTheProjectTimeline) {
  gProjectOffset = 10.0;
  reaper.MoveEditCursor(441000.0 / 44100.0, 1, 1);
  ASSERT_EQ(gSetEditCalls, 1);
  EXPECT_EQ(gEditTime, 0.0);
  EXPECT_EQ(gMoveView, 1);
  EXPECT_EQ(gSeekPlay, 1);
  for (int recording : {5, 6}) {
    gPlayState = recording;
    reaper.MoveEditCursor(3.0, 1, 1);
    EXPECT_EQ(gSetEditCalls, 1);
  }
  gPlayState = 1;  // playing, not recording
  reaper.MoveEditCursor(12.0, 0, 1);
  EXPECT_EQ(gSetEditCalls, 2);
  EXPECT_EQ(gEditTime, 2.0);
  EXPECT_EQ(gMoveView, 0);
}

TEST_F(ReaperFunctions, HostsWithoutTheFunctionsAreLeftAlone) {
  host.functions.erase("SetEditCurPos");
  reaper.MoveEditCursor(1.0, 1, 1);
  host.functions.clear();
  reaper.MoveEditCursor(1.0, 1, 1);
  EXPECT_EQ(gSetEditCalls, 0);
}

// A DAW and a plug-in chainer inside it: two hosts in one process, each with
// its own instances. Every call an instance makes (detection, time, automation,
// function lookups, the time offset) reaches its own host, whichever instance
// was created last.
double gOtherOffset = 0.0;
void* GetOtherConfigVar(const char*, int* size) {
  *size = 8;
  return &gOtherOffset;
}

TEST(TwoHosts, EachInstanceTalksToItsOwnHost) {
  FakeHost daw, chainer;
  daw.product = "REAPER";
  chainer.product = "Chainer";
  daw.time.samplePos = 1000.0;
  chainer.time.samplePos = 777.0;
  daw.functions["get_config_var"] = reinterpret_cast<void*>(&GetConfigVar);
  chainer.functions["get_config_var"] = reinterpret_cast<void*>(&GetOtherConfigVar);
  gProjectOffset = 4.0;
  gOtherOffset = -3.0;
  Plug first(daw.Callback());
  Plug second(chainer.Callback());
  Plug third(daw.Callback());

  struct Case {
    Plug* plug;
    FakeHost* own;
    FakeHost* other;
    int kind;
    int64_t position;
    double offset;
  };
  const Case cases[] = {{&first, &daw, &chainer, 1, 1000, 4.0},
                        {&second, &chainer, &daw, 0, 777, -3.0},
                        {&third, &daw, &chainer, 1, 1000, 4.0}};
  for (const Case& c : cases) {
    const size_t otherCalls = c.other->calls.size();
    EXPECT_EQ(c.plug->HostKind(), c.kind);
    EXPECT_EQ(c.plug->PlayPosition(), c.position);
    c.plug->ParamChangedByEditor(0, 0.5);
    EXPECT_EQ(c.plug->Host().ProjectTimeOffset(), c.offset);
    EXPECT_EQ(c.other->calls.size(), otherCalls);
    EXPECT_EQ(c.own->calls.back().opcode, static_cast<VstInt32>(0xdeadbeefu));
  }
  // Every call a host saw came from one of its own instances (or named none).
  for (const HostCall& call : chainer.calls) EXPECT_TRUE(call.effect == nullptr || call.effect == second.Effect());
  for (const HostCall& call : daw.calls) EXPECT_NE(call.effect, second.Effect());
  EXPECT_EQ(chainer.CountCalls(audioMasterAutomate), 1);
  EXPECT_EQ(daw.CountCalls(audioMasterAutomate), 2);
}

}  // namespace
