// DocLinkControl: an invisible area that opens a document or address when clicked.
#pragma once

#include "controls/Control.h"
#include "core/TextBuffer.h"

class DocLinkControl : public Control {
 public:
  DocLinkControl(PlugBase* plug, const PixelRect& rect, const char* target);
  ~DocLinkControl() override { text_.Release(); }
  void MousePress(int x, int y, const PointerState& mods) override;
  bool Render(Graphics&) override { return true; }
  const char* Target() const { return text_.Get(); }

 private:
  TextBuffer text_{4096};
};
