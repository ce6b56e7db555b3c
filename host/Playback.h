// Playback: plays an input file through a module block by block, the way a
// DAW's transport would: start position, tempo, block size, and the transport
// script's jumps, loops, stops and parameter changes at their frames. The
// processed audio is collected in the output.
//
// A module that declares latency (initialDelay D) is compensated as a DAW does
// it: the input is fed D frames ahead of the play position the module is told,
// D frames of silence follow the file so the delayed tail comes out, and the
// first D output frames are dropped. The output lines up with the input.
// Script frames count the frames fed to the module.
#pragma once

#include <cstdint>
#include <vector>

#include "TransportScript.h"
#include "WavFile.h"

class PluginInstance;

struct PlaybackOptions {
  bool single = false;  // processReplacing instead of processDoubleReplacing
  int32_t block = 512;
  int64_t start = 0;
  double tempo = 120.0;
  std::vector<TransportEvent> script;
};

class Playback {
 public:
  // Prepares the module (rate, block size, resumed) for the input.
  Playback(PluginInstance& plugin, const AudioData& in, PlaybackOptions options);
  ~Playback();
  Playback(const Playback&) = delete;
  Playback& operator=(const Playback&) = delete;

  // Processes the next block; false once the whole input has been played.
  bool Next();
  // Suspends the module (effMainsChanged 0); done once, also by the destructor.
  void Finish();

  int64_t Frame() const { return frame_; }
  int64_t Total() const { return in_.Frames(); }
  // The declared latency being compensated, in frames.
  int64_t Delay() const { return delay_; }
  int SampleRate() const { return in_.sampleRate; }
  const char* ProcessName() const { return options_.single ? "processReplacing" : "processDoubleReplacing"; }
  AudioData& Output() { return out_; }

 private:
  void ApplyEvents();
  void Block(int64_t frame, int32_t n);

  PluginInstance& plugin_;
  const AudioData& in_;
  PlaybackOptions options_;
  AudioData out_;
  int32_t block_;
  int64_t frame_ = 0;
  int64_t delay_ = 0;
  int64_t position_;
  size_t next_ = 0;
  bool finished_ = false;
  std::vector<std::vector<double>> inputs_, outputs_;
  std::vector<std::vector<float>> inputsF_, outputsF_;
  std::vector<double*> inPtr_, outPtr_;
  std::vector<float*> inPtrF_, outPtrF_;
};
