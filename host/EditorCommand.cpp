// editor: reaches the module's editor (without a window through the module's
// probe, or with --window in a real window of the platform: Win32 or X11), plays a WAV file
// through the module while an editor script presses, drags and scrolls, and
// writes screenshots of the editor.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "Commands.h"
#include "EditorDriver.h"
#include "EditorScript.h"
#include "HostError.h"
#include "Playback.h"
#include "PluginInstance.h"
#include "WavFile.h"
#include "core/EditorProbe.h"
#ifdef _WIN32
#include "platform/win32/WindowEditor.h"
#else
#include "platform/x11/X11EditorWindow.h"
#endif

// stb_image_write: header-only, from its own folder (see CMakeLists.txt).
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBIW_WINDOWS_UTF8
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

void EditorWindowSize(PluginInstance& plugin, int& width, int& height) {
  if (!(plugin.Effect().flags & effFlagsHasEditor)) throw HostError("the module has no editor");
  ERect* rect = nullptr;
  if (plugin.Dispatch(effEditGetRect, 0, 0, &rect) == 0 || !rect)
    throw HostError("the module gave no editor size (effEditGetRect)");
  width = rect->right - rect->left;
  height = rect->bottom - rect->top;
  if (width <= 0 || height <= 0) throw HostError("the module gave an empty editor size");
}

namespace {

constexpr const char* kUsage =
    "editor MODULE IN.wav SCRIPT [--float] [--block N] [--start POS] [--tempo BPM] [--transport FILE] "
    "[--state FILE] [--save-state FILE] [--set NAME=VALUE]... [--window]";
// The editor's redraw timer: 18 frames per second.
constexpr int kTimerMilliseconds = 55;
constexpr int64_t kMaxTicks = 1000000;

// An opaque picture of the editor.
void WriteScreenshot(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels) {
  std::vector<unsigned char> rgba(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  for (size_t i = 0; i < rgba.size() / 4; ++i) {
    uint32_t p = pixels[i];
    rgba[i * 4 + 0] = static_cast<unsigned char>(p >> 16);
    rgba[i * 4 + 1] = static_cast<unsigned char>(p >> 8);
    rgba[i * 4 + 2] = static_cast<unsigned char>(p);
    rgba[i * 4 + 3] = 255;
  }
  if (!stbi_write_png(path.c_str(), width, height, 4, rgba.data(), width * 4)) throw HostError("cannot write " + path);
}

// The editor without a window, through the module's probe.
class ProbeDriver final : public EditorDriver {
 public:
  explicit ProbeDriver(PluginInstance& plugin) {
    if (plugin.Dispatch(effVendorSpecific, kEditorProbeIndex, kEditorProbeValue, &probe_) != 1 || !probe_.tick ||
        !probe_.mouse || !probe_.pixels || probe_.width <= 0 || probe_.height <= 0)
      throw HostError("the module has no editor that kelvane-host can drive without a window");
  }
  int Width() const override { return probe_.width; }
  int Height() const override { return probe_.height; }
  void Tick() override { probe_.tick(probe_.context); }
  void Mouse(int32_t event, int32_t x, int32_t y, int32_t buttons, int32_t notches) override {
    probe_.mouse(probe_.context, event, x, y, buttons, notches);
  }
  std::vector<uint32_t> Screenshot() override {
    const uint32_t* pixels = probe_.pixels(probe_.context);
    if (!pixels) throw HostError("the editor has no surface to take a screenshot of");
    return std::vector<uint32_t>(pixels, pixels + static_cast<size_t>(probe_.width) * probe_.height);
  }

 private:
  EditorProbe probe_;
};

std::unique_ptr<EditorDriver> OpenEditor(PluginInstance& plugin, bool window) {
  if (!window) return std::make_unique<ProbeDriver>(plugin);
#ifdef _WIN32
  return std::make_unique<WindowEditor>(plugin);
#else
  return std::make_unique<X11EditorWindow>(plugin);
#endif
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
                                          {"set", true},
                                          {"window", false}}));
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
  std::unique_ptr<EditorDriver> editor = OpenEditor(plugin, line.Has("window"));

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
            editor->Tick();
            ++ticks;
          }
        }
        break;
      case Kind::Tick:
        if (a.count > kMaxTicks) throw HostError("editor script line " + std::to_string(a.line) + ": too many ticks");
        for (int64_t i = 0; i < a.count; ++i, ++ticks) editor->Tick();
        break;
      case Kind::Press: editor->Mouse(kProbePress, a.x, a.y, a.buttons, 0); break;
      case Kind::Drag: editor->Mouse(kProbeDrag, a.x, a.y, a.buttons, 0); break;
      case Kind::Release: editor->Mouse(kProbeRelease, a.x, a.y, 0, 0); break;
      case Kind::Double: editor->Mouse(kProbeDoubleClick, a.x, a.y, a.buttons, 0); break;
      case Kind::Wheel: editor->Mouse(kProbeWheel, a.x, a.y, 0, a.notches); break;
      case Kind::Hover: editor->Mouse(kProbeHover, a.x, a.y, 0, 0); break;
      case Kind::Leave: editor->Mouse(kProbeLeave, 0, 0, 0, 0); break;
      case Kind::Png:
        WriteScreenshot(a.file, editor->Width(), editor->Height(), editor->Screenshot());
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
