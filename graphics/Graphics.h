// Graphics: the editor surface. Owns the control list and the images the
// controls draw, finds the control under the mouse and dispatches mouse events
// to it, collects the areas that need redrawing and moves parameter values
// between the plug-in and its controls. The drawing primitives and the window
// come from the classes below it (window layer, BitmapGraphics).
#pragma once

#include <cstdint>

#include "core/PixelRect.h"
#include "core/PlugEditor.h"
#include "core/PtrList.h"

class Bitmap;
class Control;
class Param;
class PlugBase;
class RecursiveLock;
class TextBuffer;

class Graphics : public PlugEditor {
 public:
  // A loaded PNG resource; the bitmap is owned by the cache (null when loading failed).
  struct CacheEntry {
    ImageRef image;
    Bitmap* bitmap = nullptr;
  };

  Graphics(PlugBase* plug, int width, int height, int framesPerSecond);
  virtual ~Graphics();
  Graphics(const Graphics&) = delete;
  Graphics& operator=(const Graphics&) = delete;

  // --- Drawing surface ---
  void PrepareSurface() override = 0;
  virtual bool Paint() = 0;
  // The surface's pixels (0xAARRGGBB words, Width() per row) for controls that
  // copy blocks of their own into it; null when there is no surface.
  virtual uint32_t* SurfacePixels() { return nullptr; }
  virtual bool BlitImage(const ImageRef& image, const PixelRect& dest, int sourceX, int sourceY,
                         const BlendSpec& blend) = 0;
  virtual bool BlitRotated(const ImageRef& image, int centreX, int centreY, double angle, int centreOffsetY,
                           const BlendSpec& blend) = 0;
  virtual bool DrawRotatedOverlay(const ImageRef& base, const ImageRef& mask, const ImageRef& top, int x, int y,
                                  double angleDegrees, const BlendSpec& blend) = 0;
  virtual bool PlotPoint(const ArgbColor& color, float x, float y, const BlendSpec& blend, bool antiAliased) = 0;
  virtual bool StorePixel(const ArgbColor& color, int x, int y) = 0;
  virtual bool StrokeLine(const ArgbColor& color, float x1, float y1, float x2, float y2, const BlendSpec& blend,
                          bool antiAliased) = 0;
  virtual bool StrokeArc(const ArgbColor& color, float centreX, float centreY, float radius, float startAngle,
                         float endAngle, const BlendSpec& blend, bool antiAliased) = 0;
  virtual bool StrokeCircle(const ArgbColor& color, float centreX, float centreY, float radius,
                            const BlendSpec& blend, bool antiAliased) = 0;
  virtual bool FillArea(const ArgbColor& color, const PixelRect& rect, const BlendSpec& blend) = 0;
  virtual bool PrintText(const FontSpec& font, const char* text, const PixelRect& rect) = 0;
  virtual ArgbColor ReadPixel(int x, int y) = 0;

  // --- Window layer ---
  bool OpenEditorWindow(void* parent) override = 0;
  // The layer's own closing; a press in progress has already ended.
  virtual void CloseEditorWindow() = 0;
  virtual bool HasWindow() { return WindowHandle() != nullptr; }
  virtual void AskValueText(Control* control, Param* param) = 0;
  virtual void GetHostFolder(TextBuffer& out) = 0;
  virtual void GetModuleFolder(TextBuffer& out) = 0;
  virtual void ChooseFile(TextBuffer& out, int action, const char* initialFolder) = 0;
  virtual bool PickColor(ArgbColor& color, const char* prompt) = 0;
  virtual bool ShellOpen(const char* target) = 0;

  virtual void SetBackdrop(int resourceId);
  virtual bool StrokeVLine(const ArgbColor& color, int x, int y1, int y2);
  virtual bool StrokeHLine(const ArgbColor& color, int y, int x1, int x2);
  virtual void* WindowHandle() = 0;
  // A new bitmap of PNG resource `id` (owned by the caller), or null with 0 by 0.
  virtual Bitmap* LoadPngResource(int id, int frames, int* width, int* height) = 0;

  // --- The plug-in's view of its editor ---
  void CloseEditor() final;
  int EditorWidth() const final { return width_; }
  int EditorHeight() const final { return height_; }

  // --- Controls ---
  // Appends a control and takes ownership; returns the number of controls.
  int AddControl(Control* control);
  int ControlCount() const { return controls_.Count(); }
  Control* ControlAt(int index) const { return controls_.At(index); }
  // The image of resource `id`, loaded once and cached.
  ImageRef FetchImage(int id, int frames);
  Bitmap* FindBitmap(int id) const;
  // Any thread: hands a parameter's value to every control linked to it, under `lock`.
  void PushParamToControls(int index, double value, RecursiveLock& lock) override;
  // Whether any control is dirty, and the union of the dirty controls' rects.
  bool CollectDirty(PixelRect* area) const;
  // The index of the control that mouse events at (x, y) go to, or -1.
  int FindControl(int x, int y) const;

  // --- Mouse entry points (client coordinates) ---
  void MousePress(int x, int y, const PointerState& mods);
  void MouseRelease(int x, int y);
  void MouseDrag(int x, int y, const PointerState& mods);
  void MouseDoubleClick(int x, int y, const PointerState& mods);
  void MouseWheel(int x, int y, const PointerState& mods, int notches);
  bool MouseHover(int x, int y, const PointerState& mods);
  void MouseLeave();
  // Ends a press as a release at the last delivered position. Every way a
  // capture ends other than a button release (the capture taken by another
  // window, a broken grab, the window closing) comes here, so a held control
  // such as the "reset" button never stays pressed.
  void CancelCapture();

  // --- Drawing built on the primitives ---
  // Frame is 1-based; frames are stacked vertically in the image.
  bool BlitImageFrame(const ImageRef& image, const PixelRect& rect, int frame, const BlendSpec& blend);
  bool StrokeRect(const ArgbColor& color, const PixelRect& rect);
  // A vertical line at fraction f of the rect's width; a horizontal one at f of its height from the bottom.
  bool StrokeVLineAtFraction(const ArgbColor& color, const PixelRect& rect, float f);
  bool StrokeHLineAtFraction(const ArgbColor& color, const PixelRect& rect, float f);

  PlugBase* Plug() const { return plug_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetMouseOverWanted(bool wanted) { mouseOverWanted_ = wanted; }
  int CapturedControl() const { return captured_; }
  int MouseOverControl() const { return mouseOver_; }
  // Frames per second of the editor's redraw timer (process-wide).
  static double FrameRate();

 protected:
  // Deletes every cached bitmap through its virtual destructor.
  void ReleaseImages();

 private:
  PtrList<Control> controls_{4096};
  PlugBase* plug_;
  PtrList<CacheEntry> cache_{64};
  int width_;
  int height_;
  int captured_ = -1;
  int mouseOver_ = -1;
  int lastX_ = 0;
  int lastY_ = 0;
  bool mouseOverWanted_ = false;
};

// Rectangle rules of the editor: an all-zero rect is empty; b touching a's
// right or bottom edge counts as intersecting.
bool RectsIntersect(const PixelRect& a, const PixelRect& b);
PixelRect RectIntersection(const PixelRect& a, const PixelRect& b);
PixelRect RectUnion(const PixelRect& a, const PixelRect& b);
