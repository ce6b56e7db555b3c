// editor: builds the module's editor without a window, plays a WAV file through
// the module while an editor script presses, drags and scrolls, and writes
// screenshots of the editor.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "Commands.h"
#include "EditorScript.h"
#include "HostError.h"
#include "Playback.h"
#include "PluginInstance.h"
#include "WavFile.h"
#include "core/EditorProbe.h"

// stb_image_write: header-only, from its own folder (see CMakeLists.txt).
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBIW_WINDOWS_UTF8
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

namespace {

constexpr const char* kUsage =
    "editor MODULE IN.wav SCRIPT [--float] [--block N] [--start POS] [--tempo BPM] [--transport FILE] "
    "[--state FILE] [--save-state FILE] [--set NAME=VALUE]...";
// The editor's redraw timer: 18 frames per second.
constexpr int kTimerMilliseconds = 55;
constexpr int64_t kMaxTicks = 1000000;

// The surface as a window shows it: every pixel opaque.
void WriteScreenshot(const std::string& path, const EditorProbe& probe) {
  const uint32_t* pixels = probe.pixels(probe.context);
  if (!pixels) throw HostError("the editor has no surface to write to " + path);
  std::vector<unsigned char> rgba(static_cast<size_t>(probe.width) * static_cast<size_t>(probe.height) * 4);
  for (size_t i = 0; i < rgba.size() / 4; ++i) {
    uint32_t p = pixels[i];
    rgba[i * 4 + 0] = static_cast<unsigned char>(p >> 16);
    rgba[i * 4 + 1] = static_cast<unsigned char>(p >> 8);
    rgba[i * 4 + 2] = static_cast<unsigned char>(p);
    rgba[i * 4 + 3] = 255;
  }
  if (!stbi_write_png(path.c_str(), probe.width, probe.height, 4, rgba.data(), probe.width * 4))
    throw HostError("cannot write " + path);
}

}  // namespace

int RunEditor(const Args& args) {
  CommandLine line(args, HostOptionSpecs({{"float", false},
                                          {"block", true},
                                          {"start", true},
                                          {"tempo", true},
                                          {"transport", true},
                                          {"state", true},
                                          {"save-state", true},
                                          {"set", true}}));
  line.ExpectPositional(3, kUsage);
  ApplyHostOptions(line);
  PlaybackOptions options;
  options.single = line.Has("float");
  options.block = static_cast<int32_t>(line.IntValue("block", 1, 1 << 20).value_or(512));
  options.start = line.IntValue("start", -(int64_t(1) << 53), int64_t(1) << 53).value_or(0);
  options.tempo = line.DoubleValue("tempo", 0, 10000).value_or(120.0);
  if (auto path = line.Value("transport")) options.script = LoadTransportScript(*path);
  // The whole script is read first: a bad line stops everything before anything is written.
  const std::vector<EditorAction> actions = LoadEditorScript(line.Positional()[2]);

  AudioData in = ReadWav(line.Positional()[1]);
  PluginInstance plugin(line.Positional()[0]);
  ApplyStateAndSets(plugin, line);
  EditorProbe probe;
  if (plugin.Dispatch(effVendorSpecific, kEditorProbeIndex, kEditorProbeValue, &probe) != 1 || !probe.tick ||
      !probe.mouse || !probe.pixels || probe.width <= 0 || probe.height <= 0)
    throw HostError("the module has no editor that kelvane-host can drive without a window");

  Playback playback(plugin, in, std::move(options));
  // The editor's timer keeps running while the audio plays, as in a host.
  const int64_t framesPerTick = std::max<int64_t>(1, int64_t{in.sampleRate} * kTimerMilliseconds / 1000);
  int64_t sinceTick = 0;
  int ticks = 0;
  int screenshots = 0;
  using Kind = EditorAction::Kind;
  for (const EditorAction& a : actions) {
    switch (a.kind) {
      case Kind::Play:
        for (int64_t i = 0; i < a.count; ++i) {
          const int64_t before = playback.Frame();
          if (!playback.Next()) break;
          for (sinceTick += playback.Frame() - before; sinceTick >= framesPerTick; sinceTick -= framesPerTick) {
            probe.tick(probe.context);
            ++ticks;
          }
        }
        break;
      case Kind::Tick:
        if (a.count > kMaxTicks) throw HostError("editor script line " + std::to_string(a.line) + ": too many ticks");
        for (int64_t i = 0; i < a.count; ++i, ++ticks) probe.tick(probe.context);
        break;
      case Kind::Press: probe.mouse(probe.context, kProbePress, a.x, a.y, a.buttons, 0); break;
      case Kind::Drag: probe.mouse(probe.context, kProbeDrag, a.x, a.y, a.buttons, 0); break;
      case Kind::Release: probe.mouse(probe.context, kProbeRelease, a.x, a.y, 0, 0); break;
      case Kind::Double: probe.mouse(probe.context, kProbeDoubleClick, a.x, a.y, a.buttons, 0); break;
      case Kind::Wheel: probe.mouse(probe.context, kProbeWheel, a.x, a.y, 0, a.notches); break;
      case Kind::Hover: probe.mouse(probe.context, kProbeHover, a.x, a.y, 0, 0); break;
      case Kind::Leave: probe.mouse(probe.context, kProbeLeave, 0, 0, 0, 0); break;
      case Kind::Png:
        WriteScreenshot(a.file, probe);
        ++screenshots;
        break;
    }
  }
  playback.Finish();
  SaveStateIfAsked(plugin, line);
  std::printf("played %lld of %lld frames, %d timer ticks, %d screenshots\n", static_cast<long long>(playback.Frame()),
              static_cast<long long>(playback.Total()), ticks, screenshots);
  return 0;
}
