// AudioThread: a host's audio thread for the checks that call an instance
// from their own (GUI) thread meanwhile. It processes blocks of random sizes
// with a running transport that now and then jumps, loops or stops, at about
// five times real time, until stopped; the instance is marked concurrent for
// that time, so that lock waits are counted, not judged.
//
// Threads: made, stopped and read on the checking thread; the blocks run on
// a thread of its own.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "validate/TestInstance.h"

class AudioThread {
 public:
  AudioThread(TestInstance& instance, uint64_t seed, double bound, int32_t largestBlock, std::string where)
      : instance_(instance), random_(seed), signal_(random_.Next()), largest_(largestBlock), where_(std::move(where)) {
    check_.bound = bound;
    instance_.SetConcurrent(true);
    thread_ = std::thread([this] { Run(); });
  }
  ~AudioThread() { Stop(); }
  AudioThread(const AudioThread&) = delete;
  AudioThread& operator=(const AudioThread&) = delete;

  // Waits for the block in progress; the check is complete afterwards.
  void Stop() {
    running_ = false;
    if (thread_.joinable()) thread_.join();
    instance_.SetConcurrent(false);
  }
  const OutputCheck& Check() const { return check_; }
  // Any thread: blocks processed so far.
  long Blocks() const { return blocks_.load(); }

 private:
  void Run() {
    while (running_.load()) {
      if (random_.Chance(0.02)) timeline_.RandomEvent(random_);
      int32_t frames = timeline_.Limit(static_cast<int32_t>(random_.Range(1, largest_)));
      instance_.Process(frames, instance_.Preferred(), signal_, timeline_, check_, where_);
      ++blocks_;
      // A block of 256 frames lasts 5 ms at 48 kHz: this pace keeps the capture flowing without taking a core.
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  TestInstance& instance_;
  Random random_;
  TestSignal signal_;
  Timeline timeline_;
  OutputCheck check_;
  int32_t largest_;
  std::string where_;
  std::atomic<bool> running_{true};
  std::atomic<long> blocks_{0};
  std::thread thread_;
};
