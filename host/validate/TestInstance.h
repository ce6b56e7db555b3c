// TestInstance: one effect as the validator drives it. It owns the module's
// instance, its host slot (the transport it sees) and its audio buffers, and
// checks every block it processes: no NaN, Inf or subnormal output, nothing
// beyond the bound for input within +-1, every output sample written and
// nothing written past the block, no allocation inside the process call
// unless the block is longer than any the instance has seen, no more than two
// distinct locks taken inside it, and no wait for a lock while no other
// thread of the validator calls the instance.
//
// Thread: one thread at a time processes an instance; the dispatcher may be
// called from another (the state-while-processing, lock and editor checks),
// which marks the instance concurrent for that time.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "PluginInstance.h"
#include "validate/LockCounter.h"
#include "validate/Random.h"
#include "validate/ValidatorHost.h"

enum class Precision { Single, Double };
const char* PrecisionName(Precision precision);

constexpr int32_t kMaxBlock = 8192;
// Distinct locks a process callback may take: one for the plug-in's state and
// one for what it hands to its editor.
constexpr int kAllowedLocks = 2;

// Bounded test audio: runs of silence, noise, sines, DC, impulses and square
// waves at random levels, all within +-1 and free of subnormals.
class TestSignal {
 public:
  explicit TestSignal(uint64_t seed) : random_(seed) {}
  void Fill(std::vector<std::vector<double>>& channels, int32_t frames);

 private:
  void StartRun();
  Random random_;
  int kind_ = 0;
  int64_t left_ = 0;
  double level_ = 0, phase_ = 0, step_ = 0;
};

// The transport one instance sees, advanced block by block.
class Timeline {
 public:
  double position = 0;
  double tempo = 120;
  bool playing = true;
  bool loop = false;
  double loopStart = 0, loopEnd = 0;
  bool changed = true;
  bool available = true;  // false: the host answers audioMasterGetTime with null

  // Frames the next block may have: a block never runs across the loop's end.
  int32_t Limit(int32_t frames) const;
  void Publish(HostSlot& slot, double sampleRate) const;
  void Advance(int32_t frames);
  // Something a host's transport does: a jump (negative, huge, past 2^31 and
  // across it), a loop, a stop or start, a tempo change, or no time info at all.
  void RandomEvent(Random& random);
  std::string Describe() const;
};

struct OutputCheck {
  double bound = 1000.0;
  long blocks = 0, frames = 0;
  long nan = 0, inf = 0, subnormal = 0, beyond = 0, unwritten = 0, overrun = 0;
  long allocations = 0;        // in blocks no longer than any before
  long allowedAllocations = 0; // in blocks longer than any before
  long lockAcquisitions = 0;
  long lockWaits = 0;
  long quietWaits = 0;         // waits while no other validator thread called the instance
  int distinctLocks = 0;       // the most any one instance took in process
  double peak = 0;
  std::string first;  // the first problem and where it was

  bool Clean() const {
    return nan + inf + subnormal + beyond + unwritten + overrun + allocations + quietWaits == 0 &&
           distinctLocks <= kAllowedLocks;
  }
  std::string Summary() const;
};

class TestInstance {
 public:
  explicit TestInstance(const std::string& modulePath, int callbackId = 0);
  ~TestInstance();
  TestInstance(const TestInstance&) = delete;
  TestInstance& operator=(const TestInstance&) = delete;

  PluginInstance& Plugin() { return *plugin_; }
  AEffect& Effect() { return plugin_->Effect(); }
  HostSlot& Slot() { return *slot_; }
  bool Supports(Precision precision) const;
  // Double precision when the module offers it, else single.
  Precision Preferred() const;

  // effSetSampleRate, effSetBlockSize, effMainsChanged(1).
  void Resume(double sampleRate, int32_t announcedBlock);
  // effMainsChanged(0).
  void Suspend();

  // One block of `frames` (0 .. kMaxBlock) frames of `signal`, with `timeline`
  // published first and advanced after. Problems go into `check`, described
  // with `where`.
  void Process(int32_t frames, Precision precision, TestSignal& signal, Timeline& timeline, OutputCheck& check,
               const std::string& where);
  // The last block's output, widened to double.
  const std::vector<std::vector<double>>& Output() const { return output_; }
  int32_t LargestBlock() const { return largestBlock_; }
  // Any thread, while no block is being processed: whether another validator
  // thread calls the instance while it processes, so a lock wait is expected.
  void SetConcurrent(bool concurrent) { concurrent_ = concurrent; }

 private:
  void CheckOutputs(int32_t frames, Precision precision, OutputCheck& check, const std::string& where,
                    const Timeline& timeline);
  void CheckLocks(const LockCounter::Tally& tally, OutputCheck& check, const std::string& where);

  std::unique_ptr<PluginInstance> plugin_;
  HostSlot* slot_ = nullptr;
  double sampleRate_ = 44100.0;
  int32_t largestBlock_ = 0;
  std::atomic<bool> concurrent_{false};
  std::vector<const void*> locks_;  // distinct locks taken in process so far
  bool moreLocks_ = false;          // more than a tally keeps in one call
  std::vector<std::vector<double>> input_, output_;
  std::vector<std::vector<double>> inD_, outD_;
  std::vector<std::vector<float>> inF_, outF_;
  std::vector<double*> inPtrD_, outPtrD_;
  std::vector<float*> inPtrF_, outPtrF_;
};
