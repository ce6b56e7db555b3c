// process: runs a WAV file through the module, block by block, while the
// transport follows the start position and the transport script.
#include <algorithm>
#include <cstdio>

#include "Commands.h"
#include "HostError.h"
#include "HostServices.h"
#include "NumberText.h"
#include "PluginInstance.h"
#include "TransportScript.h"
#include "WavFile.h"

namespace {

constexpr const char* kUsage =
    "process MODULE IN.wav OUT.wav [--float] [--block N] [--start POS] [--tempo BPM] [--script FILE] "
    "[--state FILE] [--save-state FILE] [--set NAME=VALUE]... [--format f32|f64|s16]";

class Processor {
 public:
  Processor(PluginInstance& plugin, bool single, int32_t maxBlock)
      : plugin_(plugin), single_(single) {
    const AEffect& e = plugin.Effect();
    if (single ? !e.processReplacing : !e.processDoubleReplacing)
      throw HostError(std::string("the module has no ") + (single ? "processReplacing" : "processDoubleReplacing"));
    size_t block = static_cast<size_t>(maxBlock);
    inputs_.assign(static_cast<size_t>(e.numInputs), std::vector<double>(block));
    outputs_.assign(static_cast<size_t>(e.numOutputs), std::vector<double>(block));
    inputsF_.assign(inputs_.size(), std::vector<float>(block));
    outputsF_.assign(outputs_.size(), std::vector<float>(block));
    for (auto& c : inputs_) inPtr_.push_back(c.data());
    for (auto& c : outputs_) outPtr_.push_back(c.data());
    for (auto& c : inputsF_) inPtrF_.push_back(c.data());
    for (auto& c : outputsF_) outPtrF_.push_back(c.data());
  }

  // One block: frames [frame, frame + n) of `in` into the same frames of `out`.
  void Block(const AudioData& in, AudioData& out, int64_t frame, int32_t n) {
    size_t from = static_cast<size_t>(frame), count = static_cast<size_t>(n);
    for (size_t c = 0; c < inputs_.size(); ++c) {
      // A mono file feeds every input; missing channels of a wider module get silence.
      const std::vector<double>* source =
          c < in.channels.size() ? &in.channels[c] : in.channels.size() == 1 ? &in.channels[0] : nullptr;
      for (size_t i = 0; i < count; ++i) {
        double v = source ? (*source)[from + i] : 0.0;
        inputs_[c][i] = v;
        inputsF_[c][i] = static_cast<float>(v);
      }
    }
    // Outputs start silent: a module that writes nothing yields silence, not stale audio.
    for (auto& c : outputs_) std::fill(c.begin(), c.begin() + static_cast<std::ptrdiff_t>(count), 0.0);
    for (auto& c : outputsF_) std::fill(c.begin(), c.begin() + static_cast<std::ptrdiff_t>(count), 0.0f);
    AEffect* e = &plugin_.Effect();
    if (single_)
      e->processReplacing(e, inPtrF_.data(), outPtrF_.data(), n);
    else
      e->processDoubleReplacing(e, inPtr_.data(), outPtr_.data(), n);
    for (size_t c = 0; c < outputs_.size(); ++c)
      for (size_t i = 0; i < count; ++i)
        out.channels[c][from + i] = single_ ? static_cast<double>(outputsF_[c][i]) : outputs_[c][i];
  }

 private:
  PluginInstance& plugin_;
  bool single_;
  std::vector<std::vector<double>> inputs_, outputs_;
  std::vector<std::vector<float>> inputsF_, outputsF_;
  std::vector<double*> inPtr_, outPtr_;
  std::vector<float*> inPtrF_, outPtrF_;
};

void Restart(PluginInstance& plugin, double rate) {
  plugin.Dispatch(effMainsChanged, 0, 0);
  plugin.Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
  plugin.Dispatch(effMainsChanged, 0, 1);
}

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
  std::vector<TransportEvent> script;
  if (auto path = line.Value("script")) script = LoadTransportScript(*path);

  AudioData in = ReadWav(line.Positional()[1]);
  PluginInstance plugin(line.Positional()[0]);
  ApplyStateAndSets(plugin, line);

  int32_t maxBlock = block;
  for (const TransportEvent& ev : script)
    if (ev.kind == TransportEvent::Kind::Block) maxBlock = std::max(maxBlock, static_cast<int32_t>(ev.a));

  HostServices& host = HostServices::Get();
  TransportState& t = host.transport;
  t = TransportState{};
  t.samplePos = static_cast<double>(start);
  t.sampleRate = in.sampleRate;
  t.tempo = tempo;
  t.blockSize = maxBlock;

  plugin.Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(in.sampleRate));
  plugin.Dispatch(effSetBlockSize, 0, maxBlock);
  plugin.Dispatch(effMainsChanged, 0, 1);

  AudioData out;
  out.sampleRate = in.sampleRate;
  out.channels.assign(static_cast<size_t>(plugin.Effect().numOutputs), std::vector<double>(in.channels[0].size()));
  Processor processor(plugin, single, maxBlock);

  const int64_t total = in.Frames();
  int64_t frame = 0;
  size_t next = 0;
  int64_t position = start;
  while (frame < total) {
    for (; next < script.size() && script[next].frame <= frame; ++next) {
      const TransportEvent& ev = script[next];
      using Kind = TransportEvent::Kind;
      switch (ev.kind) {
        case Kind::Position: position = ev.a; t.changed = true; break;
        case Kind::Block: block = static_cast<int32_t>(ev.a); break;
        case Kind::Tempo: t.tempo = ev.value; break;
        case Kind::Loop: t.loopActive = true; t.loopStart = ev.a; t.loopEnd = ev.b; t.changed = true; break;
        case Kind::LoopOff: t.loopActive = false; t.changed = true; break;
        case Kind::Play: t.playing = true; t.changed = true; break;
        case Kind::Stop: t.playing = false; t.changed = true; break;
        case Kind::PlayState: host.settings.playState = static_cast<int>(ev.a); break;
        case Kind::Offset: host.settings.projectTimeOffset = ev.value; break;
        case Kind::Rate: t.sampleRate = ev.value; Restart(plugin, ev.value); break;
        case Kind::Set: plugin.SetParamAssignment(ev.text); break;
      }
    }
    int64_t n = std::min<int64_t>(block, total - frame);
    if (next < script.size()) n = std::min(n, script[next].frame - frame);
    // Like a DAW, a block never runs across the loop's end.
    if (t.playing && t.loopActive && position < t.loopEnd) n = std::min(n, t.loopEnd - position);
    t.samplePos = static_cast<double>(position);
    if (host.settings.trace)
      std::fprintf(stderr, "host: block frame=%lld pos=%lld frames=%lld\n", static_cast<long long>(frame),
                   static_cast<long long>(position), static_cast<long long>(n));
    processor.Block(in, out, frame, static_cast<int32_t>(n));
    t.changed = false;
    frame += n;
    if (t.playing) {
      position += n;
      if (t.loopActive && position == t.loopEnd) {
        position = t.loopStart;
        t.changed = true;
      }
    }
  }
  plugin.Dispatch(effMainsChanged, 0, 0);
  SaveStateIfAsked(plugin, line);
  WriteWav(line.Positional()[2], out, outFormat);
  std::printf("processed %lld frames, %zu in / %zu out channels, %d Hz, %s\n", static_cast<long long>(total),
              in.channels.size(), out.channels.size(), in.sampleRate,
              single ? "processReplacing" : "processDoubleReplacing");
  return 0;
}
