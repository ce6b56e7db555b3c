#include "graphics/platform/win32/WinGraphics.h"

#include <commdlg.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "controls/Control.h"
#include "core/Module.h"
#include "core/Param.h"
#include "core/TextBuffer.h"
#include "graphics/SectionBitmap.h"
#include "graphics/TypedValue.h"
#include "graphics/platform/SystemShell.h"
#include "graphics/platform/win32/GdiFont.h"
#include "graphics/platform/win32/SectionBitmapDc.h"

namespace {

// Open editor windows of all instances in the process (GUI thread only).
int gWindowClassUses = 0;

HINSTANCE Instance() {
  // A program that links the editor directly has no DLL handle: its own module serves.
  return ModuleHandle ? static_cast<HINSTANCE>(ModuleHandle) : GetModuleHandleA(nullptr);
}

PointerState PointerFrom(WPARAM keys) {
  PointerState state;
  state.left = (keys & MK_LBUTTON) != 0;
  state.right = (keys & MK_RBUTTON) != 0;
  state.shift = (keys & MK_SHIFT) != 0;
  state.control = (keys & MK_CONTROL) != 0;
  // The message carries no Alt flag: the key's state now.
  state.alt = (GetKeyState(VK_MENU) & 0x8000) != 0;
  return state;
}

// The colour dialog names itself after the prompt.
UINT_PTR CALLBACK ColorDialogHook(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const auto* choice = reinterpret_cast<const CHOOSECOLORA*>(lParam);
    const auto* prompt = reinterpret_cast<const char*>(choice->lCustData);
    if (prompt && prompt[0]) SetWindowTextA(dialog, prompt);
  }
  return 0;
}

}  // namespace

WinGraphics::WinGraphics(PlugBase* plug, int width, int height, int framesPerSecond)
    : BitmapGraphics(plug, width, height, framesPerSecond) {}

// GUI thread. The surface (in BitmapGraphics) outlives the window.
WinGraphics::~WinGraphics() {
  CloseEditorWindow();
  delete[] customColors_;
}

int WinGraphics::WindowClassUseCount() { return gWindowClassUses; }

UINT WinGraphics::TimerPeriod() { return static_cast<UINT>(1000.0 / FrameRate()); }

// GUI thread (effEditOpen).
bool WinGraphics::OpenEditorWindow(void* parent) {
  parent_ = static_cast<HWND>(parent);
  int x = 0, y = 0, width = Width(), height = Height();
  if (window_) {
    // A second open replaces the window, same size, same place in the parent.
    RECT old{};
    GetWindowRect(window_, &old);
    POINT topLeft{old.left, old.top};
    ScreenToClient(parent_, &topLeft);
    x = topLeft.x;
    y = topLeft.y;
    width = old.right - old.left;
    height = old.bottom - old.top;
  }
  CloseEditor();

  if (gWindowClassUses++ == 0) {
    WNDCLASSA windowClass{};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = EditorWindowProc;
    windowClass.hInstance = Instance();
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassA(&windowClass)) {
      --gWindowClassUses;
      return false;
    }
  }
  holdsWindowClass_ = true;
  HWND window = CreateWindowExA(0, kClassName, "Kelvane", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, x, y, width,
                                height, parent_, nullptr, Instance(), nullptr);
  if (!window) {
    ReleaseWindowClass();
    return false;
  }
  window_ = window;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  return true;
}

// GUI thread (effEditClose, WM_CLOSE, destruction).
void WinGraphics::CloseEditorWindow() {
  CloseEntry();
  if (window_) DestroyWindow(window_);  // WM_NCDESTROY forgets it
  window_ = nullptr;
  ReleaseWindowClass();
}

void WinGraphics::ReleaseWindowClass() {
  if (!holdsWindowClass_) return;
  holdsWindowClass_ = false;
  if (--gWindowClassUses == 0) UnregisterClassA(kClassName, Instance());
}

void WinGraphics::ForgetWindow() {
  KillTimer(window_, kTimerId);
  SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
  // Its children, the prompt among them, are gone already.
  DiscardEntry();
  // A press cannot outlive its window.
  CancelCapture();
  window_ = nullptr;
}

LRESULT CALLBACK WinGraphics::EditorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    SetTimer(window, kTimerId, TimerPeriod(), nullptr);
    ShowWindow(window, SW_SHOWNA);
    return 0;
  }
  auto* self = reinterpret_cast<WinGraphics*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!self || self->window_ != window) return DefWindowProcA(window, message, wParam, lParam);
  return self->HandleEditorMessage(message, wParam, lParam);
}

LRESULT WinGraphics::HandleEditorMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND window = window_;
  // Whatever the prompt's state: the window's end, a lost capture and a
  // request for the window's picture.
  switch (message) {
    case WM_NCDESTROY:
      ForgetWindow();
      return DefWindowProcA(window, message, wParam, lParam);
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != window) CancelCapture();
      return 0;
    case WM_PRINTCLIENT: {
      // The window's picture as it stands: a copy that changes nothing.
      HDC painting = paintDc_;
      paintDc_ = reinterpret_cast<HDC>(wParam);
      CopyToWindow(PixelRect{0, 0, Width(), Height()});
      paintDc_ = painting;
      return 0;
    }
    default:
      break;
  }

  if (entryWindow_ && entryState_ == kEntryFocused) {
    if (message != WM_RBUTTONDOWN) return DefWindowProcA(window, message, wParam, lParam);
    entryState_ = kEntryCancel;
    return 0;
  }

  const int x = static_cast<short>(LOWORD(lParam));
  const int y = static_cast<short>(HIWORD(lParam));
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_CLOSE:
      CloseEditor();
      return 0;
    case WM_TIMER:
      if (wParam == kTimerId) TimerTick();
      return 0;
    case WM_MOUSEMOVE:
      if (wParam & (MK_LBUTTON | MK_RBUTTON)) {
        if (GetCapture() == window) MouseDrag(x, y, PointerFrom(wParam));
      } else if (MouseHover(x, y, PointerFrom(wParam))) {
        TRACKMOUSEEVENT tracking{sizeof(TRACKMOUSEEVENT), TME_LEAVE, window, HOVER_DEFAULT};
        TrackMouseEvent(&tracking);
      }
      return 0;
    case WM_RBUTTONDOWN:
      if (entryWindow_) {
        entryState_ = kEntryCancel;
        return 0;
      }
      [[fallthrough]];
    case WM_LBUTTONDOWN:
      SetCapture(window);
      MousePress(x, y, PointerFrom(wParam));
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      // The release comes first, so that giving the capture back ends nothing more.
      MouseRelease(x, y);
      ReleaseCapture();
      return 0;
    case WM_LBUTTONDBLCLK:
      MouseDoubleClick(x, y, PointerFrom(wParam));
      return 0;
    case WM_MOUSEWHEEL: {
      // The wheel reports screen coordinates.
      RECT frame{};
      GetWindowRect(window, &frame);
      const int notches = static_cast<short>(HIWORD(wParam)) / WHEEL_DELTA;
      MouseWheel(x - frame.left, y - frame.top, PointerFrom(wParam), notches);
      return 0;
    }
    case WM_MOUSELEAVE:
      MouseLeave();
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

void WinGraphics::TimerTick() {
  if (entryWindow_) {
    switch (entryState_) {
      case kEntryIdle:
        break;
      case kEntryRefresh: {
        char text[Param::kTextBytes] = {};
        entryParam_->FormatValue(text);
        SetWindowTextA(entryWindow_, text);
        entryState_ = kEntryIdle;
        return;
      }
      case kEntryCancel:
        CloseEntry();
        return;
      case kEntryCommit:
        CommitEntry();
        CloseEntry();
        return;
      default:
        entryState_ = kEntryIdle;
        return;
    }
  }
  PixelRect dirty{};
  if (!CollectDirty(&dirty)) return;
  RECT area{dirty.left, dirty.top, dirty.right, dirty.bottom};
  InvalidateRect(window_, &area, FALSE);
  UpdateWindow(window_);  // paints now, before the tick ends
  if (entryWindow_) entryState_ = kEntryRefresh;
}

PixelRect WinGraphics::BeginWindowPaint() {
  paintDc_ = window_ ? BeginPaint(window_, &paint_) : nullptr;
  if (!paintDc_) return PixelRect{};
  return PixelRect{paint_.rcPaint.left, paint_.rcPaint.top, paint_.rcPaint.right, paint_.rcPaint.bottom};
}

bool WinGraphics::CopyToWindow(const PixelRect& rect) {
  SectionBitmap* surface = Surface();
  HDC source = surface ? SectionBitmapDc(*surface) : nullptr;
  if (!paintDc_ || !source) return false;
  return BitBlt(paintDc_, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, source, rect.left,
                rect.top, SRCCOPY) != 0;
}

void WinGraphics::EndWindowPaint() {
  if (paintDc_) EndPaint(window_, &paint_);
  paintDc_ = nullptr;
}

// GUI thread: a control's right-button press.
void WinGraphics::AskValueText(Control* control, Param* param) {
  if (!control || !param || entryWindow_ || !window_) return;
  const PixelRect& rect = control->Rect();
  const int cx = static_cast<int>(static_cast<float>(rect.left + rect.right) * 0.5f);
  const int cy = static_cast<int>(static_cast<float>(rect.top + rect.bottom) * 0.5f);
  char current[Param::kTextBytes] = {};
  param->FormatValue(current);
  char text[Param::kTextBytes] = {};
  const int count = param->ValueTextCount();

  HWND entry = nullptr;
  if (count > 0) {
    int width = 24;
    int selection = -1;
    for (int i = 0; i < count; ++i) {
      param->ValueTextAt(i, text);
      width = std::max(width, 8 * static_cast<int>(std::strlen(text)) + 24);
      if (std::strcmp(text, current) == 0) selection = i;
    }
    entry = CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, cx - width / 2, cy - 8,
                            width, 16, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEntryId)), Instance(),
                            nullptr);
    if (!entry) return;
    for (int i = 0; i < count; ++i) {
      param->ValueTextAt(i, text);
      SendMessageA(entry, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    SendMessageA(entry, CB_SETCURSEL, static_cast<WPARAM>(selection), 0);
    // A drop-down list's window height includes its list: 16 pixels leave no
    // room for a single choice. Room for every text and the borders.
    const auto field = static_cast<int>(SendMessageA(entry, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
    const auto item = static_cast<int>(SendMessageA(entry, CB_GETITEMHEIGHT, 0, 0));
    SetWindowPos(entry, nullptr, 0, 0, width, field + count * item + 16, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    entry = CreateWindowExA(0, "EDIT", current, WS_CHILD | WS_VISIBLE | ES_CENTER | ES_MULTILINE, cx - 16, cy - 8,
                            32, 16, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEntryId)), Instance(),
                            nullptr);
    if (!entry) return;
  }
  SetWindowLongPtrA(entry, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  entryPreviousProc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(entry, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EntryWindowProc)));
  FontSpec font{};
  std::memcpy(font.face, "Arial", sizeof "Arial");
  font.size = 14;
  entryFont_ = CreateTextFont(font);
  if (entryFont_) SendMessageA(entry, WM_SETFONT, reinterpret_cast<WPARAM>(entryFont_), FALSE);
  entryWindow_ = entry;
  entryControl_ = control;
  entryParam_ = param;
  entryState_ = kEntryIdle;
}

LRESULT CALLBACK WinGraphics::EntryWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<WinGraphics*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!self || self->entryWindow_ != window) return DefWindowProcA(window, message, wParam, lParam);
  return self->HandleEntryMessage(message, wParam, lParam);
}

LRESULT WinGraphics::HandleEntryMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND entry = entryWindow_;
  switch (message) {
    case WM_SETFOCUS:
      entryState_ = kEntryFocused;
      break;
    case WM_KILLFOCUS:
      entryState_ = kEntryIdle;
      break;
    case WM_KEYDOWN:
      if (wParam != VK_RETURN) break;
      entryState_ = kEntryCommit;
      return 0;
    case WM_COMMAND:
      // A choice made in the combo box's list.
      if (HIWORD(wParam) != 1) break;
      entryState_ = kEntryCommit;
      return 0;
    case WM_NCDESTROY: {
      // Destroyed with the editor window: its own procedure finishes, then it is forgotten.
      LRESULT result = CallWindowProcA(entryPreviousProc_, entry, message, wParam, lParam);
      DiscardEntry();
      return result;
    }
    default:
      break;
  }
  return CallWindowProcA(entryPreviousProc_, entry, message, wParam, lParam);
}

void WinGraphics::CommitEntry() {
  char text[32] = {};
  GetWindowTextA(entryWindow_, text, sizeof text);
  CommitTypedText(entryControl_, entryParam_, text);
}

void WinGraphics::CloseEntry() {
  if (!entryWindow_) return;
  HWND entry = entryWindow_;
  SetWindowLongPtrA(entry, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(entryPreviousProc_));
  SetWindowLongPtrA(entry, GWLP_USERDATA, 0);
  DestroyWindow(entry);
  DiscardEntry();
}

void WinGraphics::DiscardEntry() {
  // The prompt's window is gone: its font is free to go.
  if (entryFont_) DeleteObject(entryFont_);
  entryFont_ = nullptr;
  entryWindow_ = nullptr;
  entryControl_ = nullptr;
  entryParam_ = nullptr;
  entryPreviousProc_ = nullptr;
  entryState_ = kEntryIdle;
}

void WinGraphics::GetHostFolder(TextBuffer& out) { ReadHostFolder(out); }

void WinGraphics::GetModuleFolder(TextBuffer& out) { ReadModuleFolder(out); }

// GUI thread; modal.
void WinGraphics::ChooseFile(TextBuffer& out, int action, const char* initialFolder) {
  out.Set("");
  if (!window_) return;
  char file[256] = {};
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window_;
  dialog.lpstrFile = file;
  dialog.nMaxFile = sizeof file - 1;
  dialog.lpstrInitialDir = initialFolder && initialFolder[0] ? initialFolder : nullptr;
  BOOL chosen;
  if (action == 1) {
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT;
    chosen = GetSaveFileNameA(&dialog);
  } else {
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    chosen = GetOpenFileNameA(&dialog);
  }
  if (chosen) out.Set(file);
}

// GUI thread; modal.
bool WinGraphics::PickColor(ArgbColor& color, const char* prompt) {
  if (!window_) return false;
  if (!customColors_) customColors_ = new (std::nothrow) COLORREF[16]{};
  if (!customColors_) return false;
  CHOOSECOLORA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window_;
  dialog.rgbResult = RGB(color.red & 255, color.green & 255, color.blue & 255);
  dialog.lpCustColors = customColors_;
  dialog.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ENABLEHOOK | CC_SOLIDCOLOR | CC_ANYCOLOR;
  dialog.lCustData = reinterpret_cast<LPARAM>(prompt);
  dialog.lpfnHook = ColorDialogHook;
  if (!ChooseColorA(&dialog)) return false;
  color.red = GetRValue(dialog.rgbResult);
  color.green = GetGValue(dialog.rgbResult);
  color.blue = GetBValue(dialog.rgbResult);
  return true;
}

bool WinGraphics::ShellOpen(const char* target) { return ShellOpenTarget(target); }
