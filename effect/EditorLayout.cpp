// The editor layout: the surface and its controls in drawing order, built at
// the end of the effect's construction and bound to the plug-in.
#include <new>

#include "controls/DocLinkControl.h"
#include "controls/ImageControl.h"
#include "controls/LineKnob.h"
#include "controls/WaveDisplay.h"
#include "core/TextBuffer.h"
#include "effect/EffectPlugin.h"
#include "graphics/BitmapGraphics.h"
#include "graphics/PngImages.h"
#include "shapes/EditPanel.h"

namespace {

constexpr int kEditorWidth = 640;
constexpr int kEditorHeight = 540;
constexpr int kEditorFramesPerSecond = 18;
constexpr double kKnobSweep = 2.356194490192345;  // +-135 degrees
const char kManualFile[] = "Kelvane_manual.pdf";

}  // namespace

// GUI thread (the host's, inside construction). Without memory for the
// surface the plug-in runs without an editor.
void EffectPlugin::BuildEditor(SurfaceKind kind) {
  BitmapGraphics* g = CreateEditorSurface(kind, this, kEditorWidth, kEditorHeight, kEditorFramesPerSecond);
  if (!g) return;
  g->SetMouseOverWanted(true);
  g->SetBackdrop(kBackgroundImageId);
  ImageRef button = g->FetchImage(kButtonImageId, 2);

  g->AddControl(new (std::nothrow) LineKnob(this, PixelRect{185, 480, 212, 507}, kBright,
                                            ArgbColor{63, 63, 63, 63}, 2.0, 8.0, -kKnobSweep, kKnobSweep, 0, 4.0));
  g->AddControl(new (std::nothrow) HoldButton(this, 227, 481, kReset, button, 0));

  // The display's pointer is kept only once the list holds it.
  auto* display = new (std::nothrow) WaveDisplay(this, g);
  int count = g->AddControl(display);
  if (display && g->ControlAt(count - 1) == display) {
    display_ = display;
    // An editor built after the parameters changed (a restored state, a rebuilt editor) shows their look.
    display->SetDisplayLook(ParamAt(kBright)->Plain(), static_cast<int>(ParamAt(kColormap)->Plain()));
  }

  auto* panel = new (std::nothrow) EditPanel(this, PixelRect{273, 455, 612, 512});
  count = g->AddControl(panel);
  if (panel && g->ControlAt(count - 1) == panel) editPanel_ = panel;
  // The display tells the panel about loops, following and selections; the
  // panel edits the shapes through the display.
  if (display_ && editPanel_) {
    display_->LinkEditPanel(editPanel_);
    editPanel_->SetDisplay(display_);
  }

  // The manual lies beside the module; without a known folder there is
  // nothing to open (a bare file name would open whatever the current folder holds).
  TextBuffer folder;
  g->GetModuleFolder(folder);
  TextBuffer manual;
  if (folder.Get()[0] && !(manual.Set(folder.Get()) && manual.AppendText(kManualFile))) manual.Release();
  g->AddControl(new (std::nothrow) DocLinkControl(this, PixelRect{20, 465, 170, 510}, manual.Get()));
  folder.Release();
  manual.Release();

  BindEditor(g);
}
