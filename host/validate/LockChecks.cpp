// The validator's lock check: the lock calls a module makes inside its
// process callback, first with nothing else calling the instance (a wait then
// means the module blocks its audio thread on a thread of its own), then with
// a GUI thread setting parameters, reading texts and swapping chunks as a
// host does during playback (waits are counted: that is where they come from).
// Every check judges the distinct locks and the waits with nothing else calling.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "validate/AudioThread.h"
#include "validate/Checks.h"
#include "validate/LockCounter.h"

namespace {

// GUI thread: what a host does to an instance while it plays.
void HostCalls(TestInstance& instance, const std::vector<uint8_t> (&states)[2], Random& random, int calls) {
  PluginInstance& plugin = instance.Plugin();
  char text[256];
  for (int k = 0; k < calls; ++k) {
    int count = plugin.ParamCount();
    int index = count ? static_cast<int>(random.Range(0, count - 1)) : 0;
    switch (random.Range(0, 4)) {
      case 0:
        if (count) plugin.SetParam(index, static_cast<float>(random.Unit()));
        break;
      case 1:
        if (count) plugin.Dispatch(effGetParamDisplay, index, 0, text);
        break;
      case 2:
        if (!states[0].empty()) SetChunk(instance, states[k % 2]);
        break;
      case 3:
        if (HasChunks(instance)) GetChunk(instance);
        break;
      default: plugin.Dispatch(effEditIdle); break;
    }
  }
}

}  // namespace

CheckResult CheckLocks(const Validation& v) {
  if (!LockCounter::Available()) return CheckResult::Skip("this build cannot see lock calls");
  Random random = v.RandomFor("locks");
  TestInstance instance(v.module);
  std::vector<uint8_t> states[2];
  if (HasChunks(instance))
    for (auto& state : states) {
      RandomiseInstance(instance, random);
      state = GetChunk(instance);
    }
  instance.Resume(48000, 256);

  OutputCheck alone;
  alone.bound = v.bound;
  TestSignal signal(random.Next());
  Timeline timeline;
  const int blocks = v.Scale(100, 2000);
  for (int b = 0; b < blocks; ++b) {
    if (random.Chance(0.1)) timeline.RandomEvent(random);
    if (random.Chance(0.1)) HostCalls(instance, states, random, 1);
    instance.Process(timeline.Limit(static_cast<int32_t>(random.Range(1, 256))), instance.Preferred(), signal,
                     timeline, alone, "locks, nothing else calling");
  }

  // As many blocks beside the GUI thread, which keeps calling until they are done.
  int calls = 0;
  OutputCheck beside;
  {
    AudioThread audio(instance, random.Next(), v.bound, 256, "locks, a GUI thread calling");
    Random gui(random.Next());
    while (audio.Blocks() < blocks) {
      HostCalls(instance, states, gui, 1);
      // A few calls a block, as a busy host's GUI makes them.
      for (++calls; calls > 4 * audio.Blocks() && audio.Blocks() < blocks;)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    audio.Stop();
    beside = audio.Check();
  }
  std::string text = std::string("sees ") + LockCounter::Seen() + "; alone: " + std::to_string(alone.lockAcquisitions) +
                     " acquisitions in " + std::to_string(alone.blocks) + " process calls, " +
                     std::to_string(alone.lockWaits) + " waits; beside " + std::to_string(calls) +
                     " GUI-thread calls: " + std::to_string(beside.lockAcquisitions) + " acquisitions in " +
                     std::to_string(beside.blocks) + " process calls, " + std::to_string(beside.lockWaits) +
                     " waits; " + std::to_string(std::max(alone.distinctLocks, beside.distinctLocks)) +
                     " distinct locks (at most " + std::to_string(kAllowedLocks) + ")";
  if (!alone.Clean()) return CheckResult::Fail(alone.Summary());
  if (!beside.Clean()) return CheckResult::Fail(beside.Summary());
  return CheckResult::Pass(text);
}
