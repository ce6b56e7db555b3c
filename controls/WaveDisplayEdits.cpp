// The display's side of shape editing: hover, press and drag on the main view
// go to the edit store, a jump back of the host becomes a loop, and the panel
// hears what the display knows. Until shape editing exists a press on the main
// view edits nothing.
#include "controls/WaveDisplay.h"

void WaveDisplay::RefreshShapes() {}

void WaveDisplay::HoverShapes(int, int) {}

bool WaveDisplay::PressShapes(int, int, const PointerState&) { return false; }

void WaveDisplay::DragShapes(int, int, int, int, const PointerState&) {}

void WaveDisplay::DetectHostLoop(int64_t, int64_t end) { lastEnd_ = end; }

void WaveDisplay::ShowFollowState() {}
