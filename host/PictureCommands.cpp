// plot and annotate: the pictures of the user manual.
//
// plot draws the waveforms of WAV files one above the other on a shared time
// axis (peak per pixel column of both channels), optionally with the gain
// shapes of a saved state drawn as their target-level curves, so that a
// render can be set beside its input. annotate copies a PNG (a screenshot of
// the editor), optionally cropped, and draws numbered markers onto it.
//
// Both draw with the plug-in's own raster library and text renderer on a
// surface without a window; neither loads a module. Main thread only.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "HostError.h"
#include "SavedState.h"
#include "WavFile.h"
#include "controls/Control.h"
#include "graphics/SectionBitmap.h"
#include "graphics/platform/headless/HeadlessGraphics.h"
#include "raster/Lines.h"

#include "graphics/StbPng.h"

// stb_image_write: the implementation lives in EditorCommand.cpp.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

namespace {

constexpr const char* kPlotUsage =
    "plot OUT.png IN.wav... [--from SEC] [--to SEC] [--state FILE] [--label TEXT]... [--width PX] [--height PX]";
constexpr const char* kAnnotateUsage = "annotate IN.png OUT.png [N:X:Y]... [--crop X,Y,W,H] [--scale N]";

const ArgbColor kWhite{255, 255, 255, 255};
const ArgbColor kPanelFill{255, 247, 247, 247};
const ArgbColor kFrame{255, 150, 150, 150};
const ArgbColor kGrid{255, 222, 222, 222};
const ArgbColor kZeroLine{255, 190, 190, 190};
const ArgbColor kText{255, 70, 70, 70};
const ArgbColor kWave{255, 46, 96, 176};
const ArgbColor kSegmentFill{255, 255, 236, 196};
const ArgbColor kMutedFill{255, 226, 226, 226};
const ArgbColor kCurve{255, 222, 96, 0};
const ArgbColor kBypassedCurve{255, 160, 160, 160};
const ArgbColor kMarkerFill{255, 204, 36, 36};
const BlendSpec kCopy{1, 1.0f};

// A control that draws a whole picture in one go.
class PictureControl : public Control {
 public:
  using DrawFunction = void (*)(Graphics&, const void*);
  PictureControl(int width, int height, DrawFunction draw, const void* context)
      : Control(nullptr, PixelRect{0, 0, width, height}, -1, 0, 1.0f), draw_(draw), context_(context) {}
  bool Render(Graphics& graphics) override {
    draw_(graphics, context_);
    return true;
  }

 private:
  DrawFunction draw_;
  const void* context_;
};

// Draws a picture of the given size through `draw` and writes it as an opaque PNG.
void DrawPicture(const std::string& path, int width, int height, PictureControl::DrawFunction draw,
                 const void* context) {
  HeadlessGraphics graphics(nullptr, width, height, 18);
  graphics.PrepareSurface();
  if (!graphics.Surface() || !graphics.Surface()->PixelData()) throw HostError("out of memory for " + path);
  graphics.AddControl(new PictureControl(width, height, draw, context));
  graphics.ControlAt(0)->MarkDirty(false);
  graphics.TimerTick();
  const uint32_t* argb = graphics.Surface()->PixelData();
  std::vector<uint8_t> rgba(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  for (size_t i = 0; i < rgba.size() / 4; ++i) {
    rgba[4 * i] = static_cast<uint8_t>(argb[i] >> 16);
    rgba[4 * i + 1] = static_cast<uint8_t>(argb[i] >> 8);
    rgba[4 * i + 2] = static_cast<uint8_t>(argb[i]);
    rgba[4 * i + 3] = 255;
  }
  if (!stbi_write_png(path.c_str(), width, height, 4, rgba.data(), width * 4))
    throw HostError("cannot write " + path);
}

void Text(Graphics& g, const char* text, const PixelRect& rect, int alignment, const ArgbColor& color,
          int style = 0, int size = 13) {
  FontSpec font;
  font.size = size;
  font.color = color;
  font.style = style;
  font.alignment = alignment;
  g.PrintText(font, text, rect);
}

// ---- plot ----

struct Plot {
  std::vector<AudioData> files;
  std::vector<std::string> labels;
  std::vector<ShapeSegmentRecord> segments;
  double fromSeconds = 0.0, toSeconds = 0.0;
  int width = 960, panelHeight = 170;
  static constexpr int kLeft = 52, kRight = 12, kTop = 8, kGap = 10, kAxis = 30;

  int Height() const {
    const int n = static_cast<int>(files.size());
    return kTop + n * panelHeight + (n - 1) * kGap + kAxis;
  }
  PixelRect Panel(int i) const {
    const int top = kTop + i * (panelHeight + kGap);
    return PixelRect{kLeft, top, width - kRight, top + panelHeight};
  }
  double XOfSeconds(double seconds) const {
    const PixelRect r = Panel(0);
    return r.left + (seconds - fromSeconds) / (toSeconds - fromSeconds) * (r.right - r.left);
  }
  static double YOfLevel(const PixelRect& r, double level) {
    const double half = (r.bottom - r.top - 1) * 0.5;
    return r.top + half - std::clamp(level, -1.0, 1.0) * half;
  }
};

// A tick step of 1, 2 or 5 times a power of ten giving 4 to 10 ticks.
double TickStep(double range) {
  double step = std::pow(10.0, std::floor(std::log10(range)));
  if (range / step < 2.0) return step / 5.0;
  if (range / step < 4.0) return step / 2.0;
  return step;
}

void DrawPanel(Graphics& g, const Plot& plot, int index) {
  const PixelRect r = plot.Panel(index);
  const AudioData& audio = plot.files[static_cast<size_t>(index)];
  g.FillArea(kPanelFill, r, kCopy);

  // The ranges of the shapes behind the waveform.
  const double rate = audio.sampleRate;
  for (const ShapeSegmentRecord& s : plot.segments) {
    if (s.bypass) continue;
    const int x0 = std::max<int>(r.left, static_cast<int>(std::lround(plot.XOfSeconds(s.start.pos / rate))));
    const int x1 = std::min<int>(r.right, static_cast<int>(std::lround(plot.XOfSeconds(s.end.pos / rate))));
    if (x1 > x0) g.FillArea(s.mute ? kMutedFill : kSegmentFill, PixelRect{x0, r.top, x1, r.bottom}, kCopy);
  }

  // Level grid: 0, -6, -12 and -20 dB in both polarities.
  static const struct {
    double level;
    const char* text;
  } kLevels[] = {{1.0, "0 dB"}, {0.5, "-6 dB"}, {0.25, "-12 dB"}};
  for (const auto& level : kLevels) {
    for (double sign : {1.0, -1.0}) {
      const int y = static_cast<int>(std::lround(Plot::YOfLevel(r, sign * level.level)));
      if (level.level < 1.0) g.StrokeHLine(kGrid, y, r.left + 1, r.right - 2);
      // Labels on the upper half only, where they have room; the lines mirror them.
      if (sign > 0 && level.level > 0.2) {
        const int top = level.level == 1.0 ? y - 1 : y - 8;
        Text(g, level.text, PixelRect{0, top, Plot::kLeft - 6, top + 16}, 2, kText);
      }
    }
  }
  const int zeroY = static_cast<int>(std::lround(Plot::YOfLevel(r, 0.0)));
  g.StrokeHLine(kZeroLine, zeroY, r.left + 1, r.right - 2);

  // The waveform: the lowest and highest sample of both channels in each pixel column.
  const int64_t frames = audio.Frames();
  const int columns = r.right - r.left;
  for (int c = 0; c < columns; ++c) {
    const double t0 = plot.fromSeconds + (plot.toSeconds - plot.fromSeconds) * c / columns;
    const double t1 = plot.fromSeconds + (plot.toSeconds - plot.fromSeconds) * (c + 1) / columns;
    const int64_t f0 = std::max<int64_t>(0, static_cast<int64_t>(std::floor(t0 * rate)));
    const int64_t f1 = std::min<int64_t>(frames, std::max<int64_t>(f0 + 1, static_cast<int64_t>(std::floor(t1 * rate))));
    if (f0 >= f1) continue;
    double low = 0.0, high = 0.0;
    for (const std::vector<double>& channel : audio.channels) {
      for (int64_t f = f0; f < f1; ++f) {
        const double v = channel[static_cast<size_t>(f)];
        if (!std::isfinite(v)) continue;
        low = std::min(low, v);
        high = std::max(high, v);
      }
    }
    const int yHigh = static_cast<int>(std::lround(Plot::YOfLevel(r, high)));
    const int yLow = static_cast<int>(std::lround(Plot::YOfLevel(r, low)));
    g.StrokeVLine(kWave, r.left + c, yHigh, yLow);
  }

  // The shapes' target levels, as the editor draws them: the curve and its mirror
  // image; a bypassed segment's in grey.
  for (const ShapeSegmentRecord& s : plot.segments) {
    const ArgbColor& colour = s.bypass ? kBypassedCurve : kCurve;
    constexpr int kSteps = 400;
    for (double sign : {1.0, -1.0}) {
      float px = 0, py = 0;
      for (int k = 0; k <= kSteps; ++k) {
        const double t = static_cast<double>(k) / kSteps, u = 1.0 - t;
        const double pos = u * u * s.start.pos + 2 * t * u * s.control.pos + t * t * s.end.pos;
        const double level = u * u * s.start.level + 2 * t * u * s.control.level + t * t * s.end.level;
        const auto x = static_cast<float>(plot.XOfSeconds(pos / rate));
        const auto y = static_cast<float>(Plot::YOfLevel(r, sign * level));
        if (k > 0) {
          float x1 = px, y1 = py, x2 = x, y2 = y;
          for (float dy : {0.0f, 1.0f})  // two pixels thick
            if (float a = x1, b = y1 + dy, c2 = x2, d = y2 + dy; ClipLineToRect(a, b, c2, d, r))
              g.StrokeLine(colour, a, b, c2, d, kCopy, true);
        }
        px = x;
        py = y;
      }
    }
  }

  g.StrokeRect(kFrame, r);
  if (index < static_cast<int>(plot.labels.size()))
    Text(g, plot.labels[static_cast<size_t>(index)].c_str(), PixelRect{r.left + 8, r.top + 5, r.right - 8, r.top + 24},
         0, kText, 1, 15);
}

void DrawPlot(Graphics& g, const void* context) {
  const Plot& plot = *static_cast<const Plot*>(context);
  g.FillArea(kWhite, PixelRect{0, 0, plot.width, plot.Height()}, kCopy);
  for (int i = 0; i < static_cast<int>(plot.files.size()); ++i) DrawPanel(g, plot, i);

  // The time axis under the last panel.
  const PixelRect last = plot.Panel(static_cast<int>(plot.files.size()) - 1);
  const double range = plot.toSeconds - plot.fromSeconds;
  const double step = TickStep(range);
  const int decimals = step < 0.1 ? 2 : step < 1.0 ? 1 : 0;
  for (double t = std::ceil(plot.fromSeconds / step - 1e-9) * step; t <= plot.toSeconds + 1e-9; t += step) {
    const int x = static_cast<int>(std::lround(plot.XOfSeconds(t)));
    g.StrokeVLine(kFrame, std::min(x, last.right - 1), last.bottom, last.bottom + 4);
    char text[32];
    std::snprintf(text, sizeof text, "%.*f s", decimals, std::fabs(t) < step * 1e-6 ? 0.0 : t);
    Text(g, text, PixelRect{x - 40, last.bottom + 7, x + 40, last.bottom + 24}, 1, kText);
  }
}

}  // namespace

int RunPlot(const Args& args) {
  CommandLine line(args, {{"from", true}, {"to", true}, {"state", true}, {"label", true}, {"width", true},
                          {"height", true}});
  if (line.Positional().size() < 2) throw HostError(std::string("usage: ") + kPlotUsage, true);
  Plot plot;
  for (size_t i = 1; i < line.Positional().size(); ++i) {
    plot.files.push_back(ReadWav(line.Positional()[i]));
    if (plot.files.back().channels.empty()) throw HostError(line.Positional()[i] + " holds no audio");
  }
  plot.labels = line.Values("label");
  plot.width = static_cast<int>(line.IntValue("width", 200, 4000).value_or(960));
  plot.panelHeight = static_cast<int>(line.IntValue("height", 60, 2000).value_or(170));
  double longest = 0.0;
  for (const AudioData& a : plot.files) longest = std::max(longest, static_cast<double>(a.Frames()) / a.sampleRate);
  plot.fromSeconds = line.DoubleValue("from", 0.0, 1e6).value_or(0.0);
  plot.toSeconds = line.DoubleValue("to", 0.0, 1e6).value_or(longest);
  if (!(plot.toSeconds > plot.fromSeconds)) throw HostError("--to must lie after --from", true);
  if (auto state = line.Value("state")) plot.segments = ParseSavedState(ReadBinaryFile(*state, "saved state")).segments;

  DrawPicture(line.Positional()[0], plot.width, plot.Height(), &DrawPlot, &plot);
  std::printf("wrote %s: %dx%d, %zu waveforms, %.3f s to %.3f s\n", line.Positional()[0].c_str(), plot.width,
              plot.Height(), plot.files.size(), plot.fromSeconds, plot.toSeconds);
  return 0;
}

// ---- annotate ----

namespace {

struct Marker {
  std::string text;
  int x = 0, y = 0;
};

struct Annotation {
  std::vector<uint32_t> pixels;  // the cropped picture, top-down 0xAARRGGBB
  int width = 0, height = 0;
  std::vector<Marker> markers;   // in cropped coordinates
};

// A filled disc with a white rim and the marker's number in it.
void DrawMarker(Graphics& g, const Marker& m) {
  constexpr int kRadius = 9;
  for (int dy = -kRadius; dy <= kRadius; ++dy) {
    const int half = static_cast<int>(std::sqrt(static_cast<double>(kRadius * kRadius - dy * dy)));
    g.FillArea(kMarkerFill, PixelRect{m.x - half, m.y + dy, m.x + half + 1, m.y + dy + 1}, kCopy);
  }
  g.StrokeCircle(kWhite, static_cast<float>(m.x), static_cast<float>(m.y), kRadius + 0.5f, kCopy, true);
  g.StrokeCircle(kWhite, static_cast<float>(m.x), static_cast<float>(m.y), kRadius + 1.0f, kCopy, true);
  Text(g, m.text.c_str(), PixelRect{m.x - 12, m.y - 8, m.x + 13, m.y + 9}, 1, kWhite, 1);
}

void DrawAnnotation(Graphics& g, const void* context) {
  const Annotation& a = *static_cast<const Annotation*>(context);
  uint32_t* surface = g.SurfacePixels();
  if (surface) std::memcpy(surface, a.pixels.data(), a.pixels.size() * sizeof(uint32_t));
  for (const Marker& m : a.markers) DrawMarker(g, m);
}

std::vector<int> IntegersOf(const std::string& text, char separator, size_t count, const char* what) {
  std::vector<int> values;
  size_t at = 0;
  while (values.size() < count) {
    size_t end = text.find(separator, at);
    const std::string word = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    char* stop = nullptr;
    const long value = std::strtol(word.c_str(), &stop, 10);
    if (word.empty() || *stop != 0 || value < -100000 || value > 100000)
      throw HostError(std::string("bad ") + what + " '" + text + "'", true);
    values.push_back(static_cast<int>(value));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  if (values.size() != count) throw HostError(std::string("bad ") + what + " '" + text + "'", true);
  return values;
}

}  // namespace

int RunAnnotate(const Args& args) {
  CommandLine line(args, {{"crop", true}, {"scale", true}});
  if (line.Positional().size() < 2) throw HostError(std::string("usage: ") + kAnnotateUsage, true);
  const std::vector<uint8_t> bytes = ReadBinaryFile(line.Positional()[0], "PNG file");
  int width = 0, height = 0, channels = 0;
  stbi_uc* rgba = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels, 4);
  if (!rgba) throw HostError(line.Positional()[0] + " is not a PNG image");
  std::unique_ptr<stbi_uc, void (*)(void*)> owner(rgba, &stbi_image_free);

  int cx = 0, cy = 0, cw = width, ch = height;
  if (auto crop = line.Value("crop")) {
    std::vector<int> c = IntegersOf(*crop, ',', 4, "--crop");
    cx = c[0], cy = c[1], cw = c[2], ch = c[3];
    if (cx < 0 || cy < 0 || cw < 1 || ch < 1 || cx + cw > width || cy + ch > height)
      throw HostError("--crop lies outside the picture", true);
  }
  // Each pixel of the crop becomes a block of scale x scale pixels.
  const int scale = static_cast<int>(line.IntValue("scale", 1, 8).value_or(1));
  Annotation a;
  a.width = cw * scale;
  a.height = ch * scale;
  a.pixels.resize(static_cast<size_t>(a.width) * static_cast<size_t>(a.height));
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      const stbi_uc* p =
          rgba + (static_cast<size_t>(cy + y / scale) * static_cast<size_t>(width) + static_cast<size_t>(cx + x / scale)) * 4;
      a.pixels[static_cast<size_t>(y) * static_cast<size_t>(a.width) + static_cast<size_t>(x)] =
          0xFF000000u | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | uint32_t{p[2]};
    }
  for (size_t i = 2; i < line.Positional().size(); ++i) {
    const std::string& word = line.Positional()[i];
    const size_t colon = word.find(':');
    if (colon == 0 || colon == std::string::npos || colon > 3) throw HostError("bad marker '" + word + "'", true);
    std::vector<int> xy = IntegersOf(word.substr(colon + 1), ':', 2, "marker position");
    a.markers.push_back(Marker{word.substr(0, colon), (xy[0] - cx) * scale, (xy[1] - cy) * scale});
  }
  DrawPicture(line.Positional()[1], a.width, a.height, &DrawAnnotation, &a);
  std::printf("wrote %s: %dx%d, %zu markers\n", line.Positional()[1].c_str(), a.width, a.height, a.markers.size());
  return 0;
}

