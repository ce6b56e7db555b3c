// LineKnob: a knob drawn as a pointer line at an angle proportional to its
// value; the knob's body belongs to the background image.
#pragma once

#include "controls/Control.h"

class LineKnob : public Control {
 public:
  // Angles in radians, 0 straight up, clockwise positive. direction 0 turns with
  // vertical drags, anything else with horizontal ones; gearing is the drag
  // distance, in control heights (or widths), for the whole range.
  LineKnob(PlugBase* plug, const PixelRect& rect, int paramIndex, const ArgbColor& color, double innerRadius,
           double outerRadius, double minAngle, double maxAngle, int direction, double gearing);
  void MouseDrag(int x, int y, int dX, int dY, const PointerState& mods) override;
  bool Render(Graphics& graphics) override;

 private:
  int direction_;
  double gearing_;
  ArgbColor color_;
  float minAngle_;
  float maxAngle_;
  float innerRadius_;
  float outerRadius_;
};
