#include "graphics/Graphics.h"

#include <algorithm>
#include <new>

#include "controls/Control.h"
#include "controls/ImageControl.h"
#include "core/RecursiveLock.h"
#include "raster/Bitmap.h"

namespace {
double gFrameRate = 24.0;  // replaced by any positive rate given to an editor
}

double Graphics::FrameRate() { return gFrameRate; }

bool RectsIntersect(const PixelRect& a, const PixelRect& b) {
  if (a.IsAllZero() || b.IsAllZero()) return false;
  return a.right >= b.left && a.left < b.right && a.bottom >= b.top && a.top < b.bottom;
}

PixelRect RectIntersection(const PixelRect& a, const PixelRect& b) {
  if (!RectsIntersect(a, b)) return PixelRect{};
  return PixelRect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                   std::min(a.bottom, b.bottom)};
}

PixelRect RectUnion(const PixelRect& a, const PixelRect& b) {
  if (a.IsAllZero()) return b;
  if (b.IsAllZero()) return a;
  return PixelRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                   std::max(a.bottom, b.bottom)};
}

Graphics::Graphics(PlugBase* plug, int width, int height, int framesPerSecond)
    : plug_(plug), width_(width), height_(height) {
  if (framesPerSecond > 0) gFrameRate = framesPerSecond;
}

Graphics::~Graphics() {
  for (int i = controls_.Count() - 1; i >= 0; --i) delete controls_.At(i);
  controls_.Clear();
  ReleaseImages();
}

void Graphics::ReleaseImages() {
  for (int i = cache_.Count() - 1; i >= 0; --i) {
    CacheEntry* entry = cache_.At(i);
    delete entry->bitmap;
    delete entry;
  }
  cache_.Clear();
}

int Graphics::AddControl(Control* control) {
  if (control && !controls_.Append(control)) delete control;
  return controls_.Count();
}

void Graphics::SetBackdrop(int resourceId) {
  ImageRef image = FetchImage(resourceId, 1);
  auto* backdrop = new (std::nothrow) ImageControl(plug_, 0, 0, -1, image, 1);
  if (backdrop && !controls_.Insert(0, backdrop)) delete backdrop;
  // Indexes shift by one: a capture or hover target follows its control.
  if (backdrop && controls_.At(0) == backdrop) {
    if (captured_ >= 0) ++captured_;
    if (mouseOver_ >= 0) ++mouseOver_;
  }
}

ImageRef Graphics::FetchImage(int id, int frames) {
  for (int i = 0; i < cache_.Count(); ++i) {
    if (cache_.At(i)->image.resourceId == id) return cache_.At(i)->image;
  }
  auto* entry = new (std::nothrow) CacheEntry();
  ImageRef image;
  image.resourceId = id;
  image.frames = frames;
  if (!entry) return image;
  entry->bitmap = LoadPngResource(id, frames, &image.width, &image.height);
  entry->image = image;
  if (!cache_.Append(entry)) {
    delete entry->bitmap;
    delete entry;
  }
  return image;
}

Bitmap* Graphics::FindBitmap(int id) const {
  for (int i = 0; i < cache_.Count(); ++i) {
    if (cache_.At(i)->image.resourceId == id) return cache_.At(i)->bitmap;
  }
  return nullptr;
}

void Graphics::PushParamToControls(int index, double value, RecursiveLock& lock) {
  LockGuard hold(lock);
  for (int i = 0; i < controls_.Count(); ++i) {
    Control* control = controls_.At(i);
    if (control->ParamIndex() == index) control->TakePlugValue(value);
  }
}

bool Graphics::CollectDirty(PixelRect* area) const {
  bool any = false;
  PixelRect all{};
  for (int i = 0; i < controls_.Count(); ++i) {
    Control* control = controls_.At(i);
    if (!control->NeedsRedraw()) continue;
    any = true;
    all = RectUnion(all, control->Rect());
  }
  if (area) *area = all;
  return any;
}

int Graphics::FindControl(int x, int y) const {
  if (captured_ >= 0) return captured_;
  for (int i = controls_.Count() - 1; i >= 0; --i) {
    Control* control = controls_.At(i);
    if (control->IsHidden() || control->IsGrayed()) continue;
    const PixelRect& target = control->TargetRect();
    if (!target.IsAllZero() && target.Contains(x, y)) return i;
  }
  return -1;
}

void Graphics::MousePress(int x, int y, const PointerState& mods) {
  captured_ = -1;
  lastX_ = lastY_ = -1;
  int hit = FindControl(x, y);
  if (hit < 0) return;
  captured_ = hit;
  lastX_ = x;
  lastY_ = y;
  controls_.At(hit)->MousePress(x, y, mods);
}

void Graphics::MouseRelease(int x, int y) {
  int hit = FindControl(x, y);
  captured_ = -1;
  lastX_ = lastY_ = -1;
  if (hit >= 0) controls_.At(hit)->MouseRelease(x, y);
}

void Graphics::MouseDrag(int x, int y, const PointerState& mods) {
  // Without a press there is no start to measure the movement from.
  if (captured_ < 0) return;
  if (x == lastX_ && y == lastY_) return;
  int hit = FindControl(x, y);
  if (hit < 0) return;
  int dX = x - lastX_, dY = y - lastY_;
  lastX_ = x;
  lastY_ = y;
  controls_.At(hit)->MouseDrag(x, y, dX, dY, mods);
}

void Graphics::CancelCapture() {
  if (captured_ < 0) return;
  MouseRelease(lastX_, lastY_);
}

void Graphics::CloseEditor() {
  CancelCapture();
  CloseEditorWindow();
}

void Graphics::MouseDoubleClick(int x, int y, const PointerState& mods) {
  captured_ = -1;
  lastX_ = lastY_ = -1;
  int hit = FindControl(x, y);
  if (hit >= 0) controls_.At(hit)->MouseDoubleClick(x, y, mods);
}

void Graphics::MouseWheel(int x, int y, const PointerState& mods, int notches) {
  int hit = FindControl(x, y);
  if (hit >= 0) controls_.At(hit)->MouseWheel(x, y, mods, notches);
}

bool Graphics::MouseHover(int x, int y, const PointerState& mods) {
  if (!mouseOverWanted_) return false;
  int hit = FindControl(x, y);
  if (hit < 0) return mouseOverWanted_;
  lastX_ = x;
  lastY_ = y;
  controls_.At(hit)->MouseHover(x, y, mods);
  if (mouseOver_ >= 0 && mouseOver_ != hit) {
    if (Control* previous = controls_.At(mouseOver_)) previous->MouseLeave();
  }
  mouseOver_ = hit;
  return mouseOverWanted_;
}

void Graphics::MouseLeave() {
  if (mouseOver_ >= 0) {
    if (Control* control = controls_.At(mouseOver_)) control->MouseLeave();
  }
  mouseOver_ = -1;
}

bool Graphics::BlitImageFrame(const ImageRef& image, const PixelRect& rect, int frame, const BlendSpec& blend) {
  int n = image.frames;
  int sourceY = 0;
  if (n > 1 && frame > 1) sourceY = static_cast<int>(image.height * (frame - 1) / static_cast<double>(n) + 0.5);
  return BlitImage(image, rect, 0, sourceY, blend);
}

bool Graphics::StrokeRect(const ArgbColor& color, const PixelRect& r) {
  BlendSpec copy{1, 1.0f};
  bool top = StrokeLine(color, r.left, r.top, r.right, r.top, copy, false);
  bool bottom = StrokeLine(color, r.left, r.bottom, r.right, r.bottom, copy, false);
  bool left = StrokeLine(color, r.left, r.top, r.left, r.bottom, copy, false);
  bool right = StrokeLine(color, r.right, r.top, r.right, r.bottom, copy, false);
  return top && bottom && left && right;
}

namespace {
float ClampFraction(float f) { return f >= 1.0f ? 1.0f : (f > 0.0f ? f : 0.0f); }
}  // namespace

bool Graphics::StrokeVLineAtFraction(const ArgbColor& color, const PixelRect& r, float f) {
  int x = r.left + static_cast<int>((r.right - r.left) * ClampFraction(f));
  return StrokeVLine(color, x, r.top, r.bottom);
}

bool Graphics::StrokeHLineAtFraction(const ArgbColor& color, const PixelRect& r, float f) {
  int y = r.bottom - static_cast<int>((r.bottom - r.top) * ClampFraction(f));
  return StrokeHLine(color, y, r.left, r.right);
}

bool Graphics::StrokeVLine(const ArgbColor& color, int x, int y1, int y2) {
  return StrokeLine(color, static_cast<float>(x), static_cast<float>(y1), static_cast<float>(x),
                    static_cast<float>(y2), BlendSpec{1, 1.0f}, false);
}

bool Graphics::StrokeHLine(const ArgbColor& color, int y, int x1, int x2) {
  return StrokeLine(color, static_cast<float>(x1), static_cast<float>(y), static_cast<float>(x2),
                    static_cast<float>(y), BlendSpec{1, 1.0f}, false);
}
