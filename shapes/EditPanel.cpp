#include "shapes/EditPanel.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "controls/WaveDisplay.h"
#include "core/Param.h"
#include "effect/EffectPlugin.h"
#include "graphics/Graphics.h"
#include "shapes/ShapeStore.h"

namespace {

// ---- Items (editor pixels; right and bottom exclusive) ----
constexpr PixelRect kFollowSwitchRect{374, 477, 413, 489};
// The loop row: the label on the left, the actions "fit  | copy" right-aligned
// against the panel's separator; presses left of the bar fit, right of it
// copy. The label's longest text, "no loop detected : ", ends before the
// actions start in every face that draws "Arial" here (Liberation Sans through
// FreeType: 14 pixels apart; through Wine's GDI, wider: 5 pixels apart).
constexpr PixelRect kLoopRowRect{276, 456, 424, 468};
constexpr PixelRect kLoopLabelRect{276, 456, 372, 468};
constexpr PixelRect kLoopActionsRect{372, 456, 424, 468};
constexpr int kLoopRowSplitX = 394;
constexpr PixelRect kColourMapRect{361, 498, 413, 510};
constexpr PixelRect kLeftArrowRect{444, 469, 458, 485};
constexpr PixelRect kRightArrowRect{461, 469, 476, 485};
constexpr PixelRect kFollowKnobRect{500, 468, 516, 484};
constexpr PixelRect kClipKnobRect{576, 468, 592, 484};
constexpr PixelRect kBlendKnobRect{538, 457, 554, 473};
constexpr PixelRect kCopyRect{442, 498, 478, 508};
constexpr PixelRect kMuteRect{484, 498, 520, 508};
constexpr PixelRect kBypassRect{528, 498, 564, 508};
constexpr PixelRect kDeleteRect{570, 498, 606, 508};
constexpr PixelRect kCountdownRect{445, 460, 605, 495};
constexpr PixelRect kSwitchYesRect{374, 477, 393, 489};
constexpr PixelRect kSwitchNoRect{393, 477, 413, 489};

// ---- Colours ----
constexpr ArgbColor kBlack{255, 0, 0, 0};
constexpr ArgbColor kGrey{255, 127, 127, 127};
constexpr ArgbColor kWhite{255, 255, 255, 255};
constexpr ArgbColor kRed{255, 255, 0, 0};
constexpr ArgbColor kGreen{255, 0, 255, 0};
constexpr BlendSpec kCopyBlend{1, 1.0f};

constexpr double kKnobDragStep = 0.007;  // value per pixel of vertical drag
constexpr double kKnobWheelStep = 0.02;  // value per wheel notch
constexpr int kBlinkDraws = 12;          // six draws red, six green

constexpr int kAlignLeft = 0;
constexpr int kAlignCentre = 1;
constexpr int kAlignRight = 2;

double Unit(double value) { return std::clamp(value, 0.0, 1.0); }

}  // namespace

int64_t EditPanel::SteadyMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

EditPanel::EditPanel(EffectPlugin* plugin, const PixelRect& rect)
    : Control(plugin, rect, -1, 0, 1.0f), plugin_(plugin) {
  textStyle_.color = kWhite;
  textStyle_.alignment = kAlignCentre;
}

// ---- Calls from the plug-in and the display ----

void EditPanel::SetResetArmed(bool armed) {
  if (armed == resetArmed_.load(std::memory_order_acquire)) return;
  // The time goes first, so a draw that sees the flag also sees its time.
  if (armed) armedTime_.store(clock_(), std::memory_order_relaxed);
  resetArmed_.store(armed, std::memory_order_release);
  MarkDirty(false);
}

void EditPanel::SetLoopDetected(bool on) {
  if (on == loopShown_) return;
  loopShown_ = on;
  SetRedrawAgain();
}

void EditPanel::SetFollowCursorShown(bool on) {
  if (on == followShown_) return;
  followShown_ = on;
  SetRedrawAgain();
}

void EditPanel::ShowSegment(bool bypass, bool mute, double follow, double clip, double blend) {
  bypassOn_ = bypass;
  muteOn_ = mute;
  followValue_ = follow;
  clipValue_ = clip;
  blendValue_ = blend;
  copyBlinking_ = false;
  segmentShown_ = true;
  MarkDirty(true);
}

void EditPanel::HideSegment() {
  segmentShown_ = false;
  // A press on the shapes that selects nothing has ended any pending paste.
  copyBlinking_ = false;
  MarkDirty(true);
}

// ---- Mouse ----

void EditPanel::TakeSettings(const SegmentSettings& settings) {
  bypassOn_ = settings.bypass;
  muteOn_ = settings.mute;
  followValue_ = settings.follow;
  clipValue_ = settings.clip;
  blendValue_ = settings.blend;
}

bool EditPanel::StepSelection(bool forward) {
  if (!display_) return false;
  SegmentSettings settings;
  bool selected = forward ? display_->SelectNextSegment(&settings) : display_->SelectPreviousSegment(&settings);
  if (selected) TakeSettings(settings);
  return selected;
}

void EditPanel::ApplySettings() {
  if (display_) display_->ApplySegmentSettings(bypassOn_, muteOn_, followValue_, clipValue_, blendValue_);
}

double* EditPanel::KnobValueAt(int x, int y) {
  if (kFollowKnobRect.Contains(x, y)) return &followValue_;
  if (kBlendKnobRect.Contains(x, y)) return &blendValue_;
  if (kClipKnobRect.Contains(x, y)) return &clipValue_;
  return nullptr;
}

void EditPanel::MousePress(int x, int y, const PointerState&) {
  pressedItem_ = kNone;
  if (loopShown_ && kLoopRowRect.Contains(x, y)) {
    if (x > kLoopRowSplitX) {
      pressedItem_ = kLoopCopy;
      if (display_) display_->CopyLoop();
    } else {
      pressedItem_ = kFit;
      if (display_) display_->FitLoop();
      loopShown_ = false;
    }
  } else if (kFollowSwitchRect.Contains(x, y)) {
    pressedItem_ = kFollowSwitch;
    followShown_ = !followShown_;
    if (display_) display_->SetFollowCursor(followShown_);
  } else if (kColourMapRect.Contains(x, y)) {
    pressedItem_ = kColourMap;
    if (plugin_) plugin_->CycleColourMap();
  } else if (kLeftArrowRect.Contains(x, y)) {
    pressedItem_ = kLeftArrow;
    segmentShown_ = StepSelection(false);
  } else if (kRightArrowRect.Contains(x, y)) {
    pressedItem_ = kRightArrow;
    segmentShown_ = StepSelection(true);
  } else if (segmentShown_) {
    if (kFollowKnobRect.Contains(x, y)) {
      pressedItem_ = kFollowKnob;
    } else if (kBlendKnobRect.Contains(x, y)) {
      pressedItem_ = kBlendKnob;
    } else if (kClipKnobRect.Contains(x, y)) {
      pressedItem_ = kClipKnob;
    } else if (kCopyRect.Contains(x, y)) {
      pressedItem_ = kCopyButton;
      // Blink only while a paste is really pending.
      copyBlinking_ = display_ && display_->StartCopy();
    } else if (kMuteRect.Contains(x, y)) {
      pressedItem_ = kMuteButton;
      muteOn_ = !muteOn_;
      ApplySettings();
    } else if (kBypassRect.Contains(x, y)) {
      pressedItem_ = kBypassButton;
      bypassOn_ = !bypassOn_;
      ApplySettings();
    } else if (kDeleteRect.Contains(x, y)) {
      pressedItem_ = kDeleteButton;
      if (display_) display_->DeleteSegment();
      segmentShown_ = false;
      // Deleting the segment waiting to be pasted ends the paste.
      if (display_ && display_->Shapes().copySource < 0) copyBlinking_ = false;
    }
  }
  MarkDirty(true);
}

void EditPanel::MouseRelease(int, int) {
  pressedItem_ = kNone;
  MarkDirty(true);
}

void EditPanel::MouseDrag(int, int, int, int dY, const PointerState&) {
  if (!segmentShown_) return;
  double* value = nullptr;
  if (pressedItem_ == kFollowKnob) value = &followValue_;
  if (pressedItem_ == kBlendKnob) value = &blendValue_;
  if (pressedItem_ == kClipKnob) value = &clipValue_;
  if (!value) return;
  // Moving up raises the value.
  *value = Unit(*value - dY * kKnobDragStep);
  ApplySettings();
  MarkDirty(true);
}

void EditPanel::MouseDoubleClick(int x, int y, const PointerState&) {
  if (!segmentShown_) return;
  if (kFollowKnobRect.Contains(x, y)) {
    followValue_ = 0.5;
  } else if (kBlendKnobRect.Contains(x, y)) {
    blendValue_ = 0.5;
  } else if (kClipKnobRect.Contains(x, y)) {
    clipValue_ = 1.0;
  } else {
    return;
  }
  ApplySettings();
  MarkDirty(true);
}

void EditPanel::MouseWheel(int x, int y, const PointerState&, int notches) {
  if (kLeftArrowRect.Contains(x, y) || kRightArrowRect.Contains(x, y)) {
    segmentShown_ = StepSelection(notches >= 0);
    MarkDirty(true);
  } else if (segmentShown_) {
    if (double* value = KnobValueAt(x, y)) {
      *value = Unit(*value + notches * kKnobWheelStep);
      ApplySettings();
      MarkDirty(true);
    }
  }
  if (kColourMapRect.Contains(x, y)) {
    if (plugin_) plugin_->CycleColourMap();
    MarkDirty(true);
  }
}

// ---- Drawing ----

void EditPanel::Print(Graphics& graphics, const char* text, const PixelRect& rect, const ArgbColor& color,
                      int alignment) {
  textStyle_.color = color;
  textStyle_.alignment = alignment;
  graphics.PrintText(textStyle_, text, rect);
}

void EditPanel::DrawPanelKnob(Graphics& graphics, const ArgbColor& color, int centreX, int centreY, double value) {
  const float cx = static_cast<float>(centreX);
  const float cy = static_cast<float>(centreY);
  // 270 degrees of sweep: 0 at the lower left, 0.5 straight up, 1 at the lower right.
  const float angle = static_cast<float>(-1.5 * std::numbers::pi * (value + 0.1875));
  graphics.StrokeCircle(color, cx, cy, 5.0f, kCopyBlend, true);
  graphics.StrokeLine(color, cx, cy, cx + 5.0f * std::sin(angle), cy + 5.0f * std::cos(angle), kCopyBlend, true);
}

void EditPanel::DrawBevelFrame(Graphics& graphics, const ArgbColor& color, const PixelRect& r) {
  graphics.StrokeHLine(color, r.top, r.left + 2, r.right - 2);
  graphics.StrokeHLine(color, r.bottom, r.left + 2, r.right - 2);
  graphics.StrokeVLine(color, r.left, r.top + 2, r.bottom - 2);
  graphics.StrokeVLine(color, r.right, r.top + 2, r.bottom - 2);
  const ArgbColor dark{255, color.red * 3 / 4, color.green * 3 / 4, color.blue * 3 / 4};
  const ArgbColor mid{255, color.red * 7 / 8, color.green * 7 / 8, color.blue * 7 / 8};
  // Each corner: the two pixels diagonal to it dark, the one inside them mid.
  struct Corner {
    int x, y, inwardX, inwardY;
  };
  const Corner corners[] = {{r.left, r.top, 1, 1},
                            {r.right, r.top, -1, 1},
                            {r.left, r.bottom, 1, -1},
                            {r.right, r.bottom, -1, -1}};
  for (const Corner& c : corners) {
    graphics.StorePixel(dark, c.x + c.inwardX, c.y);
    graphics.StorePixel(dark, c.x, c.y + c.inwardY);
    graphics.StorePixel(mid, c.x + c.inwardX, c.y + c.inwardY);
  }
}

void EditPanel::DrawCountdown(Graphics& graphics, int64_t elapsed) {
  graphics.FillArea(kBlack, kCountdownRect, kCopyBlend);
  for (int k = 0; k < kResetSeconds; ++k) {
    char digit[8];
    std::snprintf(digit, sizeof digit, "%d", kResetSeconds - k);
    Print(graphics, digit, PixelRect{493 + 16 * k, 461, 498 + 16 * k, 480}, kWhite, kAlignCentre);
  }
  const int at = static_cast<int>(elapsed);
  DrawBevelFrame(graphics, kWhite, PixelRect{489 + 16 * at, 460, 500 + 16 * at, 474});
  Print(graphics, "all data will be deleted!", PixelRect{445, 480, 605, 495}, kWhite, kAlignCentre);
  // The digits move on with the clock, not with new audio.
  SetRedrawAgain();
}

void EditPanel::DrawSegmentControls(Graphics& graphics) {
  const ArgbColor base = segmentShown_ ? kWhite : kGrey;
  auto itemColor = [&](int item, bool on) { return pressedItem_ == item || on ? kRed : base; };

  const ArgbColor left = itemColor(kLeftArrow, false);
  graphics.StrokeLine(left, 444, 477, 458, 469, kCopyBlend, true);
  graphics.StrokeLine(left, 444, 477, 458, 485, kCopyBlend, true);
  graphics.StrokeVLine(left, 458, 469, 485);
  const ArgbColor right = itemColor(kRightArrow, false);
  graphics.StrokeLine(right, 461, 469, 476, 477, kCopyBlend, true);
  graphics.StrokeLine(right, 461, 485, 476, 477, kCopyBlend, true);
  graphics.StrokeVLine(right, 461, 469, 485);

  DrawPanelKnob(graphics, itemColor(kFollowKnob, false), 508, 476, followValue_);
  DrawPanelKnob(graphics, itemColor(kBlendKnob, false), 546, 465, blendValue_);
  DrawPanelKnob(graphics, itemColor(kClipKnob, false), 584, 476, clipValue_);

  Print(graphics, "follow", PixelRect{499, 456, 515, 466}, base, kAlignCentre);
  Print(graphics, "clip", PixelRect{576, 456, 592, 466}, base, kAlignCentre);
  Print(graphics, "blend", PixelRect{538, 471, 554, 481}, base, kAlignCentre);
  Print(graphics, "slow", PixelRect{485, 483, 505, 493}, kGrey, kAlignCentre);
  Print(graphics, "fast", PixelRect{511, 483, 531, 493}, kGrey, kAlignCentre);
  Print(graphics, "hard", PixelRect{561, 483, 581, 493}, kGrey, kAlignCentre);
  Print(graphics, "soft", PixelRect{587, 483, 607, 493}, kGrey, kAlignCentre);

  ArgbColor copy = itemColor(kCopyButton, false);
  if (copyBlinking_) {
    copy = blinkCounter_ < kBlinkDraws / 2 ? kRed : kGreen;
    blinkCounter_ = (blinkCounter_ + 1) % kBlinkDraws;
    SetRedrawAgain();
  }
  Print(graphics, "copy", kCopyRect, copy, kAlignCentre);
  Print(graphics, "mute", kMuteRect, itemColor(kMuteButton, muteOn_), kAlignCentre);
  Print(graphics, "bypass", kBypassRect, itemColor(kBypassButton, bypassOn_), kAlignCentre);
  Print(graphics, "delete", kDeleteRect, itemColor(kDeleteButton, false), kAlignCentre);
}

void EditPanel::DrawCommonPart(Graphics& graphics) {
  ArgbColor actions = kGrey;
  if (loopShown_) {
    Print(graphics, "loop detected : ", kLoopLabelRect, kGrey, kAlignLeft);
    actions = pressedItem_ == kFit || pressedItem_ == kLoopCopy ? kRed : kWhite;
  } else {
    Print(graphics, "no loop detected : ", kLoopLabelRect, kGrey, kAlignLeft);
  }
  Print(graphics, "fit  | copy", kLoopActionsRect, actions, kAlignRight);

  const ArgbColor on = pressedItem_ == kFollowSwitch ? kRed : kWhite;
  Print(graphics, "Y", kSwitchYesRect, followShown_ ? on : kGrey, kAlignRight);
  Print(graphics, "N ", kSwitchNoRect, followShown_ ? kGrey : on, kAlignRight);

  char name[32] = "";
  if (plugin_) {
    // The host sets parameters from its own threads under PlugLock.
    LockGuard hold(plugin_->PlugLock());
    if (Param* colormap = plugin_->ParamAt(EffectPlugin::kColormap)) colormap->FormatValue(name);
  }
  Print(graphics, name, kColourMapRect, pressedItem_ == kColourMap ? kRed : kWhite, kAlignCentre);
}

bool EditPanel::Render(Graphics& graphics) {
  bool armed = resetArmed_.load(std::memory_order_acquire);
  int64_t elapsed = 0;
  if (armed) {
    // Whole seconds since arming; a clock read before the arming time counts as 0.
    elapsed = std::max<int64_t>(0, (clock_() - armedTime_.load(std::memory_order_relaxed)) / 1000);
    if (elapsed >= kResetSeconds) {
      bool expected = true;
      // A cancel that raced this draw wins: only a countdown still armed fires.
      if (resetArmed_.compare_exchange_strong(expected, false, std::memory_order_acq_rel) && display_) {
        display_->ClearAllData();
        // No segment is left to show or paste.
        segmentShown_ = false;
        copyBlinking_ = false;
      }
      armed = false;
    }
  }
  if (armed) {
    DrawCountdown(graphics, elapsed);
  } else {
    DrawSegmentControls(graphics);
  }
  DrawCommonPart(graphics);
  return true;
}
