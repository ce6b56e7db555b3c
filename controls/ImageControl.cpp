#include "controls/ImageControl.h"

#include "graphics/Graphics.h"

namespace {
PixelRect FrameRect(int x, int y, const ImageRef& image) {
  int frames = image.frames > 0 ? image.frames : 1;
  return PixelRect{x, y, x + image.width, y + image.height / frames};
}
}  // namespace

ImageControl::ImageControl(PlugBase* plug, int x, int y, int paramIndex, const ImageRef& image, int blendKind)
    : Control(plug, FrameRect(x, y, image), paramIndex, blendKind, 1.0f), image_(image) {}

int ImageControl::FrameForValue() const {
  int n = image_.frames;
  if (n <= 1) return 1;
  double v = Value();
  if (!(v == v)) v = 0.0;
  v = v < -1e6 ? -1e6 : (v > 1e6 ? 1e6 : v);
  int frame = 1 + static_cast<int>((n - 1) * v + 0.5);
  return frame < 1 ? 1 : (frame > n ? n : frame);
}

bool ImageControl::Render(Graphics& graphics) {
  return graphics.BlitImageFrame(image_, rect_, FrameForValue(), Blend());
}

void HoldButton::MousePress(int x, int y, const PointerState& mods) {
  if (mods.right) {
    Control::MousePress(x, y, mods);
  } else {
    int n = Image().frames;
    SetValue(Value() + (n >= 2 ? 1.0 / (n - 1) : 1.0));
  }
  if (Value() > 1.001) SetValue(0.0);
  MarkDirty(true);
}

void HoldButton::MouseRelease(int, int) {
  SetValue(0.0);
  MarkDirty(true);
}
