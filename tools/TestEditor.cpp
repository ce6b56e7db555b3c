#include "tools/TestEditor.h"

#include <new>

#include "controls/Control.h"
#include "controls/ImageControl.h"
#include "controls/LineKnob.h"
#include "effect/EffectPlugin.h"
#include "graphics/EditorSurface.h"
#include "graphics/Graphics.h"
#include "graphics/PngImages.h"
#include "graphics/platform/headless/HeadlessGraphics.h"

namespace {

// A line of white text in the display's well.
class TextLine : public Control {
 public:
  explicit TextLine(PlugBase* plug) : Control(plug, kTestEditorTextRect, -1, 0, 1.0f) {}
  bool Render(Graphics& graphics) override {
    FontSpec font;
    font.size = 16;
    font.color = ArgbColor{255, 255, 255, 255};
    return graphics.PrintText(font, kTestEditorText, rect_);
  }
};

}  // namespace

HeadlessGraphics* BuildTestEditor(EffectPlugin* plug) {
  auto* g = static_cast<HeadlessGraphics*>(CreateEditorSurface(SurfaceKind::Headless, plug, 640, 540, 18));
  if (!g) return nullptr;
  g->SetMouseOverWanted(true);
  g->SetBackdrop(kBackgroundImageId);
  ImageRef button = g->FetchImage(kButtonImageId, 2);
  g->AddControl(new (std::nothrow) LineKnob(plug, {185, 480, 212, 507}, EffectPlugin::kBright,
                                            ArgbColor{63, 63, 63, 63}, 2.0, 8.0, -2.356194490192345,
                                            2.356194490192345, 0, 4.0));
  g->AddControl(new (std::nothrow) HoldButton(plug, 227, 481, EffectPlugin::kReset, button, 0));
  g->AddControl(new (std::nothrow) TextLine(plug));
  plug->BindEditor(g);
  return g;
}
