// WaveDisplay: the waveform display in the middle of the editor. It shows the
// plug-in's output (the captured audio after the gain shapes) in two views,
// the zoomable main view and an overview of everything heard so far, labels
// their time and gain axes, marks the main view's range in the overview with
// the zoom window, and draws the gain shapes over the waveform.
//
// Files: WaveDisplay.cpp (construction, geometry, look), WaveDisplayRender.cpp
// (taking captured audio, following the host, drawing), WaveDisplayMouse.cpp
// (navigation), WaveDisplayEdits.cpp (shape editing and the edit panel's
// operations on the display's edit store).
//
// Threads: everything runs on the GUI thread, except SetDisplayLook (the
// thread that changed the parameter, possibly the audio thread under PlugLock)
// and MarkDirty (the audio thread after a block that published captured
// audio); both only store atomics.
#pragma once

#include <atomic>
#include <cstdint>

#include "controls/Control.h"
#include "controls/LabelList.h"
#include "controls/SampleStore.h"
#include "controls/ShapeLayerCache.h"
#include "controls/WaveView.h"
#include "core/HeapBuffer.h"
#include "core/PixelRect.h"
#include "shapes/ShapeStore.h"

class EditPanel;
class EffectPlugin;
class Graphics;
struct SegmentSettings;

class WaveDisplay : public Control {
 public:
  // ---- Geometry (editor pixels) ----
  static constexpr PixelRect kDisplayRect{24, 24, 616, 445};
  static constexpr PixelRect kMainRect{30, 40, 576, 353};
  static constexpr PixelRect kOverviewRect{30, 362, 605, 429};
  // Both views count time at this rate, whatever the host's, for their labels.
  static constexpr int kViewSampleRate = 44100;
  static constexpr int64_t kMainSpan = 220500;       // 5 s
  static constexpr int64_t kOverviewSpan = 1323000;  // 30 s
  static constexpr int64_t kOverviewLead = 220500;   // the overview reaches 5 s past the newest data
  static constexpr int kMainGainLimit = 768;         // gain drags stop at +-1.5
  static constexpr int kMinGainRange = 16;           // ... and keep at least 1/32 of full scale
  static constexpr int64_t kMinRulerSpan = 1024;
  static constexpr int kMinZoomSize = 4;             // pixels of the zoom window
  static constexpr int kHandleReach = 8;
  static constexpr int kCaptureEntries = 16384;

  enum HoverMode { kHoverNone = 0, kHoverZoom = 1, kHoverTopLeft = 2, kHoverBottomRight = 3, kHoverShapes = 7 };
  enum DragMode {
    kDragNone = 0,
    kDragZoom = 1,
    kDragTopLeft = 2,
    kDragBottomRight = 3,
    kDragRulerPressed = 4,
    kDragRuler = 5,
    kDragGain = 6,
    kDragShapes = 7,
  };

  // GUI thread (the editor layout, inside the plug-in's construction).
  WaveDisplay(EffectPlugin* plug, Graphics* graphics);
  ~WaveDisplay() override;

  // ---- Control (GUI thread) ----
  void MousePress(int x, int y, const PointerState& mods) override;
  void MouseRelease(int x, int y) override;
  void MouseDrag(int x, int y, int dX, int dY, const PointerState& mods) override;
  void MouseDoubleClick(int x, int y, const PointerState& mods) override;
  void MouseWheel(int x, int y, const PointerState& mods, int notches) override;
  void MouseHover(int x, int y, const PointerState& mods) override;
  void MouseLeave() override;
  bool Render(Graphics& graphics) override;

  // Any thread: the "bright" and "colormap" parameters changed. Stores the
  // look; the next Render repaints every column with it.
  void SetDisplayLook(double brightness, int colourMap);
  // GUI thread: the edit panel the display reports to (loop, follow, segment).
  void LinkEditPanel(EditPanel* panel) { editPanel_ = panel; }

  // ---- Geometry (GUI thread) ----
  // The zoom window from the main view's time and gain range.
  void DeriveZoomWindow();
  // Moves and shrinks r so that it lies inside the overview.
  static void KeepInsideOverview(PixelRect& r);
  // The main view's time and gain range from the zoom window.
  void ZoomWindowToMainView();
  // Sets the main view's gain range (1/512 units) and rebuilds its gain
  // labels; false, with nothing changed, for an empty or inverted range.
  bool SetMainGainRange(int bottom, int top);
  // Moves the main view to [from, to), recomputes it, derives the zoom window
  // and marks the display dirty; false, with nothing changed, for a refused range.
  bool MoveMainView(int64_t from, int64_t to);
  // Zeroes both views and forgets every stored sample.
  void ClearCapturedData();
  // Switches following the host's play cursor on or off.
  void SetFollowCursor(bool on) { followCursor_ = on; }

  // ---- Shape editing (WaveDisplayEdits.cpp) ----
  // The narrow way in from the display's own code. Every GUI entry (Render,
  // each mouse handler) first calls RefreshShapes, so that shapes restored
  // from saved state reach the edit store before anything edits or draws it.
  void RefreshShapes();
  // The pointer moved over the main view with no button held.
  void HoverShapes(int x, int y);
  // A press on the main view. Returns true when the drag that follows edits
  // shapes (it then arrives at DragShapes).
  bool PressShapes(int x, int y, const PointerState& mods);
  void DragShapes(int x, int y, int dX, int dY, const PointerState& mods);
  // Newly captured samples cover [start, end): detects a jump back of the
  // host (a loop), keeps the loop range and sets lastEnd to end.
  void DetectHostLoop(int64_t start, int64_t end);
  // After each paint: the panel shows whether the display follows the host.
  void ShowFollowState();

  // ---- Operations for the edit panel (WaveDisplayEdits.cpp) ----
  // Each acts through the edit store and commits what changed to the
  // plug-in; each returns whether it changed anything.
  bool ApplySegmentSettings(bool bypass, bool mute, double follow, double clip, double blend);
  bool StartCopy();
  bool DeleteSegment();
  bool CopyLoop();
  bool FitLoop();
  // Select a neighbour of the selected segment, centre the main view on its
  // control point and hand its settings to the caller.
  bool SelectPreviousSegment(SegmentSettings* settings);
  bool SelectNextSegment(SegmentSettings* settings);
  // Deletes every shape and all captured audio (the reset countdown's end).
  void ClearAllData();

  // ---- State ----
  EffectPlugin* Effect() const { return plug_; }
  Graphics* GraphicsSurface() const { return graphics_; }
  EditPanel* Panel() const { return editPanel_; }
  ShapeStore& Shapes() { return shapes_; }
  SampleStore& Samples() { return samples_; }
  WaveView& MainView() { return mainView_; }
  WaveView& Overview() { return overview_; }
  const LabelList& GainLabels() const { return gainLabels_; }
  const PixelRect& ZoomWindow() const { return zoomWindow_; }
  bool FollowCursor() const { return followCursor_; }
  int64_t LastEnd() const { return lastEnd_; }
  int64_t LoopStart() const { return loopStart_; }
  int64_t LoopEnd() const { return loopEnd_; }
  double Brightness() const { return brightness_.load(std::memory_order_relaxed); }
  int ColourMapIndex() const { return colourMap_.load(std::memory_order_relaxed); }
  int HoverModeNow() const { return hoverMode_; }
  // The overview's shapes kept between paints (tests switch it off to compare).
  ShapeLayerCache& OverviewShapeCache() { return overviewShapes_; }
  int DragModeNow() const { return dragMode_; }

 private:
  // Render, step by step (WaveDisplayRender.cpp).
  void TakeCapturedAudio();
  void ApplyPendingLook();
  void DrawGainLabels(Graphics& g);
  void DrawZoomWindow(Graphics& g);
  void DrawHandle(Graphics& g, int x, int y, bool hovered, bool dragged);
  void DrawLoopMarkers(Graphics& g);
  void DrawShapes(Graphics& g);
  void DrawSegmentInMainView(Graphics& g, ShapeSegment& segment);
  void DrawOverviewShapes(Graphics& g);
  // What a segment's overview drawing depends on, from the overview's mapping.
  OverviewSegment OverviewInputs(const ShapeSegment& segment) const;
  void DrawSegmentInOverview(Graphics& g, const OverviewSegment& segment);
  void DrawPlayCursor(Graphics& g);
  // Navigation (WaveDisplayMouse.cpp).
  void DragZoomWindow(int dX, int dY);
  void DragRuler(int x, int dX);
  void DragGain(int y, int dY);
  // Recomputes the main view over [from, to) with the current look.
  bool UpdateMainView(int64_t from, int64_t to);

  ShapeStore shapes_;
  HeapBuffer captureBuffer_{4096};
  SampleStore samples_;
  bool followCursor_ = true;
  int64_t lastEnd_ = 0;
  int64_t loopStart_ = 0;
  int64_t loopEnd_ = 0;
  std::atomic<double> brightness_{1.0};
  std::atomic<int> colourMap_{3};
  WaveView mainView_;
  WaveView overview_;
  LabelList gainLabels_;
  PixelRect zoomWindow_;
  FontSpec gainLabelStyle_;
  Graphics* graphics_;
  EffectPlugin* plug_;
  EditPanel* editPanel_ = nullptr;
  int dragMode_ = kDragNone;
  int hoverMode_ = kHoverNone;
  ShapeLayerCache overviewShapes_;
  HeapBuffer overviewInputs_{4096};  // OverviewSegment per segment, this paint's
  // Set by SetDisplayLook, taken by Render.
  std::atomic<bool> lookChanged_{false};
};
