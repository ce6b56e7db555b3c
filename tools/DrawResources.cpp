// draw-resources: draws the editor's two images with the plug-in's own raster
// library and text renderer and writes them as PNG files:
//   background.png  640 x 540, everything on screen that no control draws
//   button.png      27 x 54, the "reset" button up (top) and pressed (bottom)
// Usage: draw-resources <folder> [<preview.png>]; the preview shows the images
// with the controls' own drawing laid over them, for checking the layout. The results are committed in resources/;
// the build embeds those files and never runs this program.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "tools/PngFile.h"
#include "raster/BlendKernels.h"
#include "raster/Blit.h"
#include "raster/HeapBitmap.h"
#include "raster/Lines.h"
#include "graphics/SectionBitmap.h"
#include "graphics/TextRenderer.h"

namespace {

// ---- colours ----------------------------------------------------------------

constexpr uint32_t kFaceTop = 0xFF2C3036u;
constexpr uint32_t kFaceBottom = 0xFF1B1D21u;
constexpr uint32_t kEdgeDark = 0xFF08090Bu;
constexpr uint32_t kEdgeLight = 0xFF4A4F57u;
constexpr uint32_t kRecessFill = 0xFF0B0C0Eu;
constexpr uint32_t kPanelTop = 0xFF202328u;
constexpr uint32_t kPanelBottom = 0xFF16181Bu;
constexpr uint32_t kCaption = 0xFF9AA0A8u;
constexpr uint32_t kAccent = 0xFFE49C3Cu;

uint32_t Mix(uint32_t a, uint32_t b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  uint32_t out = 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const double ca = (a >> shift) & 255;
    const double cb = (b >> shift) & 255;
    out |= static_cast<uint32_t>(std::lround(ca + (cb - ca) * t)) << shift;
  }
  return out;
}

ArgbColor Argb(uint32_t word) {
  return {static_cast<int>(word >> 24), static_cast<int>((word >> 16) & 255), static_cast<int>((word >> 8) & 255),
          static_cast<int>(word & 255)};
}

// ---- shapes -------------------------------------------------------------------

void Fill(Bitmap* bitmap, int left, int top, int right, int bottom, uint32_t colour) {
  FillBitmapRect(bitmap, left, top, right - left, bottom - top, colour, 1.0f, ModeCopy);
}

void VerticalGradient(Bitmap* bitmap, int left, int top, int right, int bottom, uint32_t from, uint32_t to) {
  const int rows = std::max(1, bottom - top - 1);
  for (int y = top; y < bottom; ++y) Fill(bitmap, left, y, right, y + 1, Mix(from, to, double(y - top) / rows));
}

// Coverage of the pixel (x, y) by a rounded rectangle, from its signed distance.
double RoundedCoverage(double x, double y, double left, double top, double right, double bottom, double radius) {
  const double cx = std::clamp(x + 0.5, left + radius, right - radius);
  const double cy = std::clamp(y + 0.5, top + radius, bottom - radius);
  const double distance = std::hypot(x + 0.5 - cx, y + 0.5 - cy) - radius;
  return std::clamp(0.5 - distance, 0.0, 1.0);
}

// An anti-aliased rounded rectangle, coloured per row from `from` to `to`.
void RoundedRect(Bitmap* bitmap, double left, double top, double right, double bottom, double radius, uint32_t from,
                 uint32_t to) {
  for (int y = int(std::floor(top)); y < int(std::ceil(bottom)); ++y) {
    const uint32_t colour = Mix(from, to, (y + 0.5 - top) / (bottom - top));
    for (int x = int(std::floor(left)); x < int(std::ceil(right)); ++x) {
      const double c = RoundedCoverage(x, y, left, top, right, bottom, radius);
      if (c > 0.0) PlotBitmapPixel(bitmap, x, y, colour, float(c), ModeCopy);
    }
  }
}

// An anti-aliased disc lit from above: `from` at its top, `to` at its bottom.
void Disc(Bitmap* bitmap, double cx, double cy, double radius, uint32_t from, uint32_t to) {
  RoundedRect(bitmap, cx - radius, cy - radius, cx + radius, cy + radius, radius, from, to);
}

// A sunken frame: shade on the top and left edges, light on the bottom and right.
void SunkenFrame(Bitmap* bitmap, int left, int top, int right, int bottom, int depth) {
  for (int i = 1; i <= depth; ++i) {
    const uint32_t dark = Mix(kEdgeDark, kFaceTop, (i - 1) / double(depth + 1));
    const uint32_t light = Mix(kEdgeLight, kFaceBottom, (i - 1) / double(depth + 1));
    Fill(bitmap, left - i, top - i, right + i, top - i + 1, dark);
    Fill(bitmap, left - i, top - i, left - i + 1, bottom + i, dark);
    Fill(bitmap, left - i, bottom + i - 1, right + i, bottom + i, light);
    Fill(bitmap, right + i - 1, top - i + 1, right + i, bottom + i, light);
  }
}

// ---- text -------------------------------------------------------------------

// One renderer per font: a renderer keeps the font of its first text.
class Lettering {
 public:
  Lettering(SectionBitmap& surface, int size, int style) : renderer_(TextRenderer::Create(surface)) {
    font_.size = size;
    font_.style = style;
  }
  void Write(const char* text, PixelRect rect, uint32_t colour, int alignment) {
    font_.color = Argb(colour);
    font_.alignment = alignment;
    if (renderer_) renderer_->DrawText(font_, text, rect);
  }

 private:
  std::unique_ptr<TextRenderer> renderer_;
  FontSpec font_;
};

// ---- the background -----------------------------------------------------------

void DrawFace(SectionBitmap& canvas) {
  VerticalGradient(&canvas, 0, 0, 640, 540, kFaceTop, kFaceBottom);
  // Fine horizontal brushing.
  for (int y = 0; y < 540; y += 2) FillBitmapRect(&canvas, 0, y, 640, 1, 0xFFFFFFFFu, 0.012f, ModeCopy);
  // Outer frame: a dark rim and a bevel inside it.
  Fill(&canvas, 0, 0, 640, 1, kEdgeDark);
  Fill(&canvas, 0, 539, 640, 540, kEdgeDark);
  Fill(&canvas, 0, 0, 1, 540, kEdgeDark);
  Fill(&canvas, 639, 0, 640, 540, kEdgeDark);
  Fill(&canvas, 1, 1, 639, 2, kEdgeLight);
  Fill(&canvas, 1, 1, 2, 539, Mix(kEdgeLight, kFaceBottom, 0.4));
  Fill(&canvas, 1, 538, 639, 539, 0xFF111214u);
  Fill(&canvas, 638, 2, 639, 538, 0xFF111214u);
  // Corner screws.
  for (int corner = 0; corner < 4; ++corner) {
    const double cx = corner % 2 ? 630.5 : 9.5;
    const double cy = corner / 2 ? 530.5 : 9.5;
    Disc(&canvas, cx, cy, 4.0, 0xFF0E0F11u, 0xFF0E0F11u);
    Disc(&canvas, cx, cy, 3.0, 0xFF6A707A, 0xFF34383E);
    DrawBitmapLine(&canvas, float(cx - 2.2), float(cy + 1.2), float(cx + 2.2), float(cy - 1.2), 0xFF1A1C20u, 1.0f,
                   ModeCopy, true);
  }
}

void DrawDisplayWell(SectionBitmap& canvas) {
  const int left = 24, top = 24, right = 616, bottom = 445;
  SunkenFrame(&canvas, left, top, right, bottom, 3);
  Fill(&canvas, left, top, right, bottom, kRecessFill);
}

void DrawPanel(SectionBitmap& canvas, Lettering& caption) {
  const int left = 273, top = 455, right = 612, bottom = 512;
  RoundedRect(&canvas, left - 3, top - 3, right + 3, bottom + 3, 5.0, 0xFF0C0D0Fu, 0xFF3A3E45u);
  RoundedRect(&canvas, left - 2, top - 2, right + 2, bottom + 2, 4.0, kPanelTop, kPanelBottom);
  // The loop row and the global switches on the left, the segment's controls on the right.
  Fill(&canvas, 426, 459, 427, 509, 0xFF0C0D0Fu);
  Fill(&canvas, 427, 459, 428, 509, 0xFF33373Du);
  Fill(&canvas, 280, 472, 420, 473, 0xFF0C0D0Fu);
  Fill(&canvas, 280, 473, 420, 474, 0xFF2C3036u);
  // Fixed captions beside the switch (374..413, 477..489) and the colour map (361..413, 498..510).
  caption.Write("follow host cursor", {279, 477, 372, 489}, kCaption, 0);
  caption.Write("colour map", {279, 498, 359, 510}, kCaption, 0);
  // Wells for the switch, the colour map name and the four buttons.
  RoundedRect(&canvas, 372, 476, 415, 491, 3.0, 0xFF101113u, 0xFF15171Au);
  RoundedRect(&canvas, 359, 497, 415, 512, 3.0, 0xFF101113u, 0xFF15171Au);
  for (int x : {442, 484, 528, 570}) RoundedRect(&canvas, x - 2, 496, x + 38, 511, 3.0, 0xFF2A2E34u, 0xFF1E2125u);
}

void DrawLogo(SectionBitmap& canvas) {
  const int left = 20, top = 465;
  // The mark: a burst of audio under its gain curve.
  const double baseline = top + 22.5;
  for (int i = 0; i <= 12; ++i) {
    const double x = left + 3 + 2 * i;
    const double envelope = 3.0 + 13.0 * std::sin(3.14159265 * i / 12.0);
    const double level = envelope * (0.55 + 0.45 * std::fabs(std::sin(i * 2.3 + 0.4)));
    DrawBitmapLine(&canvas, float(x), float(baseline - level), float(x), float(baseline + level),
                   Mix(kAccent, kFaceBottom, 0.35), 1.0f, ModeCopy, false);
  }
  for (int i = 0; i < 24; ++i) {
    const double e0 = 3.0 + 13.0 * std::sin(3.14159265 * i / 24.0) + 1.5;
    const double e1 = 3.0 + 13.0 * std::sin(3.14159265 * (i + 1) / 24.0) + 1.5;
    DrawBitmapLine(&canvas, float(left + 3 + i), float(baseline - e0), float(left + 4 + i), float(baseline - e1), kAccent,
                   1.0f, ModeCopy, true);
  }
  Lettering name(canvas, 30, 1);
  name.Write("Kelvane", {left + 33, top + 3, 170, top + 35}, 0xFFE8E9EBu, 0);
  Lettering tagline(canvas, 11, 0);
  tagline.Write("GAIN  SHAPER", {left + 35, top + 33, 170, top + 45}, kAccent, 0);
}

void DrawKnobBody(SectionBitmap& canvas) {
  const double cx = 198.5, cy = 493.5;  // centre of (185, 480)-(212, 507)
  // Scale: eleven ticks from -135 to +135 degrees, clockwise from straight up.
  for (int i = 0; i <= 10; ++i) {
    const double angle = (-135.0 + 27.0 * i) * 3.14159265358979 / 180.0;
    const double s = std::sin(angle), c = std::cos(angle);
    const double inner = 14.5, outer = (i % 5 == 0) ? 17.5 : 16.5;
    DrawBitmapLine(&canvas, float(cx + inner * s), float(cy - inner * c), float(cx + outer * s),
                   float(cy - outer * c), i % 5 == 0 ? kCaption : 0xFF5C626Au, 1.0f, ModeCopy, true);
  }
  Disc(&canvas, cx, cy + 1.0, 13.0, 0xFF050506u, 0xFF050506u);  // drop shadow
  Disc(&canvas, cx, cy, 12.5, 0xFF4D525Au, 0xFF15171Au);        // rim
  Disc(&canvas, cx, cy, 11.0, 0xFFE3E5E8u, 0xFF9EA3AAu);        // face, lit from above
  Disc(&canvas, cx, cy, 9.0, 0xFFCDD0D4u, 0xFFB9BDC2u);         // slightly dished centre
}

void DrawCaptions(Lettering& caption) {
  caption.Write("bright", {178, 513, 219, 526}, kCaption, 1);
  caption.Write("reset", {220, 513, 261, 526}, kCaption, 1);
}

void DrawButtonSocket(SectionBitmap& canvas) {
  // A dark ring around the button at (227, 481)-(254, 508), so the button sits in the face.
  RoundedRect(&canvas, 225, 479, 256, 510, 6.0, 0xFF0A0B0Cu, 0xFF3A3E45u);
}

// ---- the button ---------------------------------------------------------------

void DrawButtonFrame(HeapBitmap& strip, int top, bool pressed) {
  HeapBitmap frame(27, 27);
  Fill(&frame, 0, 0, 27, 27, 0xFF000000u);
  RoundedRect(&frame, 0.5, 0.5, 26.5, 26.5, 5.0, 0xFF0B0C0Du, 0xFF0B0C0Du);
  if (pressed) {
    RoundedRect(&frame, 1.5, 1.5, 25.5, 25.5, 4.0, 0xFF24272Cu, 0xFF3A3F46u);
    RoundedRect(&frame, 3.0, 3.5, 24.0, 24.5, 3.0, 0xFF2E3238u, 0xFF42474Fu);
    Disc(&frame, 13.5, 14.0, 4.5, 0xFFFF5A3Cu, 0xFFD8321Cu);  // lit while held
    Disc(&frame, 12.8, 12.9, 1.6, 0xFFFFC0A8u, 0xFFFF8A6Cu);
  } else {
    RoundedRect(&frame, 1.5, 1.5, 25.5, 25.5, 4.0, 0xFF6A707Au, 0xFF2C3036u);
    RoundedRect(&frame, 3.0, 3.0, 24.0, 24.0, 3.0, 0xFF50555Eu, 0xFF363A41u);
    Disc(&frame, 13.5, 13.5, 4.5, 0xFF5A2A22u, 0xFF3A1A15u);  // the unlit lamp
  }
  // Transparent corners: alpha follows the outer rounded shape.
  uint32_t* pixels = frame.PixelData();
  for (int y = 0; y < 27; ++y) {
    for (int x = 0; x < 27; ++x) {
      const double c = RoundedCoverage(x, y, 0.5, 0.5, 26.5, 26.5, 5.0);
      pixels[y * 27 + x] = (pixels[y * 27 + x] & 0x00FFFFFFu) | (uint32_t(std::lround(c * 255.0)) << 24);
    }
  }
  BlitRect(&strip, &frame, 0, top, nullptr, 1.0f, ModeCopy);
}

// ---- preview ------------------------------------------------------------------

// The images with what the controls draw over them (the edit panel's texts,
// knobs and arrows as laid out in shapes/, the knob's pointer and the button),
// to check by eye that no fixed caption collides with them.
void DrawPreview(SectionBitmap& preview, HeapBitmap& strip) {
  BlitRect(&preview, &strip, 227, 481, 0, 0, 27, 27, 1.0f, ModeCopy | AlphaWeighted);
  DrawBitmapLine(&preview, 198.5f, 491.5f, 198.5f, 485.5f, 0xFF3F3F3Fu, 1.0f, ModeCopy, true);
  Lettering panel(preview, 13, 0);
  const uint32_t white = 0xFFFFFFFFu, grey = 0xFF7F7F7Fu, red = 0xFFFF0000u;
  panel.Write("no loop detected : ", {276, 456, 410, 468}, grey, 0);
  panel.Write("fit  | copy", {276, 456, 410, 468}, grey, 2);
  panel.Write("Y", {374, 477, 393, 489}, red, 2);
  panel.Write("N ", {393, 477, 413, 489}, grey, 2);
  panel.Write("chlorine", {361, 498, 413, 510}, white, 1);
  panel.Write("follow", {499, 456, 515, 466}, white, 1);
  panel.Write("clip", {576, 456, 592, 466}, white, 1);
  panel.Write("blend", {538, 471, 554, 481}, white, 1);
  panel.Write("slow", {485, 483, 505, 493}, grey, 1);
  panel.Write("fast", {511, 483, 531, 493}, grey, 1);
  panel.Write("hard", {561, 483, 581, 493}, grey, 1);
  panel.Write("soft", {587, 483, 607, 493}, grey, 1);
  panel.Write("copy", {442, 498, 478, 508}, white, 1);
  panel.Write("mute", {484, 498, 520, 508}, red, 1);
  panel.Write("bypass", {528, 498, 564, 508}, white, 1);
  panel.Write("delete", {570, 498, 606, 508}, white, 1);
  for (auto [x, y] : {std::pair{508, 476}, std::pair{546, 465}, std::pair{584, 476}}) {
    DrawBitmapCircle(&preview, float(x), float(y), 5.0f, white, 1.0f, ModeCopy, true);
    DrawBitmapLine(&preview, float(x), float(y), float(x), float(y - 5), white, 1.0f, ModeCopy, true);
  }
  DrawBitmapLine(&preview, 444, 477, 458, 469, white, 1.0f, ModeCopy, true);
  DrawBitmapLine(&preview, 444, 477, 458, 485, white, 1.0f, ModeCopy, true);
  DrawBitmapLine(&preview, 458, 469, 458, 485, white, 1.0f, ModeCopy, false);
  DrawBitmapLine(&preview, 461, 469, 476, 477, white, 1.0f, ModeCopy, true);
  DrawBitmapLine(&preview, 461, 485, 476, 477, white, 1.0f, ModeCopy, true);
  DrawBitmapLine(&preview, 461, 469, 461, 485, white, 1.0f, ModeCopy, false);
}

// ---- output -------------------------------------------------------------------

// The images keep their alpha; the preview is a screenshot, opaque as a window shows it.
bool WritePng(Bitmap& bitmap, const std::string& path, bool screenshot) {
  const bool written = screenshot ? WriteScreenshotPng(path, bitmap) : WritePng(path, bitmap);
  if (!written) std::fprintf(stderr, "draw-resources: cannot write %s\n", path.c_str());
  return written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: draw-resources <folder> [<preview.png>]\n");
    return 2;
  }
  const std::string folder = argv[1];

  SectionBitmap canvas(640, 540);
  if (!canvas.PixelData()) return 1;
  Lettering caption(canvas, 12, 0);
  DrawFace(canvas);
  DrawDisplayWell(canvas);
  DrawPanel(canvas, caption);
  DrawLogo(canvas);
  DrawKnobBody(canvas);
  DrawButtonSocket(canvas);
  DrawCaptions(caption);
  // The background is drawn as a raw copy: every pixel opaque.
  MaskFill(&canvas, 0, 0, 640, 540, 0xFFFFFFFFu, 0xFF000000u);

  HeapBitmap strip(27, 54);
  if (!strip.PixelData()) return 1;
  DrawButtonFrame(strip, 0, false);
  DrawButtonFrame(strip, 27, true);

  SectionBitmap preview(640, 540);
  if (!preview.PixelData()) return 1;
  CopyWhole(&preview, &canvas);
  DrawPreview(preview, strip);

  const bool ok = WritePng(canvas, folder + "/background.png", false) &&
                  WritePng(strip, folder + "/button.png", false) && (argc < 3 || WritePng(preview, argv[2], true));
  return ok ? 0 : 1;
}
