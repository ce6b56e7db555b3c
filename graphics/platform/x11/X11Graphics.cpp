#include "graphics/platform/x11/X11Graphics.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <new>

#include "controls/Control.h"
#include "core/Param.h"
#include "core/TextBuffer.h"
#include "graphics/SectionBitmap.h"
#include "graphics/TypedValue.h"
#include "graphics/platform/SystemShell.h"
#include "graphics/platform/x11/X11Connection.h"
#include "graphics/platform/x11/X11PixelCopy.h"
#include "graphics/platform/x11/X11Prompt.h"

namespace {

// Windows' default double-click time and area, so that the editor answers the
// same way on every platform.
constexpr unsigned long kDoubleClickMs = 500;
constexpr int kDoubleClickSlop = 2;
// One idle call handles at most this many events, so that a flood of motion
// never holds up the host's GUI thread; the rest wait for the next call.
constexpr int kEventsPerIdle = 256;

constexpr long kEditorEvents = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                               EnterWindowMask | LeaveWindowMask | StructureNotifyMask | FocusChangeMask;
constexpr unsigned kGrabEvents = ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask |
                                 LeaveWindowMask;

PointerState ModifiersOf(unsigned state) {
  PointerState mods;
  mods.left = (state & Button1Mask) != 0;
  mods.right = (state & Button3Mask) != 0;
  mods.shift = (state & ShiftMask) != 0;
  mods.control = (state & ControlMask) != 0;
  mods.alt = (state & Mod1Mask) != 0;
  return mods;
}

}  // namespace

X11Graphics::X11Graphics(PlugBase* plug, int width, int height, int framesPerSecond)
    : BitmapGraphics(plug, width, height, framesPerSecond) {}

X11Graphics::~X11Graphics() { CloseEditorWindow(); }

bool X11Graphics::OpenEditorWindow(void* parent) {
  const auto parentWindow = static_cast<Window>(reinterpret_cast<uintptr_t>(parent));
  int x = 0, y = 0;
  if (display_) {
    // Opened again while open: the new window takes the old one's place
    // relative to the (possibly new) parent.
    Window child = 0;
    if (window_ && parentWindow && !x11::IsBroken(display_) &&
        !(XTranslateCoordinates(display_, window_, parentWindow, 0, 0, &x, &y, &child) &&
          x11::TakeError(display_) == 0)) {
      x = y = 0;
    }
    CloseEditor();
  }
  if (!parentWindow) return false;
  display_ = x11::OpenConnection();
  if (!display_) return false;

  const int screen = DefaultScreen(display_);
  XSetWindowAttributes attributes{};
  attributes.background_pixmap = None;  // the surface covers every pixel: no flash of a background
  attributes.border_pixel = 0;
  attributes.colormap = DefaultColormap(display_, screen);
  attributes.bit_gravity = NorthWestGravity;
  attributes.event_mask = kEditorEvents;
  window_ = XCreateWindow(display_, parentWindow, x, y, static_cast<unsigned>(Width()),
                          static_cast<unsigned>(Height()), 0, DefaultDepth(display_, screen), InputOutput,
                          DefaultVisual(display_, screen),
                          CWBackPixmap | CWBorderPixel | CWColormap | CWBitGravity | CWEventMask, &attributes);
  gc_ = window_ ? XCreateGC(display_, window_, 0, nullptr) : nullptr;
  copy_ = new (std::nothrow) X11PixelCopy();
  // A parent that is not a window shows up as an error here.
  if (!window_ || !gc_ || !copy_ || x11::TakeError(display_) != 0 ||
      !copy_->Prepare(display_, DefaultVisual(display_, screen), DefaultDepth(display_, screen), Width(), Height(),
                      true)) {
    CloseEditorWindow();
    return false;
  }
  XStoreName(display_, window_, "Kelvane");
  XMapWindow(display_, window_);
  XFlush(display_);
  // The first idle call ticks at once.
  nextTick_ = std::chrono::steady_clock::now();
  return true;
}

void X11Graphics::CloseEditorWindow() {
  ClosePrompt();
  if (!display_) return;
  // On a broken connection these only free our side: Xlib sends nothing more.
  Ungrab();
  if (copy_) copy_->Release();
  if (gc_) XFreeGC(display_, gc_);
  if (window_) XDestroyWindow(display_, window_);
  delete copy_;
  copy_ = nullptr;
  gc_ = nullptr;
  window_ = 0;
  invalid_ = PixelRect{};
  lastClickCounts_ = false;
  x11::CloseConnection(display_);
  display_ = nullptr;
}

void* X11Graphics::WindowHandle() {
  return window_ ? reinterpret_cast<void*>(static_cast<uintptr_t>(window_)) : nullptr;
}

unsigned long X11Graphics::PromptWindow() const { return prompt_ ? prompt_->WindowId() : 0; }

void X11Graphics::IdleEditor() {
  if (!display_) return;
  if (x11::IsBroken(display_)) {
    // The server went away, and the window with it.
    window_ = 0;
    LoseCapture();
    return;
  }
  for (int n = 0; n < kEventsPerIdle && display_ && XPending(display_) > 0; ++n) {
    XEvent event;
    XNextEvent(display_, &event);
    Dispatch(event);
  }
  if (!display_) return;
  // The server ends a grab silently when its window stops being viewable (the
  // host hid or destroyed its window): a press held then has no release to
  // come. One round trip per idle call, only while a button is held.
  if (grabbed_ && !WindowViewable()) LoseCapture();
  const auto now = std::chrono::steady_clock::now();
  if (window_ && now >= nextTick_) {
    nextTick_ = now + std::chrono::milliseconds(static_cast<int>(1000.0 / FrameRate()));
    TimerTick();
  }
  XFlush(display_);
}

void X11Graphics::Dispatch(XEvent& event) {
  if (prompt_ && event.xany.window == prompt_->WindowId()) return DispatchPrompt(event);
  if (!window_ || event.xany.window != window_) return;
  const bool typing = prompt_ && entryState_ == static_cast<int>(EntryState::kFocused);
  switch (event.type) {
    case Expose: {
      const XExposeEvent& e = event.xexpose;
      invalid_ = RectUnion(invalid_, PixelRect{e.x, e.y, e.x + e.width, e.y + e.height});
      if (e.count > 0) break;
      if (typing) {
        // No drawing while the user types: the window shows the last picture.
        CopyToWindow(invalid_);
        invalid_ = PixelRect{};
      } else {
        Paint();
      }
      break;
    }
    case ButtonPress:
      DispatchButton(event, true);
      break;
    case ButtonRelease:
      DispatchButton(event, false);
      break;
    case MotionNotify: {
      if (typing) break;
      const XMotionEvent& e = event.xmotion;
      PointerState mods = ModifiersOf(e.state);
      if (mods.left || mods.right) {
        if (grabbed_) MouseDrag(e.x, e.y, mods);
      } else {
        MouseHover(e.x, e.y, mods);
      }
      break;
    }
    case EnterNotify:
    case LeaveNotify:
      // Our grab ended without a release: the window became unviewable or
      // someone else took the pointer.
      if (grabbed_) {
        if (event.xcrossing.mode == NotifyUngrab || event.xcrossing.mode == NotifyGrab) LoseCapture();
        break;
      }
      // Left, or taken by another program's grab (a menu): no longer over us.
      if (event.type == LeaveNotify && event.xcrossing.mode != NotifyUngrab && !typing) MouseLeave();
      break;
    case FocusOut:
      if (grabbed_ && event.xfocus.detail != NotifyInferior && event.xfocus.detail != NotifyPointer) LoseCapture();
      break;
    case UnmapNotify:
      if (grabbed_) LoseCapture();
      break;
    case DestroyNotify:
      if (event.xdestroywindow.window != window_) break;
      // The host destroyed our parent before closing the editor.
      LoseCapture();
      ClosePrompt();
      window_ = 0;
      break;
    default:
      break;
  }
}

void X11Graphics::DispatchButton(XEvent& event, bool press) {
  const XButtonEvent& e = event.xbutton;
  const bool typing = prompt_ && entryState_ == static_cast<int>(EntryState::kFocused);
  PointerState mods = ModifiersOf(e.state);
  if (!press) {
    if ((e.button != Button1 && e.button != Button3) || typing) return;
    Ungrab();
    MouseRelease(e.x, e.y);
    // A drag that ended outside the window has left it.
    if (e.x < 0 || e.y < 0 || e.x >= Width() || e.y >= Height()) MouseLeave();
    return;
  }
  if (e.button == Button4 || e.button == Button5) {
    if (!typing) MouseWheel(e.x, e.y, mods, e.button == Button4 ? 1 : -1);
    return;
  }
  if (e.button != Button1 && e.button != Button3) return;
  if (e.button == Button3 && prompt_) {
    // A right click anywhere cancels the prompt and goes to no control.
    entryState_ = static_cast<int>(EntryState::kCancel);
    return;
  }
  if (typing) return;
  if (e.button == Button1) {
    mods.left = true;
    const bool twice = lastClickCounts_ && e.time - lastClickTime_ <= kDoubleClickMs &&
                       std::abs(e.x - lastClickX_) <= kDoubleClickSlop &&
                       std::abs(e.y - lastClickY_) <= kDoubleClickSlop;
    lastClickCounts_ = !twice;
    lastClickTime_ = e.time;
    lastClickX_ = e.x;
    lastClickY_ = e.y;
    if (twice) return MouseDoubleClick(e.x, e.y, mods);
  } else {
    mods.right = true;
    lastClickCounts_ = false;
  }
  // The press holds the pointer until its release, also outside the window.
  XGrabPointer(display_, window_, False, kGrabEvents, GrabModeAsync, GrabModeAsync, None, None, e.time);
  grabbed_ = true;
  MousePress(e.x, e.y, mods);
}

void X11Graphics::DispatchPrompt(XEvent& event) {
  EntryState state = EntryState::kIdle;
  if (prompt_->HandleEvent(event, &state)) entryState_ = static_cast<int>(state);
}

void X11Graphics::TimerTick() {
  if (prompt_) {
    switch (static_cast<EntryState>(entryState_)) {
      case EntryState::kFocused:
        // The user types: nothing is drawn until the field lets go of the keyboard.
        return;
      case EntryState::kIdle:
        break;
      case EntryState::kRefresh:
        prompt_->Refresh();
        entryState_ = static_cast<int>(EntryState::kIdle);
        return;
      case EntryState::kCancel:
        ClosePrompt();
        return;
      case EntryState::kCommit:
        CommitPrompt();
        ClosePrompt();
        return;
      default:
        entryState_ = static_cast<int>(EntryState::kIdle);
        return;
    }
  }
  PixelRect dirty;
  if (!CollectDirty(&dirty)) return;
  Paint();
  if (prompt_) entryState_ = static_cast<int>(EntryState::kRefresh);
}

PixelRect X11Graphics::BeginWindowPaint() {
  // What was exposed and what is about to be redrawn: a control redrawn
  // during an expose reaches the window too.
  PixelRect dirty;
  CollectDirty(&dirty);
  PixelRect area = RectUnion(invalid_, dirty);
  invalid_ = PixelRect{};
  return area;
}

bool X11Graphics::CopyToWindow(const PixelRect& area) {
  if (!window_ || !copy_ || !Surface() || area.IsAllZero()) return window_ != 0;
  copy_->Copy(window_, gc_, Surface()->PixelData(), Surface()->RowStride(), area);
  return true;
}

void X11Graphics::AskValueText(Control* control, Param* param) {
  if (!control || !param || prompt_ || !window_) return;
  const PixelRect& r = control->Rect();
  const int cx = static_cast<int>((r.left + r.right) * 0.5f);
  const int cy = static_cast<int>((r.top + r.bottom) * 0.5f);
  auto* prompt = new (std::nothrow) X11Prompt();
  if (!prompt) return;
  const int screen = DefaultScreen(display_);
  if (!prompt->Open(display_, window_, DefaultVisual(display_, screen), DefaultDepth(display_, screen), cx, cy,
                    Width(), Height(), param)) {
    delete prompt;
    return;
  }
  prompt_ = prompt;
  entryControl_ = control;
  entryParam_ = param;
  entryState_ = static_cast<int>(EntryState::kIdle);
}

void X11Graphics::CommitPrompt() {
  char text[Param::kTextBytes];
  prompt_->CopyText(text);
  CommitTypedText(entryControl_, entryParam_, text);
}

void X11Graphics::ClosePrompt() {
  delete prompt_;
  prompt_ = nullptr;
  entryControl_ = nullptr;
  entryParam_ = nullptr;
  entryState_ = static_cast<int>(EntryState::kIdle);
}

bool X11Graphics::WindowViewable() {
  XWindowAttributes attributes{};
  return window_ && XGetWindowAttributes(display_, window_, &attributes) && attributes.map_state == IsViewable;
}

void X11Graphics::LoseCapture() {
  Ungrab();
  CancelCapture();
}

void X11Graphics::Ungrab() {
  if (!grabbed_) return;
  grabbed_ = false;
  if (display_) XUngrabPointer(display_, CurrentTime);
}

void X11Graphics::GetHostFolder(TextBuffer& out) { ReadHostFolder(out); }

void X11Graphics::GetModuleFolder(TextBuffer& out) { ReadModuleFolder(out); }

void X11Graphics::ChooseFile(TextBuffer& out, int, const char*) { out.Set(""); }

bool X11Graphics::ShellOpen(const char* target) { return ShellOpenTarget(target); }
