// A Graphics that records what controls draw instead of drawing it.
#pragma once

#include <string>
#include <vector>

#include "graphics/Graphics.h"
#include "core/TextBuffer.h"
#include "raster/HeapBitmap.h"

struct RecordingGraphics : Graphics {
  struct Blit {
    int id;
    PixelRect dest;
    int sourceX, sourceY;
  };
  struct Line {
    float x1, y1, x2, y2;
    bool antiAliased;
  };
  std::vector<Blit> blits;
  std::vector<Line> lines;
  std::vector<std::string> opened;
  Control* promptControl = nullptr;
  int paints = 0;

  RecordingGraphics(PlugBase* plug = nullptr, int w = 640, int h = 540) : Graphics(plug, w, h, 18) {}

  void PrepareSurface() override {}
  bool Paint() override {
    ++paints;
    return true;
  }
  bool BlitImage(const ImageRef& image, const PixelRect& dest, int sx, int sy, const BlendSpec&) override {
    blits.push_back({image.resourceId, dest, sx, sy});
    return true;
  }
  bool BlitRotated(const ImageRef&, int, int, double, int, const BlendSpec&) override { return true; }
  bool DrawRotatedOverlay(const ImageRef&, const ImageRef&, const ImageRef&, int, int, double,
                          const BlendSpec&) override {
    return true;
  }
  bool PlotPoint(const ArgbColor&, float, float, const BlendSpec&, bool) override { return true; }
  bool StorePixel(const ArgbColor&, int, int) override { return true; }
  bool StrokeLine(const ArgbColor&, float x1, float y1, float x2, float y2, const BlendSpec&, bool aa) override {
    lines.push_back({x1, y1, x2, y2, aa});
    return true;
  }
  bool StrokeArc(const ArgbColor&, float, float, float, float, float, const BlendSpec&, bool) override { return true; }
  bool StrokeCircle(const ArgbColor&, float, float, float, const BlendSpec&, bool) override { return true; }
  bool FillArea(const ArgbColor&, const PixelRect&, const BlendSpec&) override { return true; }
  bool PrintText(const FontSpec&, const char*, const PixelRect&) override { return true; }
  ArgbColor ReadPixel(int, int) override { return ArgbColor{0, 0, 0, 0}; }
  bool OpensWindows() const override { return false; }
  bool OpenEditorWindow(void*) override { return false; }
  void CloseEditorWindow() override {}
  void AskValueText(Control* control, Param*) override { promptControl = control; }
  void GetHostFolder(TextBuffer& out) override { out.Set(""); }
  void GetModuleFolder(TextBuffer& out) override { out.Set("/plugins/"); }
  void ChooseFile(TextBuffer& out, int, const char*) override { out.Set(""); }
  bool PickColor(ArgbColor&, const char*) override { return false; }
  bool ShellOpen(const char* target) override {
    opened.push_back(target);
    return true;
  }
  void* WindowHandle() override { return nullptr; }
  // Images: 100 is 640 x 540, 101 is 27 x 54, 102 is 10 x 30; others fail.
  Bitmap* LoadPngResource(int id, int, int* width, int* height) override {
    int w = 0, h = 0;
    if (id == 100) w = 640, h = 540;
    if (id == 101) w = 27, h = 54;
    if (id == 102) w = 10, h = 30;
    *width = w;
    *height = h;
    return w ? new HeapBitmap(w, h) : nullptr;
  }
};
