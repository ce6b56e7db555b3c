// The VST 2 boundary driven through the AEffect record, as a host would.
#include <gtest/gtest.h>

#include <cmath>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

#include "core/Module.h"
#include "core/PlugBase.h"
#include "tests/core/FakeHost.h"

namespace {

VstIntPtr Dispatch(AEffect* e, VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                   float opt = 0.0f) {
  return e->dispatcher(e, op, index, value, ptr, opt);
}

struct EffectFixture : ::testing::Test {
  FakeHost host;
  AEffect* effect = nullptr;

  void SetUp() override {
    PlugBase* plug = CreateEffectInstance(host.Callback());
    ASSERT_NE(plug, nullptr);
    effect = plug->Effect();
  }
  void TearDown() override {
    if (effect) Dispatch(effect, effClose);
  }
  std::string Text(VstInt32 op, VstInt32 index = 0) {
    char buffer[256];
    std::memset(buffer, '#', sizeof buffer);
    buffer[255] = 0;
    Dispatch(effect, op, index, 0, buffer);
    return buffer;
  }
};

TEST_F(EffectFixture, IdentityAndStrings) {
  EXPECT_EQ(effect->magic, kEffectMagic);
  EXPECT_EQ(effect->uniqueID, 0x6B766C6E);  // 'kvln'
  EXPECT_EQ(effect->version, 1000);
  EXPECT_EQ(effect->numParams, 3);
  EXPECT_EQ(effect->numPrograms, 0);
  EXPECT_EQ(effect->numInputs, 2);
  EXPECT_EQ(effect->numOutputs, 2);
  EXPECT_EQ(effect->initialDelay, 0);
  EXPECT_EQ(effect->ioRatio, 1.0f);
  EXPECT_EQ(effect->flags, 4153);  // mono, replacing, chunks, double replacing, editor
  EXPECT_EQ(Dispatch(effect, effIdentify), 1316373862);
  EXPECT_EQ(Dispatch(effect, effGetVstVersion), 2400);
  EXPECT_EQ(Dispatch(effect, effGetPlugCategory), kPlugCategEffect);
  EXPECT_EQ(Text(effGetEffectName), "Kelvane");
  EXPECT_EQ(Text(effGetVendorString), "Ulmor");
  EXPECT_EQ(Text(effGetProductString), "");
  EXPECT_EQ(Dispatch(effect, effGetEffectName), 0);  // null pointer
  EXPECT_EQ(Text(effGetParamName, 0), "reset");
  EXPECT_EQ(Text(effGetParamName, 1), "bright");
  EXPECT_EQ(Text(effGetParamLabel, 1), "x");
  EXPECT_EQ(Text(effGetParamDisplay, 1), "1.0");
  EXPECT_EQ(Text(effGetParamDisplay, 2), "brrr");
  EXPECT_EQ(Text(effGetParamDisplay, 0), "off");
  // An index outside the list leaves the buffer alone.
  char untouched[8] = "keep";
  EXPECT_EQ(Dispatch(effect, effGetParamName, 3, 0, untouched), 0);
  EXPECT_STREQ(untouched, "keep");
  EXPECT_EQ(Dispatch(effect, effGetParamName, -1, 0, untouched), 0);
  EXPECT_EQ(Dispatch(effect, effGetParamName, 1, 0, nullptr), 0);
  EXPECT_EQ(Dispatch(effect, effCanBeAutomated, 2), 1);
}

TEST_F(EffectFixture, ParametersThroughTheRecord) {
  EXPECT_EQ(effect->getParameter(effect, 1), 0.30151135f);
  EXPECT_EQ(effect->getParameter(effect, 2), 1.0f);
  EXPECT_EQ(effect->getParameter(effect, 3), 0.0f);
  EXPECT_EQ(effect->getParameter(effect, -1), 0.0f);
  effect->setParameter(effect, 2, 0.5f);
  EXPECT_EQ(Text(effGetParamDisplay, 2), "chlorine");
  effect->setParameter(effect, 1, 0.5f);
  EXPECT_EQ(Text(effGetParamDisplay, 1), "2.6");
  effect->setParameter(effect, 7, 0.5f);  // ignored
  effect->setParameter(effect, 1, NAN);   // ignored
  EXPECT_EQ(Text(effGetParamDisplay, 1), "2.6");
}

TEST_F(EffectFixture, ProgramsAreAbsent) {
  EXPECT_EQ(Dispatch(effect, effGetProgram), 0);
  for (VstIntPtr i : {-1, 0, 1, 5}) {
    EXPECT_EQ(Dispatch(effect, effSetProgram, 0, i), 0);
    char name[24] = "keep";
    EXPECT_EQ(Dispatch(effect, effGetProgramNameIndexed, static_cast<VstInt32>(i), 0, name), 0);
    EXPECT_STREQ(name, "keep");
  }
  std::string longName(300, 'p');
  EXPECT_EQ(Dispatch(effect, effSetProgramName, 0, 0, longName.data()), 1);
  // Hosts give program names 24 bytes: the copy never writes more.
  char name[32];
  std::memset(name, '#', sizeof name);
  EXPECT_EQ(Dispatch(effect, effGetProgramName, 0, 0, name), 1);
  EXPECT_EQ(std::string(name), std::string(23, 'p'));
  EXPECT_EQ(name[24], '#');
  EXPECT_EQ(Dispatch(effect, effSetProgramName), 0);
  EXPECT_EQ(Dispatch(effect, effGetProgramName), 0);
}

TEST_F(EffectFixture, Pins) {
  // The published record is 128 bytes; the plug-in writes only the fields it knows.
  static_assert(sizeof(VstPinProperties) == 128);
  VstPinProperties pin{};
  pin.arrangementType = 77;
  std::memset(pin.future, 0x5A, sizeof pin.future);
  ASSERT_EQ(Dispatch(effect, effGetInputProperties, 0, 0, &pin), 1);
  EXPECT_STREQ(pin.label, "Input 0");
  EXPECT_EQ(pin.flags, 3);
  EXPECT_EQ(pin.arrangementType, 77);  // untouched
  ASSERT_EQ(Dispatch(effect, effGetInputProperties, 1, 0, &pin), 1);
  EXPECT_STREQ(pin.label, "Input 1");
  EXPECT_EQ(pin.flags, 1);
  EXPECT_EQ(Dispatch(effect, effGetInputProperties, 2, 0, &pin), 0);
  EXPECT_EQ(Dispatch(effect, effGetInputProperties, -1, 0, &pin), 0);
  EXPECT_EQ(Dispatch(effect, effGetInputProperties, 0, 0, nullptr), 0);
  ASSERT_EQ(Dispatch(effect, effGetOutputProperties, 1, 0, &pin), 1);
  EXPECT_STREQ(pin.label, "Output 1");
  EXPECT_EQ(std::string(pin.future, sizeof pin.future), std::string(48, '\x5A'));
}

TEST_F(EffectFixture, CanDo) {
  auto canDo = [&](const char* what) { return Dispatch(effect, effCanDo, 0, 0, const_cast<char*>(what)); };
  EXPECT_EQ(canDo("hasCockosExtensions"), static_cast<VstIntPtr>(0xbeef0000u));
  EXPECT_EQ(canDo("receiveVstTimeInfo"), 1);
  EXPECT_EQ(canDo("ReceiveVstTimeInfo"), 0);
  EXPECT_EQ(canDo("sendVstEvents"), 0);  // no MIDI use
  EXPECT_EQ(canDo("receiveVstMidiEvent"), 0);
  EXPECT_EQ(canDo(""), 0);
  EXPECT_EQ(Dispatch(effect, effCanDo), 0);
}

TEST_F(EffectFixture, EditorIsAdvertisedAndNeedsAParentWindow) {
  ERect* rect = nullptr;
  EXPECT_EQ(Dispatch(effect, effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->right - rect->left, 640);
  EXPECT_EQ(rect->bottom - rect->top, 540);
  // The editor opens in an X11 window, inside the window the host hands over.
  EXPECT_EQ(effect->flags & effFlagsHasEditor, effFlagsHasEditor);
  EXPECT_EQ(Dispatch(effect, effEditOpen), 0);
}

TEST_F(EffectFixture, IdleAndUnknownOpcodesAnswerZero) {
  for (VstInt32 op : std::initializer_list<VstInt32>{effEditIdle, effIdle, 9, 41, 44, 49, 52, 56, 62, 63, 64, 67, 100, -1}) {
    EXPECT_EQ(Dispatch(effect, op, 0, 0, nullptr), 0) << op;
  }
  MidiKeyName key{};
  key.thisKeyNumber = 60;
  std::strcpy(key.keyName, "C4");
  EXPECT_EQ(Dispatch(effect, effGetMidiKeyName, 0, 0, &key), 0);
  EXPECT_STREQ(key.keyName, "");
}

TEST_F(EffectFixture, SampleRateAndBlockSize) {
  PlugBase* plug = PlugBase::FromEffect(effect);
  Dispatch(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  EXPECT_EQ(plug->SampleRate(), 48000.0);
  for (float bad : {0.0f, -44100.0f, NAN, INFINITY}) {
    Dispatch(effect, effSetSampleRate, 0, 0, nullptr, bad);
    EXPECT_EQ(plug->SampleRate(), 48000.0);
  }
  Dispatch(effect, effSetBlockSize, 0, 256);
  EXPECT_EQ(plug->BlockSize(), 256);
}

TEST_F(EffectFixture, NullObjectAnswersNothing) {
  void* saved = effect->object;
  effect->object = nullptr;
  EXPECT_EQ(Dispatch(effect, effIdentify), 0);
  EXPECT_EQ(effect->getParameter(effect, 1), 0.0f);
  effect->setParameter(effect, 1, 0.9f);
  double in[4] = {1, 2, 3, 4}, out[4] = {};
  double* ins[2] = {in, in};
  double* outs[2] = {out, out};
  effect->processDoubleReplacing(effect, ins, outs, 4);
  EXPECT_EQ(out[0], 0.0);
  effect->object = saved;
  EXPECT_EQ(effect->getParameter(effect, 1), 0.30151135f);
}

TEST_F(EffectFixture, BothProcessEntriesPassAudio) {
  std::vector<double> left{0.25, -0.5, 1e-300, 0.125}, right{1.0, -1.0, 0.5, 0.0};
  std::vector<double> outL(4, 9.0), outR(4, 9.0);
  double* ins[2] = {left.data(), right.data()};
  double* outs[2] = {outL.data(), outR.data()};
  effect->processDoubleReplacing(effect, ins, outs, 4);
  EXPECT_EQ(outL[0], 0.25);
  EXPECT_EQ(outR, right);

  std::vector<float> fl{0.25f, -0.5f, 0.75f}, fr{1.0f, -1.0f, 0.5f};
  std::vector<float> foL(3, 9.0f), foR(3, 9.0f);
  float* fins[2] = {fl.data(), fr.data()};
  float* fouts[2] = {foL.data(), foR.data()};
  effect->processReplacing(effect, fins, fouts, 3);
  EXPECT_EQ(foL, fl);
  EXPECT_EQ(foR, fr);

  // The deprecated accumulating entry leaves the buffers alone.
  std::vector<float> acc(3, 9.0f);
  float* accs[2] = {acc.data(), acc.data()};
  effect->process(effect, fins, accs, 3);
  EXPECT_EQ(acc[0], 9.0f);
  // Empty blocks do nothing.
  effect->processReplacing(effect, fins, fouts, 0);
  effect->processReplacing(effect, fins, fouts, -5);
}

// A plug-in of this framework with more channels and the base's state hooks.
struct WidePlug : PlugBase {
  explicit WidePlug(audioMasterCallback host, bool midi = false) : PlugBase(host, 2, 4, 4, "Wide", "WideProduct", "WideVendor", 7, 1234, 0, midi, false, true) {
    ParamAt(0)->DeclareNumber("a", 0.5, 0.0, 1.0, 0.01, "");
    ParamAt(1)->DeclareNumber("b", 0.0, 0.0, 1.0, 0.01, "");
  }
  std::vector<int> changed;
  void ParamChanged(int index) override { changed.push_back(index); }
};

TEST(PlugBase, BaseStateHooksFailChunks) {
  FakeHost host;
  WidePlug plug(host.Callback());
  AEffect* e = plug.Effect();
  EXPECT_EQ(e->flags, 4144);
  void* data = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(Dispatch(e, effGetChunk, 0, 0, &data), 0);
  EXPECT_EQ(data, reinterpret_cast<void*>(0x1));
  EXPECT_EQ(Dispatch(e, effGetChunk, 0, 0, nullptr), 0);
  char bytes[24] = {};
  EXPECT_EQ(Dispatch(e, effSetChunk, 0, sizeof bytes, bytes), 0);
  EXPECT_EQ(Dispatch(e, effSetChunk, 0, 16, nullptr), 0);
  EXPECT_EQ(Dispatch(e, effSetChunk, 0, -4, bytes), 0);
  EXPECT_TRUE(plug.changed.empty());  // the open routine runs only after a good load
}

TEST(PlugBase, OpenRoutineRunsEveryChangeHook) {
  FakeHost host;
  WidePlug plug(host.Callback());
  Dispatch(plug.Effect(), effOpen);
  EXPECT_EQ(plug.changed, (std::vector<int>{0, 1}));
  plug.Effect()->setParameter(plug.Effect(), 1, 0.25f);
  EXPECT_EQ(plug.changed.back(), 1);
}

TEST(PlugBase, FirstCallLimitsChannelsOutsideReaper) {
  FakeHost host;
  double buf[4][8] = {};
  double* ch[4] = {buf[0], buf[1], buf[2], buf[3]};
  {
    WidePlug plug(host.Callback());
    EXPECT_EQ(plug.InputChannels(), 4);
    plug.Effect()->processDoubleReplacing(plug.Effect(), ch, ch, 8);
    EXPECT_EQ(plug.InputChannels(), 2);
    EXPECT_EQ(plug.OutputChannels(), 2);
  }
  {
    WidePlug plug(host.Callback());
    VstSpeakerArrangement in{}, out{};
    in.numChannels = 1;
    out.numChannels = 3;
    EXPECT_EQ(Dispatch(plug.Effect(), effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), 1);
    plug.Effect()->processDoubleReplacing(plug.Effect(), ch, ch, 8);
    EXPECT_EQ(plug.InputChannels(), 1);
    EXPECT_EQ(plug.OutputChannels(), 3);
    // More channels than the plug-in declared are never used.
    in.numChannels = 64;
    out.numChannels = -2;
    Dispatch(plug.Effect(), effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out);
    EXPECT_EQ(plug.InputChannels(), 4);
    EXPECT_EQ(plug.OutputChannels(), 0);
  }
  host.product = "REAPER";
  {
    WidePlug plug(host.Callback());
    EXPECT_EQ(plug.HostKind(), 1);
    plug.Effect()->processDoubleReplacing(plug.Effect(), ch, ch, 8);
    EXPECT_EQ(plug.InputChannels(), 4);
  }
}

// The first process call settles the channel counts under PlugLock, like the
// speaker-arrangement opcode: while another thread holds the lock, nothing moves.
TEST(PlugBase, FirstCallLimitsChannelsUnderTheLock) {
  FakeHost host;
  WidePlug plug(host.Callback());
  double buf[4][8] = {};
  double* ch[4] = {buf[0], buf[1], buf[2], buf[3]};
  std::thread audio;
  {
    LockGuard hold(plug.PlugLock());
    audio = std::thread([&] { plug.Effect()->processDoubleReplacing(plug.Effect(), ch, ch, 8); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(plug.InputChannels(), 4);
    EXPECT_EQ(plug.OutputChannels(), 4);
  }
  audio.join();
  EXPECT_EQ(plug.InputChannels(), 2);
  EXPECT_EQ(plug.OutputChannels(), 2);
}

TEST(PlugBase, EditorChangesTellTheHostFirst) {
  FakeHost host;
  WidePlug plug(host.Callback());
  host.onAutomate = [](AEffect* e, VstInt32 index) { return e->getParameter(e, index); };
  plug.ParamChangedByEditor(1, 0.75);
  ASSERT_EQ(host.CountCalls(audioMasterAutomate), 1);
  EXPECT_EQ(host.calls.back().index, 1);
  EXPECT_EQ(host.calls.back().opt, 0.75f);
  EXPECT_EQ(host.valueSeenDuringAutomate, 0.0f);  // still the old value
  EXPECT_FLOAT_EQ(plug.Effect()->getParameter(plug.Effect(), 1), 0.75f);
  EXPECT_EQ(plug.changed.back(), 1);
}

TEST(PlugBase, MidiPassesThroughToTheHost) {
  FakeHost host;
  WidePlug plug(host.Callback(), true);
  VstMidiEvent note{};
  note.type = kVstMidiType;
  note.byteSize = sizeof note;
  note.midiData[0] = static_cast<char>(0x90);
  note.midiData[1] = 60;
  note.midiData[2] = 100;
  VstEvent sysex{};
  sysex.type = kVstSysExType;
  VstEvents events{};
  events.numEvents = 2;
  events.events[0] = reinterpret_cast<VstEvent*>(&note);
  events.events[1] = &sysex;
  EXPECT_EQ(Dispatch(plug.Effect(), effProcessEvents, 0, 0, &events), 1);
  EXPECT_EQ(host.midiEventsSeen, 1);
  EXPECT_EQ(host.lastMidi[0], 0x90);
  EXPECT_EQ(host.lastMidi[1], 60);
  EXPECT_EQ(host.CountCalls(audioMasterProcessEvents), 2);  // the other event is handed on unchanged
  EXPECT_EQ(Dispatch(plug.Effect(), effProcessEvents, 0, 0, nullptr), 0);
  auto canDo = [&](const char* what) { return Dispatch(plug.Effect(), effCanDo, 0, 0, const_cast<char*>(what)); };
  EXPECT_EQ(canDo("receiveVstMidiEvent"), 1);
  EXPECT_EQ(canDo("sendVstEvents"), 1);
}

// Both process entries run the block with denormals flushed (FTZ and DAZ),
// and hand the caller's floating-point mode back afterwards.
#if defined(__SSE__) || defined(__x86_64__)
TEST(PlugBase, BlocksRunWithDenormalsFlushed) {
  struct ModeProbe : WidePlug {
    using WidePlug::WidePlug;
    unsigned seen = 0;
    void ProcessBlock(double**, double**, int) override { seen = _mm_getcsr(); }
  };
  constexpr unsigned kFlushToZero = 0x8000, kDenormalsAreZero = 0x0040;
  FakeHost host;
  ModeProbe plug(host.Callback());
  double buf[4][4] = {};
  float fbuf[4][4] = {};
  double* ch[4] = {buf[0], buf[1], buf[2], buf[3]};
  float* fch[4] = {fbuf[0], fbuf[1], fbuf[2], fbuf[3]};
  const unsigned callers = _mm_getcsr();
  for (bool single : {false, true}) {
    plug.seen = 0;
    if (single) {
      plug.Effect()->processReplacing(plug.Effect(), fch, fch, 4);
    } else {
      plug.Effect()->processDoubleReplacing(plug.Effect(), ch, ch, 4);
    }
    EXPECT_EQ(plug.seen & (kFlushToZero | kDenormalsAreZero), kFlushToZero | kDenormalsAreZero) << single;
    EXPECT_EQ(plug.seen & ~(kFlushToZero | kDenormalsAreZero), callers & ~(kFlushToZero | kDenormalsAreZero));
    EXPECT_EQ(_mm_getcsr(), callers);
  }
}
#endif

TEST(PlugBase, ProcessLeavesTheFloatingPointModeAsFound) {
  FakeHost host;
  WidePlug plug(host.Callback());
  double buf[4][4] = {};
  double* ch[4] = {buf[0], buf[1], buf[2], buf[3]};
  volatile double tiny = 1e-310;  // a denormal stays a denormal outside the process
  plug.Effect()->processDoubleReplacing(plug.Effect(), ch, ch, 4);
  EXPECT_GT(tiny * 1.0, 0.0);
}

}  // namespace
