#include "controls/DocLinkControl.h"

#include "graphics/Graphics.h"
#include "core/PlugBase.h"

DocLinkControl::DocLinkControl(PlugBase* plug, const PixelRect& rect, const char* target)
    : Control(plug, rect, -1, 1, 1.0f) {
  if (target) text_.Set(target);
}

void DocLinkControl::MousePress(int, int, const PointerState&) {
  Graphics* graphics = Surface();
  // An empty target would make the shell open whatever it likes: nothing to open.
  if (graphics && text_.Get()[0]) graphics->ShellOpen(text_.Get());
}
