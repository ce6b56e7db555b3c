#include "controls/Control.h"

#include <algorithm>
#include <cmath>

#include "graphics/Graphics.h"
#include "core/PlugBase.h"

Control::Control(PlugBase* plug, const PixelRect& rect, int paramIndex, int blendKind, float blendWeight)
    : rect_(rect), plug_(plug), targetRect_(rect), paramIndex_(paramIndex) {
  blend_.kind = blendKind;
  blend_.weight = blendWeight;
}

void Control::MousePress(int, int, const PointerState& mods) {
  if (!mods.right || paramIndex_ < 0 || promptDisabled_) return;
  Graphics* graphics = Surface();
  if (graphics) graphics->AskValueText(this, plug_->ParamAt(paramIndex_));
  SetRedrawAgain();
}

void Control::MouseRelease(int, int) {}
void Control::MouseDrag(int, int, int, int, const PointerState&) {}

void Control::MouseDoubleClick(int, int, const PointerState&) {
  double fallback = DefaultValue();
  if (fallback < 0.0) return;
  SetValue(fallback);
  MarkDirty(true);
}

void Control::MouseWheel(int, int, const PointerState& mods, int notches) {
  SetValue(Value() + notches * (mods.control ? 0.001 : 0.01));
  MarkDirty(true);
}

void Control::MouseHover(int, int, const PointerState&) {}
void Control::MouseLeave() {}

void Control::SetHidden(bool hidden) {
  hidden_ = hidden;
  MarkDirty(false);
}

void Control::SetDimmed(bool grayed) {
  grayed_ = grayed;
  blend_.weight = grayed ? 0.25f : 1.0f;
  MarkDirty(false);
}

void Control::MarkDirty(bool push) {
  double v = Value();
  // std::max(low, NaN) is low, so a NaN value ends up at the lower bound.
  v = std::min(clampHigh_, std::max(clampLow_, v));
  SetValue(v);
  redrawState_.fetch_or(kDirty);
  if (push && plug_ && paramIndex_ >= 0) plug_->ParamChangedByEditor(paramIndex_, v);
}

// A change that arrived while the control was drawn (redraw again) keeps it
// dirty for one more frame; otherwise it is clean.
void Control::MarkClean() {
  unsigned state = redrawState_.load();
  while (!redrawState_.compare_exchange_weak(state, (state & kRedrawAgain) ? kDirty : 0u)) {
  }
}

bool Control::NeedsRedraw() const { return (redrawState_.load() & kDirty) != 0; }

void Control::TakePlugValue(double value) {
  if (!std::isfinite(value)) return;
  if (DefaultValue() < 0.0) {
    defaultValue_.store(value, std::memory_order_relaxed);
  } else if (value == Value()) {
    return;
  }
  SetValue(value);
  // Redraw-again before dirty: a MarkClean between the two then leaves the
  // control dirty, so the editor draws the new value whatever the interleaving.
  SetRedrawAgain();
  MarkDirty(false);
}

void Control::TakeTypedValue(double value) {
  if (value == Value()) return;
  SetValue(value);
  MarkDirty(true);
  SetRedrawAgain();
}

Graphics* Control::Surface() const {
  // Every editor of this program is a Graphics surface.
  return plug_ ? static_cast<Graphics*>(plug_->Editor()) : nullptr;
}
