// process: runs a WAV file through the module, block by block, while the
// transport follows the start position and the transport script.
#include <algorithm>
#include <cstdio>

#include "Commands.h"
#include "HostError.h"
#include "HostServices.h"
#include "NumberText.h"
#include "Playback.h"
#include "PluginInstance.h"
#include "WavFile.h"

namespace {

constexpr const char* kUsage =
    "process MODULE IN.wav OUT.wav [--float] [--block N] [--start POS] [--tempo BPM] [--script FILE] "
    "[--state FILE] [--save-state FILE] [--set NAME=VALUE]... [--format f32|f64|s16]";

}  // namespace

int RunProcess(const Args& args) {
  CommandLine line(args, HostOptionSpecs({{"float", false},
                                          {"block", true},
                                          {"start", true},
                                          {"tempo", true},
                                          {"script", true},
                                          {"state", true},
                                          {"save-state", true},
                                          {"set", true},
                                          {"format", true}}));
  line.ExpectPositional(3, kUsage);
  ApplyHostOptions(line);
  const bool single = line.Has("float");
  int32_t block = static_cast<int32_t>(line.IntValue("block", 1, 1 << 20).value_or(512));
  int64_t start = line.IntValue("start", -(int64_t(1) << 53), int64_t(1) << 53).value_or(0);
  double tempo = line.DoubleValue("tempo", 0, 10000).value_or(120.0);
  std::string format = line.Value("format").value_or(single ? "f32" : "f64");
  const WavSampleFormat outFormat = format == "f64"   ? WavSampleFormat::Float64
                                    : format == "f32" ? WavSampleFormat::Float32
                                    : format == "s16" ? WavSampleFormat::Pcm16
                                                      : throw HostError("--format must be f32, f64 or s16", true);
  PlaybackOptions options;
  options.single = single;
  options.block = block;
  options.start = start;
  options.tempo = tempo;
  if (auto path = line.Value("script")) options.script = LoadTransportScript(*path);

  AudioData in = ReadWav(line.Positional()[1]);
  PluginInstance plugin(line.Positional()[0]);
  ApplyStateAndSets(plugin, line);

  Playback playback(plugin, in, std::move(options));
  while (playback.Next()) {
  }
  playback.Finish();
  SaveStateIfAsked(plugin, line);
  const AudioData& out = playback.Output();
  WriteWav(line.Positional()[2], out, outFormat);
  std::printf("processed %lld frames, %zu in / %zu out channels, %d Hz, %s\n", static_cast<long long>(playback.Total()),
              in.channels.size(), out.channels.size(), in.sampleRate, playback.ProcessName());
  if (playback.Delay() > 0)
    std::printf("compensated a latency of %lld frames\n", static_cast<long long>(playback.Delay()));
  return 0;
}
