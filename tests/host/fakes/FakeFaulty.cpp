// FakeFaulty: a well-behaved VST 2 effect (gain on two channels, one parameter,
// a chunk of its value) that turns faulty in exactly one way when the
// environment variable FAKE_FAULT names it, so that the validator's checks can
// be shown to catch each fault:
//   nan-past-2^31   NaN output once the play position passes 2^31
//   subnormal       a subnormal instead of exact silence
//   overrun         writes one frame past the block
//   unwritten       leaves the block's last frame alone
//   allocate        allocates in every process call
//   shared-host     every instance calls the host handed to the last one made
//   shared-params   the parameter is shared by every instance
//   lossy-state     accepts a chunk but does not restore the parameter from it
//   param-nan       keeps a NaN given to setParameter
//   three-locks     takes three locks of its own in every process call
//   lock-held       a thread of its own holds the lock process takes
//   editor-nan      has an editor, and gives NaN while it is open
//   probe-lossy     answers Kelvane's editor probe (a press sets the gain from
//                   its x) and, like lossy-state, restores no chunk
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>
#include <thread>

#include "FakeExport.h"
#include "core/EditorProbe.h"

namespace {

std::string Fault() {
  const char* fault = std::getenv("FAKE_FAULT");
  return fault ? fault : "";
}

audioMasterCallback gLastHost = nullptr;
float gSharedGain = 0.5f;

struct Faulty {
  AEffect effect{};
  audioMasterCallback host = nullptr;
  std::string fault = Fault();
  float gain = 0.5f;
  unsigned char chunk[8] = {};
  std::atomic<bool> editorOpen{false};
  std::mutex locks[3];
  std::atomic<bool> stop{false};
  std::thread holder;

  std::atomic<bool> holding{false};
  std::atomic<bool> wanted{false};

  // Module thread (lock-held): holds locks[0] until process asks for it, and
  // a millisecond longer, so that every process call that finds it held waits.
  void Hold() {
    while (!stop.load()) {
      {
        std::lock_guard<std::mutex> hold(locks[0]);
        holding = true;
        while (!wanted.load() && !stop.load()) std::this_thread::sleep_for(std::chrono::microseconds(100));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      // The waiting process call takes the lock before this thread takes it again.
      while (wanted.load() && !stop.load()) std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  }
  ~Faulty() {
    stop = true;
    if (holder.joinable()) holder.join();
  }

  float& Gain() { return fault == "shared-params" ? gSharedGain : gain; }
  audioMasterCallback Host() const { return fault == "shared-host" ? gLastHost : host; }
};

Faulty* Self(AEffect* e) { return static_cast<Faulty*>(e->object); }

int32_t VSTCALL ProbeTick(void*) { return 0; }

void VSTCALL ProbeMouse(void* context, int32_t event, int32_t x, int32_t, int32_t, int32_t) {
  if (event == kProbePress) static_cast<Faulty*>(context)->Gain() = std::fmin(1.0f, std::fmax(0.0f, static_cast<float>(x) / 640.0f));
}

const uint32_t* VSTCALL ProbePixels(void*) { return nullptr; }

VstIntPtr AnswerProbe(Faulty* self, VstInt32 index, VstIntPtr value, void* ptr) {
  if (self->fault != "probe-lossy" || index != kEditorProbeIndex || value != kEditorProbeValue || !ptr) return 0;
  auto* probe = static_cast<EditorProbe*>(ptr);
  probe->width = 640;
  probe->height = 540;
  probe->context = self;
  probe->tick = ProbeTick;
  probe->mouse = ProbeMouse;
  probe->pixels = ProbePixels;
  return 1;
}

VstIntPtr VSTCALL Dispatch(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float) {
  Faulty* self = Self(e);
  switch (opcode) {
    case effClose: delete self; return 0;
    case effEditOpen: self->editorOpen = true; return 1;
    case effEditClose: self->editorOpen = false; return 0;
    case effVendorSpecific: return AnswerProbe(self, index, value, ptr);
    case effGetParamName: std::strcpy(static_cast<char*>(ptr), "gain"); return 0;
    case effGetParamLabel: std::strcpy(static_cast<char*>(ptr), ""); return 0;
    case effGetParamDisplay: std::strcpy(static_cast<char*>(ptr), self->Gain() > 0.5f ? "loud" : "soft"); return 0;
    case effGetChunk: {
      std::memcpy(self->chunk, "FLTY", 4);
      std::memcpy(self->chunk + 4, &self->Gain(), 4);
      *static_cast<void**>(ptr) = self->chunk;
      return 8;
    }
    case effSetChunk: {
      const unsigned char* bytes = static_cast<const unsigned char*>(ptr);
      float gain;
      if (!bytes || value != 8 || std::memcmp(bytes, "FLTY", 4) != 0) return 0;
      std::memcpy(&gain, bytes + 4, 4);
      if (!(gain >= 0.0f && gain <= 1.0f)) return 0;
      if (self->fault != "lossy-state" && self->fault != "probe-lossy") self->Gain() = gain;
      return 1;
    }
    default: return 0;
  }
}

template <typename Sample>
void VSTCALL Process(AEffect* e, Sample** in, Sample** out, VstInt32 frames) {
  Faulty* self = Self(e);
  double position = 0;
  if (auto* time = reinterpret_cast<VstTimeInfo*>(self->Host()(e, audioMasterGetTime, 0, 0, nullptr, 0.0f)))
    position = time->samplePos;
  if (self->fault == "allocate") {
    void* volatile block = std::malloc(64);  // volatile: the pair must not be optimised away
    std::free(block);
  }
  if (self->fault == "three-locks")
    for (std::mutex& lock : self->locks) std::lock_guard<std::mutex> hold(lock);
  if (self->fault == "lock-held") {
    self->wanted = true;
    std::lock_guard<std::mutex> hold(self->locks[0]);
    self->wanted = false;
  }
  Sample gain = static_cast<Sample>(2.0f * self->Gain());
  Sample tiny = self->fault == "subnormal" ? 4 * std::numeric_limits<Sample>::denorm_min() : 0;
  VstInt32 written = self->fault == "overrun" ? frames + 1 : self->fault == "unwritten" ? frames - 1 : frames;
  for (int c = 0; c < 2; ++c)
    for (VstInt32 i = 0; i < written; ++i) {
      Sample v = i < frames ? in[c][i] * gain : 0;
      if (self->fault == "nan-past-2^31" && position + i >= 2147483648.0) v = std::nan("");
      if (self->editorOpen && i < frames) v = std::nan("");
      out[c][i] = v == 0 ? tiny : v;
    }
}

void VSTCALL SetParameter(AEffect* e, VstInt32 index, float value) {
  Faulty* self = Self(e);
  if (index != 0) return;
  if (self->fault == "param-nan" && std::isnan(value)) self->Gain() = value;
  else if (value >= 0.0f && value <= 1.0f) self->Gain() = value;
}

float VSTCALL GetParameter(AEffect* e, VstInt32 index) { return index == 0 ? Self(e)->Gain() : 0.0f; }

}  // namespace

FAKE_EXPORT AEffect* VSTCALL VSTPluginMain(audioMasterCallback host) {
  Faulty* self = new Faulty;
  self->host = host;
  gLastHost = host;
  if (self->fault == "lock-held") {
    self->holder = std::thread([self] { self->Hold(); });
    while (!self->holding.load()) std::this_thread::yield();
  }
  AEffect& e = self->effect;
  e.magic = kEffectMagic;
  e.dispatcher = &Dispatch;
  e.setParameter = &SetParameter;
  e.getParameter = &GetParameter;
  e.numParams = 1;
  e.numInputs = 2;
  e.numOutputs = 2;
  e.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing | effFlagsProgramChunks;
  if (self->fault == "editor-nan") e.flags |= effFlagsHasEditor;
  e.ioRatio = 1.0f;
  e.object = self;
  e.uniqueID = VstFourCC('f', 'l', 't', 'y');
  e.version = 1;
  e.processReplacing = &Process<float>;
  e.processDoubleReplacing = &Process<double>;
  return &e;
}
