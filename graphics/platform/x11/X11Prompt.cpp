#include "graphics/platform/x11/X11Prompt.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "graphics/SectionBitmap.h"
#include "graphics/TextRenderer.h"

namespace {

constexpr int kRowHeight = 16;
constexpr int kFieldWidth = 32;
constexpr uint32_t kPaper = 0xFFFFFFFFu;
constexpr uint32_t kInk = 0xFF000000u;
constexpr uint32_t kFrame = 0xFF808080u;
constexpr uint32_t kFocusFrame = 0xFF3070C0u;
constexpr uint32_t kChosen = 0xFF3070C0u;
constexpr uint32_t kMarked = 0xFFB0D0FFu;

void FillRect(SectionBitmap& bitmap, const PixelRect& r, uint32_t colour) {
  for (int y = std::max(r.top, 0); y < std::min(r.bottom, bitmap.Height()); ++y) {
    uint32_t* row = bitmap.PixelData() + static_cast<size_t>(y) * bitmap.RowStride();
    for (int x = std::max(r.left, 0); x < std::min(r.right, bitmap.Width()); ++x) row[x] = colour;
  }
}

void FrameRect(SectionBitmap& bitmap, int w, int h, uint32_t colour) {
  FillRect(bitmap, {0, 0, w, 1}, colour);
  FillRect(bitmap, {0, h - 1, w, h}, colour);
  FillRect(bitmap, {0, 0, 1, h}, colour);
  FillRect(bitmap, {w - 1, 0, w, h}, colour);
}

FontSpec PromptFont(uint32_t colour, int alignment) {
  FontSpec font;
  font.size = 14;
  font.color = ArgbColor{255, static_cast<int>((colour >> 16) & 255), static_cast<int>((colour >> 8) & 255),
                         static_cast<int>(colour & 255)};
  font.alignment = alignment;
  return font;
}

}  // namespace

X11Prompt::~X11Prompt() { Close(); }

bool X11Prompt::Open(Display* display, Window parent, Visual* visual, int depth, int centreX, int centreY,
                     int width, int height, Param* param) {
  Close();
  if (!display || !parent || !param) return false;
  display_ = display;
  param_ = param;
  count_ = param->ValueTextCount();
  int x, y;
  if (count_ > 0) {
    // As wide as the longest text needs; every choice in view at once.
    width_ = 24;
    char text[Param::kTextBytes];
    for (int i = 0; i < count_; ++i) {
      param->ValueTextAt(i, text);
      width_ = std::max(width_, 8 * static_cast<int>(std::strlen(text)) + 24);
    }
    height_ = kRowHeight * count_;
    // A list that would run past the editor's edge stays inside it (it
    // opens upwards near the bottom).
    x = std::max(0, std::min(centreX - width_ / 2, width - width_));
    y = std::max(0, std::min(centreY - 8, height - height_));
  } else {
    width_ = kFieldWidth;
    height_ = kRowHeight;
    x = centreX - 16;
    y = centreY - 8;
  }
  pixels_ = new (std::nothrow) SectionBitmap(width_, height_);
  if (!pixels_ || !pixels_->PixelData()) return Close(), false;
  renderer_ = TextRenderer::Create(*pixels_);
  XSetWindowAttributes attributes{};
  attributes.background_pixmap = None;
  attributes.border_pixel = 0;
  attributes.colormap = CopyFromParent;
  attributes.event_mask = ExposureMask | ButtonPressMask | KeyPressMask | FocusChangeMask;
  window_ = XCreateWindow(display, parent, x, y, static_cast<unsigned>(width_), static_cast<unsigned>(height_), 0,
                          depth, InputOutput, visual, CWBackPixmap | CWBorderPixel | CWEventMask, &attributes);
  if (!window_) return Close(), false;
  gc_ = XCreateGC(display, window_, 0, nullptr);
  if (!gc_ || !copy_.Prepare(display, visual, depth, width_, height_, false)) return Close(), false;
  Refresh();
  XMapRaised(display, window_);
  return true;
}

void X11Prompt::Close() {
  copy_.Release();
  if (display_) {
    if (focused_ && previousFocus_ > PointerRoot) XSetInputFocus(display_, previousFocus_, RevertToParent, CurrentTime);
    if (gc_) XFreeGC(display_, gc_);
    if (window_) XDestroyWindow(display_, window_);
  }
  delete renderer_;
  delete pixels_;
  renderer_ = nullptr;
  pixels_ = nullptr;
  gc_ = nullptr;
  window_ = 0;
  display_ = nullptr;
  param_ = nullptr;
  previousFocus_ = 0;
  count_ = 0;
  selection_ = -1;
  focused_ = false;
  replaceAll_ = false;
  text_[0] = 0;
}

void X11Prompt::Refresh() {
  if (!param_) return;
  param_->FormatValue(text_);
  if (count_ > 0) {
    selection_ = -1;
    char choice[Param::kTextBytes];
    for (int i = 0; i < count_; ++i) {
      param_->ValueTextAt(i, choice);
      if (std::strcmp(choice, text_) == 0) selection_ = i;
    }
  }
  replaceAll_ = focused_;
  Present();
}

void X11Prompt::CopyText(char* out) const {
  out[0] = 0;
  if (count_ > 0) {
    if (param_ && selection_ >= 0) param_->ValueTextAt(selection_, out);
  } else {
    CopyFixedText(out, Param::kTextBytes, text_);
  }
}

bool X11Prompt::HandleEvent(const XEvent& event, EntryState* state) {
  switch (event.type) {
    case Expose:
      if (event.xexpose.count == 0) Present();
      return false;
    case ButtonPress:
      if (event.xbutton.button == Button3) {
        *state = EntryState::kCancel;
        return true;
      }
      if (event.xbutton.button != Button1) return false;
      if (count_ > 0) {
        // A click on a row is the choice.
        int row = event.xbutton.y / kRowHeight;
        if (row < 0 || row >= count_) return false;
        selection_ = row;
        Present();
        *state = EntryState::kCommit;
        return true;
      }
      // The field takes the keyboard when the user clicks into it.
      if (!focused_) {
        int revert = 0;
        XGetInputFocus(display_, &previousFocus_, &revert);
        XSetInputFocus(display_, window_, RevertToParent, event.xbutton.time);
      }
      return false;
    case FocusIn:
      if (event.xfocus.detail == NotifyPointer) return false;
      focused_ = true;
      replaceAll_ = true;
      Present();
      *state = EntryState::kFocused;
      return true;
    case FocusOut:
      if (event.xfocus.detail == NotifyPointer) return false;
      focused_ = false;
      replaceAll_ = false;
      Present();
      *state = EntryState::kIdle;
      return true;
    case KeyPress:
      return HandleKey(event.xkey, state);
    default:
      return false;
  }
}

bool X11Prompt::HandleKey(const XKeyEvent& key, EntryState* state) {
  char typed[8] = {};
  KeySym symbol = NoSymbol;
  XKeyEvent copy = key;
  int n = XLookupString(&copy, typed, sizeof typed, &symbol, nullptr);
  if (symbol == XK_Return || symbol == XK_KP_Enter) {
    *state = EntryState::kCommit;
    return true;
  }
  if (symbol == XK_Escape) {
    *state = EntryState::kCancel;
    return true;
  }
  if (count_ > 0) {
    if (symbol == XK_Up || symbol == XK_KP_Up) selection_ = std::max(0, selection_ - 1);
    if (symbol == XK_Down || symbol == XK_KP_Down) selection_ = std::min(count_ - 1, selection_ + 1);
    Present();
    return false;
  }
  size_t length = std::strlen(text_);
  if (symbol == XK_BackSpace) {
    if (replaceAll_) length = 1;
    if (length > 0) text_[length - 1] = 0;
  } else if (n == 1 && typed[0] >= 0x20 && typed[0] < 0x7F) {
    if (replaceAll_) length = 0;
    if (length + 1 < sizeof text_) {
      text_[length] = typed[0];
      text_[length + 1] = 0;
    }
  } else {
    return false;
  }
  replaceAll_ = false;
  Present();
  return false;
}

void X11Prompt::Draw() {
  SectionBitmap& bitmap = *pixels_;
  FillRect(bitmap, {0, 0, width_, height_}, kPaper);
  if (count_ > 0) {
    char choice[Param::kTextBytes];
    for (int i = 0; i < count_; ++i) {
      PixelRect row{0, i * kRowHeight, width_, (i + 1) * kRowHeight};
      bool chosen = i == selection_;
      if (chosen) FillRect(bitmap, row, kChosen);
      param_->ValueTextAt(i, choice);
      if (renderer_) renderer_->DrawText(PromptFont(chosen ? kPaper : kInk, 0), choice, {4, row.top + 1, width_, row.bottom});
    }
  } else {
    if (focused_ && replaceAll_ && text_[0]) FillRect(bitmap, {2, 2, width_ - 2, height_ - 2}, kMarked);
    if (renderer_) renderer_->DrawText(PromptFont(kInk, 1), text_, {0, 1, width_, height_});
  }
  FrameRect(bitmap, width_, height_, focused_ ? kFocusFrame : kFrame);
}

void X11Prompt::Present() {
  if (!window_ || !pixels_) return;
  Draw();
  copy_.Copy(window_, gc_, pixels_->PixelData(), pixels_->RowStride(), {0, 0, width_, height_});
}
