// The display's side of shape editing: hover, press and drag on the main view
// go to the edit store, a jump back of the host becomes a loop, and the panel
// hears what the display knows. Every change of the edit store is committed
// to the plug-in's engine store at once.
//
// GUI thread, without a lock of its own: commits and the clearing of the
// engine store take PlugLock inside the plug-in.
#include <algorithm>

#include "controls/WaveDisplay.h"
#include "effect/EffectPlugin.h"
#include "shapes/EditPanel.h"
#include "shapes/HostLoop.h"

namespace {

// Hands the settings of the edit store's selected segment to the panel.
void ShowSelected(EditPanel* panel, const ShapeStore& shapes) {
  SegmentSettings settings;
  if (panel && shapes.GetSelectedSettings(&settings)) {
    panel->ShowSegment(settings.bypass, settings.mute, settings.follow, settings.clip, settings.blend);
  }
}

// Steps the selection, then centres the main view on the selected control
// point, keeping the view's length where the overview allows it.
bool SelectAndCentre(WaveDisplay& display, bool forward, SegmentSettings* settings) {
  ShapeStore& shapes = display.Shapes();
  forward ? shapes.SelectNext() : shapes.SelectPrevious();
  SegmentSettings selected;
  if (!shapes.GetSelectedSettings(&selected)) return false;
  if (settings) *settings = selected;
  const int64_t length = display.MainView().End() - display.MainView().Start();
  const int64_t from = std::max<int64_t>(selected.controlPos - length / 2, 0);
  display.MoveMainView(from, std::min(from + length, display.Overview().End()));
  return true;
}

}  // namespace

// ---- The display's own entries ----

void WaveDisplay::RefreshShapes() {
  // A state restored on another thread waits in the engine store; it replaces
  // the edit store before anything here edits or draws it.
  if (!plug_ || !plug_->TakeRestoredShapes(shapes_)) return;
  if (editPanel_) editPanel_->HideSegment();
  MarkDirty(false);
}

void WaveDisplay::HoverShapes(int x, int y) { shapes_.HitTestShapes(x, y); }

bool WaveDisplay::PressShapes(int x, int y, const PointerState&) {
  // The centre line belongs to neither image.
  if (y != mainView_.ZeroY() && shapes_.ClickShapes(mainView_, x, y, y > mainView_.ZeroY())) {
    ShowSelected(editPanel_, shapes_);
    if (plug_) plug_->CommitShapes(shapes_);
    return true;
  }
  if (editPanel_) editPanel_->HideSegment();
  return false;
}

void WaveDisplay::DragShapes(int x, int y, int dX, int dY, const PointerState& mods) {
  if (shapes_.DragHitPoints(mainView_, x, y, dX, dY, mods) && plug_) plug_->CommitShapes(shapes_);
}

void WaveDisplay::DetectHostLoop(int64_t start, int64_t end) {
  const double beat = plug_ ? plug_->SamplesPerBeat() : 0.0;
  const LoopChange change = TrackHostLoop(start, end, beat, loopStart_, loopEnd_, lastEnd_);
  if (editPanel_ && change != LoopChange::kNone) editPanel_->SetLoopDetected(change == LoopChange::kDetected);
}

void WaveDisplay::ShowFollowState() {
  if (editPanel_) editPanel_->SetFollowCursorShown(followCursor_);
}

// ---- Operations for the edit panel ----

bool WaveDisplay::ApplySegmentSettings(bool bypass, bool mute, double follow, double clip, double blend) {
  RefreshShapes();
  if (!shapes_.SetSelectedSettings(bypass, mute, follow, clip, blend)) return false;
  if (plug_) plug_->CommitShapes(shapes_);
  MarkDirty(false);
  return true;
}

bool WaveDisplay::StartCopy() {
  RefreshShapes();
  if (!shapes_.MarkCopySource()) return false;
  if (plug_) plug_->CommitShapes(shapes_);
  MarkDirty(false);
  return true;
}

bool WaveDisplay::DeleteSegment() {
  RefreshShapes();
  if (!shapes_.DeleteSelected()) return false;
  if (plug_) plug_->CommitShapes(shapes_);
  MarkDirty(false);
  return true;
}

bool WaveDisplay::CopyLoop() {
  RefreshShapes();
  if (loopEnd_ < 1 || !shapes_.CopyLoopShapes(loopStart_, loopEnd_)) return false;
  if (plug_) plug_->CommitShapes(shapes_);
  MarkDirty(false);
  return true;
}

bool WaveDisplay::FitLoop() {
  if (loopEnd_ <= loopStart_) return false;
  const int64_t margin = static_cast<int64_t>(static_cast<double>(loopEnd_ - loopStart_) * 0.05);
  const int64_t from = std::max<int64_t>(loopStart_ - margin, 0);
  const int64_t to = std::min(loopEnd_ + margin, overview_.End());
  return MoveMainView(from, to);
}

bool WaveDisplay::SelectPreviousSegment(SegmentSettings* settings) {
  RefreshShapes();
  if (!SelectAndCentre(*this, false, settings)) return false;
  MarkDirty(false);
  return true;
}

bool WaveDisplay::SelectNextSegment(SegmentSettings* settings) {
  RefreshShapes();
  if (!SelectAndCentre(*this, true, settings)) return false;
  MarkDirty(false);
  return true;
}

void WaveDisplay::ClearAllData() {
  ClearCapturedData();
  shapes_.ClearShapes();
  if (plug_) plug_->ClearEngineShapes();
  // This runs inside the panel's draw, possibly after the display drew in the
  // same paint: draw again at the next one.
  SetRedrawAgain();
}
