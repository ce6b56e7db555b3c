// EditPanel: the panel below the waveform from which the user works on the
// selected gain-shape segment and on the detected host loop. Three small knobs
// ("follow", "blend", "clip") and four buttons ("copy", "mute", "bypass",
// "delete") edit the selected segment, two arrows step through the segments,
// "fit  | copy" acts on the detected loop, "Y"/"N " switches the display's
// following of the host cursor and the colour-map name steps the map. While
// the "reset" parameter is held, the panel shows a five-second countdown and
// then deletes all shapes and captured audio.
//
// Threads: everything runs on the GUI thread except SetResetArmed, which the
// plug-in calls from whichever thread changed the "reset" parameter (under
// PlugLock); it only stores atomics and marks the panel dirty.
#pragma once

#include <atomic>
#include <cstdint>

#include "controls/Control.h"
#include "core/PixelRect.h"

class EffectPlugin;
class WaveDisplay;
struct SegmentSettings;

class EditPanel : public Control {
 public:
  // Milliseconds on a clock that never goes back; tests inject their own.
  using Clock = int64_t (*)();
  static int64_t SteadyMilliseconds();

  // The panel's items; pressedItem() names the one pressed last (kNone when none).
  enum Item {
    kNone = 0,
    kFollowSwitch = 1,
    kFit = 2,
    kLoopCopy = 3,
    kColourMap = 4,
    kLeftArrow = 5,
    kRightArrow = 6,
    kFollowKnob = 7,
    kClipKnob = 8,
    kBlendKnob = 9,
    kCopyButton = 10,
    kMuteButton = 11,
    kBypassButton = 12,
    kDeleteButton = 13,
  };
  static constexpr int kResetSeconds = 5;

  EditPanel(EffectPlugin* plugin, const PixelRect& rect);

  // GUI thread: the editor layout links the display once both exist.
  void SetDisplay(WaveDisplay* display) { display_ = display; }
  // Any thread, PlugLock held: arms or cancels the reset countdown.
  void SetResetArmed(bool armed);
  // GUI thread, from the display's draw: store the flag and redraw once when it changes.
  void SetLoopDetected(bool on);
  void SetFollowCursorShown(bool on);
  // GUI thread, from the display after a press on its shapes.
  void ShowSegment(bool bypass, bool mute, double follow, double clip, double blend);
  void HideSegment();
  // Tests only: the countdown's clock.
  void SetClock(Clock clock) { clock_ = clock; }

  // GUI thread.
  void MousePress(int x, int y, const PointerState& mods) override;
  void MouseRelease(int x, int y) override;
  void MouseDrag(int x, int y, int dX, int dY, const PointerState& mods) override;
  void MouseDoubleClick(int x, int y, const PointerState& mods) override;
  void MouseWheel(int x, int y, const PointerState& mods, int notches) override;
  bool Render(Graphics& graphics) override;

  bool ResetArmed() const { return resetArmed_.load(std::memory_order_acquire); }
  bool SegmentShown() const { return segmentShown_; }
  bool LoopShown() const { return loopShown_; }
  bool FollowShown() const { return followShown_; }
  bool CopyBlinking() const { return copyBlinking_; }
  int PressedItem() const { return pressedItem_; }

  // Drawing helpers, also used by the tests' expectations.
  static void DrawPanelKnob(Graphics& graphics, const ArgbColor& color, int centreX, int centreY, double value);
  static void DrawBevelFrame(Graphics& graphics, const ArgbColor& color, const PixelRect& rect);

 private:
  // Steps the display's selection and takes the new segment's settings.
  bool StepSelection(bool forward);
  void TakeSettings(const SegmentSettings& settings);
  void ApplySettings();
  // The panel copy a knob at (x, y) edits, or null away from the knobs.
  double* KnobValueAt(int x, int y);
  void DrawCountdown(Graphics& graphics, int64_t elapsed);
  void DrawSegmentControls(Graphics& graphics);
  void DrawCommonPart(Graphics& graphics);
  void Print(Graphics& graphics, const char* text, const PixelRect& rect, const ArgbColor& color, int alignment);

  EffectPlugin* plugin_;
  WaveDisplay* display_ = nullptr;
  Clock clock_ = &SteadyMilliseconds;
  bool followShown_ = true;
  bool loopShown_ = false;
  FontSpec textStyle_;
  // Written by the thread that moves the "reset" parameter, read by the draw.
  std::atomic<bool> resetArmed_{false};
  std::atomic<int64_t> armedTime_{0};
  bool segmentShown_ = false;
  bool bypassOn_ = false;
  bool muteOn_ = false;
  bool copyBlinking_ = false;
  double followValue_ = 0.5;
  double clipValue_ = 1.0;
  double blendValue_ = 0.5;
  int blinkCounter_ = 0;
  int pressedItem_ = kNone;
};
