#include "controls/LineKnob.h"

#include <cmath>

#include "graphics/Graphics.h"

LineKnob::LineKnob(PlugBase* plug, const PixelRect& rect, int paramIndex, const ArgbColor& color,
                   double innerRadius, double outerRadius, double minAngle, double maxAngle, int direction,
                   double gearing)
    : Control(plug, rect, paramIndex, 0, 1.0f),
      direction_(direction),
      gearing_(gearing),
      color_(color),
      minAngle_(static_cast<float>(minAngle)),
      maxAngle_(static_cast<float>(maxAngle)),
      innerRadius_(static_cast<float>(innerRadius)),
      outerRadius_(static_cast<float>(outerRadius)) {
  SetBlend(BlendSpec{1, 1.0f});
  if (outerRadius_ == 0.0f) outerRadius_ = static_cast<float>(rect.right - rect.left);
}

void LineKnob::MouseDrag(int, int, int dX, int dY, const PointerState&) {
  double span = direction_ == 0 ? rect_.top - rect_.bottom : rect_.right - rect_.left;
  double delta = direction_ == 0 ? dY : dX;
  // A zero-sized control or gearing would divide by zero: such a knob does not turn.
  if (span == 0.0 || gearing_ == 0.0) return;
  SetValue(Value() + delta / span / gearing_);
  MarkDirty(true);
}

bool LineKnob::Render(Graphics& graphics) {
  double angle = minAngle_ + (static_cast<double>(maxAngle_) - minAngle_) * Value();
  float s = static_cast<float>(std::sin(angle));
  float c = static_cast<float>(std::cos(angle));
  float cx = (rect_.left + rect_.right) * 0.5f;
  float cy = (rect_.top + rect_.bottom) * 0.5f;
  return graphics.StrokeLine(color_, cx + innerRadius_ * s, cy - innerRadius_ * c, cx + outerRadius_ * s,
                             cy - outerRadius_ * c, Blend(), true);
}
