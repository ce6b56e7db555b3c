// X11Prompt: the small text-entry window that opens over a control on a right
// click: an edit field for a number, or a list of the parameter's display
// texts. It draws itself (same font as the editor's prompts elsewhere: "Arial"
// 14) and reports what the user asked for; the editor window acts on it at its
// next timer tick, as it does with the prompt on every platform.
#pragma once

#include <X11/Xlib.h>

#include "core/Param.h"
#include "core/PixelRect.h"
#include "graphics/platform/x11/X11PixelCopy.h"

class SectionBitmap;
class TextRenderer;

// The prompt's state, as the editor window sees it between two timer ticks.
enum class EntryState : int { kIdle = 0, kFocused = 1, kRefresh = 2, kCancel = 3, kCommit = 4 };

class X11Prompt {
 public:
  X11Prompt() = default;
  ~X11Prompt();
  X11Prompt(const X11Prompt&) = delete;
  X11Prompt& operator=(const X11Prompt&) = delete;

  // GUI thread. Opens the prompt for `param` as a child of `parent`, centred on
  // (centreX, centreY) and kept inside the parent's `width` by `height`.
  bool Open(Display* display, Window parent, Visual* visual, int depth, int centreX, int centreY, int width,
            int height, Param* param);
  // GUI thread. Destroys the window and gives the keyboard back where it was.
  void Close();
  bool IsOpen() const { return window_ != 0; }
  Window WindowId() const { return window_; }
  bool IsList() const { return count_ > 0; }

  // GUI thread. Handles an event of the prompt's window; returns true and sets
  // `state` when the user changed the entry state.
  bool HandleEvent(const XEvent& event, EntryState* state);
  // GUI thread. The text shown follows the parameter's value.
  void Refresh();
  // The text to commit: the edit field's text, or the chosen display text.
  void CopyText(char* out) const;
  // Test and tool access: what the field shows and what the list has selected.
  const char* Text() const { return text_; }
  int Selection() const { return selection_; }

 private:
  void Draw();
  void Present();
  bool HandleKey(const XKeyEvent& key, EntryState* state);

  Display* display_ = nullptr;
  Window window_ = 0;
  GC gc_ = nullptr;
  Param* param_ = nullptr;
  SectionBitmap* pixels_ = nullptr;
  TextRenderer* renderer_ = nullptr;
  X11PixelCopy copy_;
  Window previousFocus_ = 0;
  int width_ = 0;
  int height_ = 0;
  int count_ = 0;       // display texts of the parameter (0: an edit field)
  int selection_ = -1;  // the list's chosen row
  bool focused_ = false;
  bool replaceAll_ = false;  // the first key typed after focusing replaces the text
  char text_[Param::kTextBytes] = {};
};
