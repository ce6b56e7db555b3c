#include "graphics/BitmapGraphics.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "controls/Control.h"
#include "core/PlugBase.h"
#include "core/RecursiveLock.h"
#include "raster/Blit.h"
#include "raster/BlendKernels.h"
#include "raster/HeapBitmap.h"
#include "raster/Lines.h"
#include "graphics/PngImages.h"
#include "graphics/SectionBitmap.h"
#include "graphics/TextRenderer.h"

BitmapGraphics::BitmapGraphics(PlugBase* plug, int width, int height, int framesPerSecond)
    : Graphics(plug, width, height, framesPerSecond) {}

BitmapGraphics::~BitmapGraphics() {
  delete text_;
  delete surface_;
  delete scratch_;
  ReleaseImages();
  dirtySlots_.Release();
}

int BitmapGraphics::ModeWord(const BlendSpec& blend) {
  switch (blend.kind) {
    case 1:
      return ModeCopy;
    case 2:
      return AlphaWeighted | ModeAdd;
    case 3:
      return AlphaWeighted | ModeDodge;
    default:
      return AlphaWeighted | ModeCopy;
  }
}

void BitmapGraphics::PrepareSurface() {
  // The text renderer draws into the surface's storage: it goes with it.
  delete text_;
  text_ = nullptr;
  textUnavailable_ = false;
  delete surface_;
  delete scratch_;
  surface_ = new (std::nothrow) SectionBitmap(Width(), Height());
  scratch_ = new (std::nothrow) HeapBitmap(0, 0);
  dirtySlots_.Resize(0);
  SizeDirtySlots();
}

int BitmapGraphics::SizeDirtySlots() {
  size_t have = dirtySlots_.Size() / sizeof(DirtySlot);
  size_t want = static_cast<size_t>(ControlCount());
  if (have < want && dirtySlots_.Resize(want * sizeof(DirtySlot))) {
    auto* slots = reinterpret_cast<DirtySlot*>(dirtySlots_.Data());
    for (size_t i = have; i < want; ++i) slots[i] = DirtySlot{};
    have = want;
  }
  return static_cast<int>(have < want ? have : want);
}

uint32_t* BitmapGraphics::SurfacePixels() { return surface_ ? surface_->PixelData() : nullptr; }

bool BitmapGraphics::Paint() {
  PixelRect invalid = BeginWindowPaint();
  // Controls attached after PrepareSurface get slots too.
  int count = SizeDirtySlots();
  auto* slots = reinterpret_cast<DirtySlot*>(dirtySlots_.Data());

  for (int i = 0; i < count; ++i) {
    Control* control = ControlAt(i);
    slots[i].dirty = control->NeedsRedraw();
    if (slots[i].dirty) slots[i].rect = control->Rect();
  }
  // One merging pass: overlapping dirty areas are drawn once.
  for (int i = 0; i < count; ++i) {
    if (!slots[i].dirty) continue;
    for (int j = 0; j < count; ++j) {
      if (j == i || !slots[j].dirty) continue;
      if (RectsIntersect(slots[i].rect, slots[j].rect)) {
        slots[i].rect = RectUnion(slots[i].rect, slots[j].rect);
        slots[j].dirty = false;
      }
    }
  }
  for (int i = 0; i < count; ++i) {
    if (!slots[i].dirty) continue;
    clipRect_ = slots[i].rect;
    for (int k = 0; k < ControlCount(); ++k) {
      Control* control = ControlAt(k);
      if (!control->IsHidden() && RectsIntersect(clipRect_, control->Rect())) control->Render(*this);
    }
  }
  for (int i = 0; i < ControlCount(); ++i) ControlAt(i)->MarkClean();
  bool copied = CopyToWindow(invalid);
  EndWindowPaint();
  return copied;
}

bool BitmapGraphics::BlitImage(const ImageRef& image, const PixelRect& dest, int sourceX, int sourceY,
                               const BlendSpec& blend) {
  Bitmap* bitmap = FindBitmap(image.resourceId);
  if (!bitmap || !surface_) return true;
  PixelRect r = RectIntersection(dest, clipRect_);
  BlitRect(surface_, bitmap, r.left, r.top, sourceX + r.left - dest.left, sourceY + r.top - dest.top,
           r.right - r.left, r.bottom - r.top, blend.weight, ModeWord(blend));
  return true;
}

bool BitmapGraphics::BlitRotated(const ImageRef& image, int centreX, int centreY, double angle, int centreOffsetY,
                                 const BlendSpec& blend) {
  Bitmap* bitmap = FindBitmap(image.resourceId);
  if (!bitmap || !surface_) return true;
  int w = image.width, h = image.height;
  TurnBlit(surface_, bitmap, centreX - w / 2, centreY - h / 2, w, h, 0.0f, 0.0f, static_cast<float>(w),
           static_cast<float>(h), angle, false, blend.weight, ModeWord(blend) | SmoothSample, 0.0f,
           static_cast<float>(centreOffsetY));
  return true;
}

bool BitmapGraphics::DrawRotatedOverlay(const ImageRef& base, const ImageRef& mask, const ImageRef& top, int x,
                                        int y, double angleDegrees, const BlendSpec& blend) {
  Bitmap* baseBitmap = FindBitmap(base.resourceId);
  Bitmap* maskBitmap = FindBitmap(mask.resourceId);
  Bitmap* topBitmap = FindBitmap(top.resourceId);
  if (!baseBitmap || !maskBitmap || !topBitmap || !surface_ || !scratch_) return false;
  int w = base.width, h = base.height;
  CopyWhole(scratch_, baseBitmap);
  MaskFill(scratch_, 0, 0, w, h, 0x00FFFFFFu, 0);
  double angle = angleDegrees * 0.017453292519943295;
  float offsetX = (w % 2 == 0) ? 0.0f : -0.5f;
  TurnBlit(scratch_, maskBitmap, 0, 0, w, h, 0.0f, 0.0f, static_cast<float>(w), static_cast<float>(h), angle, true,
           1.0f, AlphaWeighted | SmoothSample | ModeAdd, offsetX, 0.0f);
  TurnBlit(scratch_, topBitmap, 0, 0, w, h, 0.0f, 0.0f, static_cast<float>(w), static_cast<float>(h), angle, true,
           1.0f, AlphaWeighted | SmoothSample | ModeCopy, offsetX, 0.0f);
  PixelRect r = RectIntersection(PixelRect{x, y, x + w, y + h}, clipRect_);
  BlitRect(surface_, scratch_, r.left, r.top, r.left - x, r.top - y, r.right - r.left, r.bottom - r.top,
           blend.weight, ModeWord(blend));
  return true;
}

namespace {
// Float to pixel index without undefined conversions: far-off points land off the surface.
int PixelIndex(float v) {
  if (!(v == v)) return -1;
  if (v > 1e9f) return 1000000000;
  if (v < -1e9f) return -1000000000;
  return static_cast<int>(v);
}
}  // namespace

bool BitmapGraphics::PlotPoint(const ArgbColor& color, float x, float y, const BlendSpec& blend, bool) {
  if (!surface_) return true;
  PlotBitmapPixel(surface_, PixelIndex(x + 0.5f), PixelIndex(y + 0.5f), color.Word(), blend.weight,
                  ModeWord(blend));
  return true;
}

bool BitmapGraphics::StorePixel(const ArgbColor& color, int x, int y) {
  // Points off the surface are skipped rather than written past its pixels.
  uint32_t* pixels = SurfacePixels();
  if (!pixels || x < 0 || y < 0 || x >= surface_->Width() || y >= surface_->Height()) return true;
  pixels[static_cast<size_t>(y) * static_cast<size_t>(surface_->RowStride()) + static_cast<size_t>(x)] =
      color.Word();
  return true;
}

bool BitmapGraphics::StrokeLine(const ArgbColor& color, float x1, float y1, float x2, float y2,
                                const BlendSpec& blend, bool antiAliased) {
  if (surface_) DrawBitmapLine(surface_, x1, y1, x2, y2, color.Word(), blend.weight, ModeWord(blend), antiAliased);
  return true;
}

bool BitmapGraphics::StrokeArc(const ArgbColor& color, float centreX, float centreY, float radius,
                               float startAngle, float endAngle, const BlendSpec& blend, bool antiAliased) {
  if (surface_) {
    DrawBitmapArc(surface_, centreX, centreY, radius, startAngle, endAngle, color.Word(), blend.weight,
                  ModeWord(blend), antiAliased);
  }
  return true;
}

bool BitmapGraphics::StrokeCircle(const ArgbColor& color, float centreX, float centreY, float radius,
                                  const BlendSpec& blend, bool antiAliased) {
  if (surface_) {
    DrawBitmapCircle(surface_, centreX, centreY, radius, color.Word(), blend.weight, ModeWord(blend), antiAliased);
  }
  return true;
}

bool BitmapGraphics::FillArea(const ArgbColor& color, const PixelRect& rect, const BlendSpec& blend) {
  if (surface_) {
    FillBitmapRect(surface_, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, color.Word(),
                   blend.weight, ModeWord(blend));
  }
  return true;
}

bool BitmapGraphics::PrintText(const FontSpec& font, const char* text, const PixelRect& rect) {
  if (!text) return true;
  if (!surface_) return false;
  if (!text_ && !textUnavailable_) {
    text_ = TextRenderer::Create(*surface_);
    textUnavailable_ = text_ == nullptr;
  }
  return text_ ? text_->DrawText(font, text, rect) : false;
}

ArgbColor BitmapGraphics::ReadPixel(int x, int y) {
  ArgbColor color{0, 0, 0, 0};
  if (!surface_ || x < 0 || y < 0 || x >= surface_->Width() || y >= surface_->Height()) return color;
  uint32_t word = ReadBitmapPixel(surface_, x, y);
  color.alpha = static_cast<int>(word >> 24);
  color.red = static_cast<int>((word >> 16) & 255);
  color.green = static_cast<int>((word >> 8) & 255);
  color.blue = static_cast<int>(word & 255);
  return color;
}

bool BitmapGraphics::StrokeVLine(const ArgbColor& color, int x, int y1, int y2) {
  uint32_t* pixels = SurfacePixels();
  if (!pixels) return true;
  int w = surface_->Width(), h = surface_->Height(), stride = surface_->RowStride();
  if (w <= 0 || h <= 0) return true;
  x = std::clamp(x, 0, w - 1);
  y1 = std::clamp(y1, 0, h - 1);
  y2 = std::clamp(y2, 0, h - 1);
  uint32_t word = color.Word();
  for (int y = y1; y <= y2; ++y) pixels[static_cast<size_t>(y) * static_cast<size_t>(stride) + x] = word;
  return true;
}

bool BitmapGraphics::StrokeHLine(const ArgbColor& color, int y, int x1, int x2) {
  uint32_t* pixels = SurfacePixels();
  if (!pixels) return true;
  int w = surface_->Width(), h = surface_->Height(), stride = surface_->RowStride();
  if (w <= 0 || h <= 0) return true;
  y = std::clamp(y, 0, h - 1);
  x1 = std::clamp(x1, 0, w - 1);
  x2 = std::clamp(x2, 0, w - 1);
  uint32_t* row = pixels + static_cast<size_t>(y) * static_cast<size_t>(stride);
  uint32_t word = color.Word();
  for (int x = x1; x <= x2; ++x) row[x] = word;
  return true;
}

namespace {

// An embedded image as an editor holds it: the process's one decoded copy,
// which nothing draws into, seen through a bitmap the editor owns.
class SharedImage final : public Bitmap {
 public:
  explicit SharedImage(Bitmap& image) : image_(image) {}
  uint32_t* PixelData() override { return image_.PixelData(); }
  int Width() const override { return image_.Width(); }
  int Height() const override { return image_.Height(); }
  int RowStride() const override { return image_.RowStride(); }
  bool IsBottomUp() const override { return image_.IsBottomUp(); }
  bool SetSize(int, int) override { return false; }

 private:
  Bitmap& image_;
};

// The embedded images never change, so each is decoded once per process and
// shared by every editor: opening an editor again, or one more instance's,
// no longer decodes (and holds another copy of) the backdrop. Any GUI
// thread, under the lock.
class DecodedImages {
 public:
  DecodedImages() = default;
  DecodedImages(const DecodedImages&) = delete;
  DecodedImages& operator=(const DecodedImages&) = delete;
  ~DecodedImages() {
    for (int i = 0; i < count_; ++i) delete slots_[i].bitmap;
  }

  // A new bitmap of embedded image `id` (owned by the caller), or null.
  Bitmap* Get(int id) {
    LockGuard hold(lock_);
    for (int i = 0; i < count_; ++i)
      if (slots_[i].id == id) return new (std::nothrow) SharedImage(*slots_[i].bitmap);
    size_t size = 0;
    const uint8_t* data = EmbeddedPng(id, &size);
    Bitmap* bitmap = data ? DecodePng(data, size) : nullptr;
    // A failed decode is not remembered, and with the table full the caller gets the bitmap itself.
    if (!bitmap || count_ == kSlots) return bitmap;
    auto* shared = new (std::nothrow) SharedImage(*bitmap);
    if (!shared) {
      delete bitmap;
      return nullptr;
    }
    slots_[count_++] = Slot{id, bitmap};
    return shared;
  }

 private:
  struct Slot {
    int id = 0;
    Bitmap* bitmap = nullptr;
  };
  static constexpr int kSlots = 4;
  RecursiveLock lock_;
  Slot slots_[kSlots];
  int count_ = 0;
};

DecodedImages gDecodedImages;

}  // namespace

Bitmap* BitmapGraphics::LoadPngResource(int id, int, int* width, int* height) {
  if (width) *width = 0;
  if (height) *height = 0;
  // The host's loader first; a host without one gets the module's own decoder.
  Bitmap* bitmap = Plug() ? LoadPngFromHost(Plug()->Host(), id) : nullptr;
  if (!bitmap) bitmap = gDecodedImages.Get(id);
  if (bitmap) {
    if (width) *width = bitmap->Width();
    if (height) *height = bitmap->Height();
  }
  return bitmap;
}
