// ImageControl: shows one frame of a multi-frame image, chosen by its value.
// HoldButton: a momentary push button built on it.
#pragma once

#include "controls/Control.h"

class ImageControl : public Control {
 public:
  // The rect is the image's width by the height of one frame, at (x, y).
  ImageControl(PlugBase* plug, int x, int y, int paramIndex, const ImageRef& image, int blendKind);
  bool Render(Graphics& graphics) override;
  // The 1-based frame that the current value shows.
  int FrameForValue() const;
  const ImageRef& Image() const { return image_; }

 private:
  ImageRef image_;
};

class HoldButton : public ImageControl {
 public:
  using ImageControl::ImageControl;
  void MousePress(int x, int y, const PointerState& mods) override;
  void MouseRelease(int x, int y) override;
};
