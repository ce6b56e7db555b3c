#include "Playback.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "HostError.h"
#include "HostServices.h"
#include "PluginInstance.h"

namespace {

void Restart(PluginInstance& plugin, double rate) {
  plugin.Dispatch(effMainsChanged, 0, 0);
  plugin.Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
  plugin.Dispatch(effMainsChanged, 0, 1);
}

}  // namespace

Playback::Playback(PluginInstance& plugin, const AudioData& in, PlaybackOptions options)
    : plugin_(plugin), in_(in), options_(std::move(options)), block_(options_.block), position_(options_.start) {
  const AEffect& e = plugin.Effect();
  if (options_.single ? !e.processReplacing : !e.processDoubleReplacing)
    throw HostError(std::string("the module has no ") + ProcessName());
  delay_ = std::max<int64_t>(0, e.initialDelay);
  position_ = options_.start - delay_;

  int32_t maxBlock = block_;
  for (const TransportEvent& ev : options_.script)
    if (ev.kind == TransportEvent::Kind::Block) maxBlock = std::max(maxBlock, static_cast<int32_t>(ev.a));

  HostServices& host = HostServices::Get();
  TransportState& t = host.transport;
  t = TransportState{};
  t.samplePos = static_cast<double>(options_.start);
  t.sampleRate = in.sampleRate;
  t.tempo = options_.tempo;
  t.blockSize = maxBlock;

  plugin.Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(in.sampleRate));
  plugin.Dispatch(effSetBlockSize, 0, maxBlock);
  plugin.Dispatch(effMainsChanged, 0, 1);

  out_.sampleRate = in.sampleRate;
  out_.channels.assign(static_cast<size_t>(e.numOutputs), std::vector<double>(static_cast<size_t>(in.Frames())));
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

Playback::~Playback() { Finish(); }

void Playback::Finish() {
  if (finished_) return;
  finished_ = true;
  plugin_.Dispatch(effMainsChanged, 0, 0);
}

void Playback::ApplyEvents() {
  HostServices& host = HostServices::Get();
  TransportState& t = host.transport;
  const std::vector<TransportEvent>& script = options_.script;
  for (; next_ < script.size() && script[next_].frame <= frame_; ++next_) {
    const TransportEvent& ev = script[next_];
    using Kind = TransportEvent::Kind;
    switch (ev.kind) {
      case Kind::Position: position_ = ev.a; t.changed = true; break;
      case Kind::Block: block_ = static_cast<int32_t>(ev.a); break;
      case Kind::Tempo: t.tempo = ev.value; break;
      case Kind::Loop: t.loopActive = true; t.loopStart = ev.a; t.loopEnd = ev.b; t.changed = true; break;
      case Kind::LoopOff: t.loopActive = false; t.changed = true; break;
      case Kind::Play: t.playing = true; t.changed = true; break;
      case Kind::Stop: t.playing = false; t.changed = true; break;
      case Kind::PlayState: host.settings.playState = static_cast<int>(ev.a); break;
      case Kind::Offset: host.settings.projectTimeOffset = ev.value; break;
      case Kind::Rate: t.sampleRate = ev.value; Restart(plugin_, ev.value); break;
      case Kind::Set: plugin_.SetParamAssignment(ev.text); break;
    }
  }
}

bool Playback::Next() {
  const int64_t total = in_.Frames() + delay_;
  if (frame_ >= total || finished_) return false;
  ApplyEvents();
  HostServices& host = HostServices::Get();
  TransportState& t = host.transport;
  int64_t n = std::min<int64_t>(block_, total - frame_);
  if (next_ < options_.script.size()) n = std::min(n, options_.script[next_].frame - frame_);
  // Like a DAW, a block never runs across the loop's end.
  if (t.playing && t.loopActive && position_ < t.loopEnd) n = std::min(n, t.loopEnd - position_);
  t.samplePos = static_cast<double>(position_);
  if (host.settings.trace)
    std::fprintf(stderr, "host: block frame=%lld pos=%lld frames=%lld\n", static_cast<long long>(frame_),
                 static_cast<long long>(position_), static_cast<long long>(n));
  Block(frame_, static_cast<int32_t>(n));
  t.changed = false;
  frame_ += n;
  if (t.playing) {
    position_ += n;
    if (t.loopActive && position_ == t.loopEnd) {
      position_ = t.loopStart;
      t.changed = true;
    }
  }
  return true;
}

// Frames [frame, frame + n) of the input (silence past its end) into frames
// [frame - delay, frame - delay + n) of the output (those that exist).
void Playback::Block(int64_t frame, int32_t n) {
  const int64_t frames = in_.Frames();  // the output is as long as the input
  size_t count = static_cast<size_t>(n);
  for (size_t c = 0; c < inputs_.size(); ++c) {
    // A mono file feeds every input; missing channels of a wider module get silence.
    const std::vector<double>* source =
        c < in_.channels.size() ? &in_.channels[c] : in_.channels.size() == 1 ? &in_.channels[0] : nullptr;
    for (size_t i = 0; i < count; ++i) {
      const int64_t at = frame + static_cast<int64_t>(i);
      double v = source && at < frames ? (*source)[static_cast<size_t>(at)] : 0.0;
      inputs_[c][i] = v;
      inputsF_[c][i] = static_cast<float>(v);
    }
  }
  // Outputs start silent: a module that writes nothing yields silence, not stale audio.
  for (auto& c : outputs_) std::fill(c.begin(), c.begin() + static_cast<std::ptrdiff_t>(count), 0.0);
  for (auto& c : outputsF_) std::fill(c.begin(), c.begin() + static_cast<std::ptrdiff_t>(count), 0.0f);
  AEffect* e = &plugin_.Effect();
  if (options_.single)
    e->processReplacing(e, inPtrF_.data(), outPtrF_.data(), n);
  else
    e->processDoubleReplacing(e, inPtr_.data(), outPtr_.data(), n);
  for (size_t c = 0; c < outputs_.size(); ++c)
    for (size_t i = 0; i < count; ++i) {
      const int64_t at = frame + static_cast<int64_t>(i) - delay_;
      if (at >= 0 && at < frames)
        out_.channels[c][static_cast<size_t>(at)] =
            options_.single ? static_cast<double>(outputsF_[c][i]) : outputs_[c][i];
    }
}
