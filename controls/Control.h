// Control: a rectangle of the editor that draws itself, takes mouse input and
// may mirror one parameter of the plug-in. The base gives the default
// behaviour that the editor's controls build on.
#pragma once

#include <atomic>

#include "core/PixelRect.h"

class Graphics;
class PlugBase;

class Control {
 public:
  Control(PlugBase* plug, const PixelRect& rect, int paramIndex, int blendKind, float blendWeight);
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  // GUI thread.
  virtual void MousePress(int x, int y, const PointerState& mods);
  virtual void MouseRelease(int x, int y);
  virtual void MouseDrag(int x, int y, int dX, int dY, const PointerState& mods);
  virtual void MouseDoubleClick(int x, int y, const PointerState& mods);
  virtual void MouseWheel(int x, int y, const PointerState& mods, int notches);
  virtual void MouseHover(int x, int y, const PointerState& mods);
  virtual void MouseLeave();
  virtual bool Render(Graphics& graphics) = 0;
  virtual void SetHidden(bool hidden);
  virtual void SetDimmed(bool grayed);
  // Clamps the value; with push, hands it to the linked parameter (the host hears first).
  virtual void MarkDirty(bool push);
  virtual void MarkClean();
  virtual bool NeedsRedraw() const;

  // Any thread, PlugLock held: the plug-in's value of the linked parameter. The
  // first value also becomes the default that a double-click restores. A value
  // that is not finite is ignored.
  void TakePlugValue(double value);
  // GUI thread: a value the user typed into the text prompt.
  void TakeTypedValue(double value);

  PlugBase* Plug() const { return plug_; }
  // The surface this control's plug-in is bound to, or null before binding.
  Graphics* Surface() const;
  const PixelRect& Rect() const { return rect_; }
  const PixelRect& TargetRect() const { return targetRect_; }
  void SetTargetRect(const PixelRect& rect) { targetRect_ = rect; }
  int ParamIndex() const { return paramIndex_; }
  double Value() const { return value_.load(std::memory_order_relaxed); }
  void SetValue(double value) { value_.store(value, std::memory_order_relaxed); }
  double DefaultValue() const { return defaultValue_.load(std::memory_order_relaxed); }
  void SetClamp(double low, double high) {
    clampLow_ = low;
    clampHigh_ = high;
  }
  bool IsHidden() const { return hidden_; }
  bool IsGrayed() const { return grayed_; }
  void SetRedrawAgain() { redrawState_.fetch_or(kRedrawAgain); }
  void DisablePrompt(bool disabled) { promptDisabled_ = disabled; }
  const BlendSpec& Blend() const { return blend_; }
  void SetBlend(const BlendSpec& blend) { blend_ = blend; }

 protected:
  PixelRect rect_;

 private:
  PlugBase* plug_;
  PixelRect targetRect_;
  int paramIndex_;
  // The host's thread writes these while the editor reads them.
  std::atomic<double> value_{0.0};
  std::atomic<double> defaultValue_{-1.0};
  double clampLow_ = 0.0;
  double clampHigh_ = 1.0;
  // Dirty and redraw-again share one word so that a host thread's change and
  // the editor's MarkClean never interleave: each is one atomic update.
  static constexpr unsigned kDirty = 1;
  static constexpr unsigned kRedrawAgain = 2;
  std::atomic<unsigned> redrawState_{kDirty};
  bool hidden_ = false;
  bool grayed_ = false;
  bool promptDisabled_ = false;
  BlendSpec blend_;
};
