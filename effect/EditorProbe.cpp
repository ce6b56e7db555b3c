// kelvane-host's probe into the editor: the editor rebuilt without a window,
// driven through plain C functions (core/EditorProbe.h).
#include "core/EditorProbe.h"

#include "effect/EffectPlugin.h"
#include "graphics/platform/headless/HeadlessGraphics.h"

namespace {

HeadlessGraphics* Editor(void* context) {
  auto* plug = static_cast<EffectPlugin*>(context);
  return static_cast<HeadlessGraphics*>(static_cast<Graphics*>(plug->Editor()));
}

int32_t VSTCALL ProbeTick(void* context) {
  HeadlessGraphics* g = Editor(context);
  return g && g->TimerTick() ? 1 : 0;
}

void VSTCALL ProbeMouse(void* context, int32_t event, int32_t x, int32_t y, int32_t buttons, int32_t notches) {
  HeadlessGraphics* g = Editor(context);
  if (!g) return;
  PointerState mods;
  mods.left = (buttons & kProbeLeft) != 0;
  mods.right = (buttons & kProbeRight) != 0;
  mods.shift = (buttons & kProbeShift) != 0;
  mods.control = (buttons & kProbeControl) != 0;
  mods.alt = (buttons & kProbeAlt) != 0;
  switch (event) {
    case kProbePress: g->MousePress(x, y, mods); break;
    case kProbeRelease: g->MouseRelease(x, y); break;
    case kProbeDrag: g->MouseDrag(x, y, mods); break;
    case kProbeDoubleClick: g->MouseDoubleClick(x, y, mods); break;
    case kProbeWheel: g->MouseWheel(x, y, mods, notches); break;
    case kProbeHover: g->MouseHover(x, y, mods); break;
    case kProbeLeave: g->MouseLeave(); break;
    default: break;
  }
}

const uint32_t* VSTCALL ProbePixels(void* context) {
  HeadlessGraphics* g = Editor(context);
  return g ? g->SurfacePixels() : nullptr;
}

}  // namespace

VstIntPtr EffectPlugin::VendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float) {
  if (index != kEditorProbeIndex || value != kEditorProbeValue || !ptr) return 0;
  auto* probe = static_cast<EditorProbe*>(ptr);
  if (probe->size < static_cast<int32_t>(sizeof(EditorProbe))) return 0;
  // The old editor goes first: it takes the plug-in's pointers to its display
  // and panel with it, and the new one sets them again.
  DestroyEditor();
  BuildEditor(SurfaceKind::Headless);
  if (!Editor() || Editor()->OpensWindows()) return 0;
  probe->width = Editor()->EditorWidth();
  probe->height = Editor()->EditorHeight();
  probe->context = this;
  probe->tick = ProbeTick;
  probe->mouse = ProbeMouse;
  probe->pixels = ProbePixels;
  return 1;
}
