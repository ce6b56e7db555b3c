#include "platform/win32/WindowEditor.h"

#include <windows.h>

#include "HostError.h"
#include "PluginInstance.h"
#include "core/EditorProbe.h"

namespace {

constexpr const char* kFrameClass = "KelvaneHostEditorFrame";
// The editor's redraw timer: the module names its own id.
constexpr UINT_PTR kEditorTimerId = 2;
constexpr DWORD kTickTimeoutMs = 60000;
// Long enough for the window system to deliver what opening the window and
// placing the pointer caused.
constexpr DWORD kSettleMs = 200;

HWND AsWindow(void* window) { return static_cast<HWND>(window); }

void DispatchOne(MSG& message) {
  TranslateMessage(&message);
  DispatchMessageA(&message);
}

// Dispatches everything, timers included, for `ms` milliseconds.
void Pump(DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchOne(message);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  } while (GetTickCount() - start < ms);
}

}  // namespace

WindowEditor::WindowEditor(PluginInstance& plugin) : plugin_(plugin) {
  EditorWindowSize(plugin_, width_, height_);

  WNDCLASSA frameClass{};
  frameClass.lpfnWndProc = DefWindowProcA;
  frameClass.hInstance = GetModuleHandleA(nullptr);
  frameClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  frameClass.lpszClassName = kFrameClass;
  // A second editor command of the same process finds the class registered.
  if (!RegisterClassA(&frameClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw HostError("cannot register a window class for the editor");
  RECT outer{0, 0, width_, height_};
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
  AdjustWindowRect(&outer, style, FALSE);
  HWND frame = CreateWindowExA(0, kFrameClass, "kelvane-host", style, 0, 0, outer.right - outer.left,
                               outer.bottom - outer.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!frame) throw HostError("cannot make a window for the editor");
  frame_ = frame;
  if (plugin_.Dispatch(effEditOpen, 0, 0, frame) != 1) {
    DestroyWindow(frame);
    throw HostError("the module did not open its editor in the window (effEditOpen)");
  }
  editor_ = FindWindowExA(frame, nullptr, nullptr, nullptr);
  if (!editor_) {
    plugin_.Dispatch(effEditClose);
    DestroyWindow(frame);
    throw HostError("the module's editor put no window into ours");
  }
  // The real pointer rests in the editor's bottom-right corner, over nothing
  // but the background, so that the editor's leave tracking finds it inside;
  // the script's own pointer moves arrive as messages.
  PointerAt(width_ - 1, height_ - 1);
  // The first paint, and the window system's notes about the pointer.
  Pump(kSettleMs);
}

WindowEditor::~WindowEditor() {
  plugin_.Dispatch(effEditClose);
  DestroyWindow(AsWindow(frame_));
  Drain();
}

void WindowEditor::PointerAt(int x, int y) {
  POINT screen{x, y};
  ClientToScreen(AsWindow(editor_), &screen);
  SetCursorPos(screen.x, screen.y);
}

void WindowEditor::Drain() {
  MSG message;
  for (;;) {
    if (PeekMessageA(&message, nullptr, 0, WM_TIMER - 1, PM_REMOVE) ||
        PeekMessageA(&message, nullptr, WM_TIMER + 1, 0xFFFFFFFFu, PM_REMOVE)) {
      DispatchOne(message);
    } else {
      break;
    }
  }
}

void WindowEditor::Tick() {
  Drain();
  const DWORD start = GetTickCount();
  for (;;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      const bool tick =
          message.message == WM_TIMER && message.hwnd == AsWindow(editor_) && message.wParam == kEditorTimerId;
      DispatchOne(message);
      if (tick) return;
    }
    if (GetTickCount() - start > kTickTimeoutMs) throw HostError("the editor's timer did not tick within 60 s");
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

void WindowEditor::Mouse(int32_t event, int32_t x, int32_t y, int32_t buttons, int32_t notches) {
  HWND editor = AsWindow(editor_);
  WPARAM keys = 0;
  if (buttons & kProbeLeft) keys |= MK_LBUTTON;
  if (buttons & kProbeRight) keys |= MK_RBUTTON;
  if (buttons & kProbeShift) keys |= MK_SHIFT;
  if (buttons & kProbeControl) keys |= MK_CONTROL;
  // The editor reads Alt from the keyboard state as the message arrives.
  BYTE keyboard[256] = {};
  GetKeyboardState(keyboard);
  keyboard[VK_MENU] = (buttons & kProbeAlt) ? 0x80 : 0;
  SetKeyboardState(keyboard);

  UINT message = 0;
  LPARAM where = MAKELPARAM(x, y);
  switch (event) {
    case kProbePress:
      message = (buttons & kProbeRight) ? WM_RBUTTONDOWN : WM_LBUTTONDOWN;
      keys |= message == WM_RBUTTONDOWN ? MK_RBUTTON : MK_LBUTTON;
      heldButton_ = message;
      break;
    case kProbeRelease:
      message = heldButton_ == WM_RBUTTONDOWN ? WM_RBUTTONUP : WM_LBUTTONUP;
      keys &= ~static_cast<WPARAM>(MK_LBUTTON | MK_RBUTTON);
      heldButton_ = 0;
      break;
    case kProbeDrag:
      message = WM_MOUSEMOVE;
      if (!(keys & (MK_LBUTTON | MK_RBUTTON))) keys |= heldButton_ == WM_RBUTTONDOWN ? MK_RBUTTON : MK_LBUTTON;
      break;
    case kProbeDoubleClick:
      message = WM_LBUTTONDBLCLK;
      keys |= MK_LBUTTON;
      break;
    case kProbeWheel: {
      // The wheel reports screen coordinates.
      POINT screen{x, y};
      ClientToScreen(editor, &screen);
      message = WM_MOUSEWHEEL;
      keys = MAKEWPARAM(LOWORD(keys), static_cast<WORD>(static_cast<short>(notches * WHEEL_DELTA)));
      where = MAKELPARAM(screen.x, screen.y);
      break;
    }
    case kProbeHover:
      message = WM_MOUSEMOVE;
      keys &= ~static_cast<WPARAM>(MK_LBUTTON | MK_RBUTTON);
      break;
    case kProbeLeave:
      message = WM_MOUSELEAVE;
      where = 0;
      break;
    default:
      return;
  }
  PostMessageA(editor, message, keys, where);
  Drain();
}

namespace {

// Prints one direct child of the editor into the picture at its place.
struct PrintChildren {
  HWND editor;
  HDC dc;
};

BOOL CALLBACK PrintChild(HWND child, LPARAM context) {
  const auto* c = reinterpret_cast<const PrintChildren*>(context);
  if (GetParent(child) != c->editor || !IsWindowVisible(child)) return TRUE;
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, c->editor, reinterpret_cast<POINT*>(&r), 2);
  POINT previous{};
  SetViewportOrgEx(c->dc, r.left, r.top, &previous);
  PrintWindow(child, c->dc, 0);
  SetViewportOrgEx(c->dc, previous.x, previous.y, nullptr);
  return TRUE;
}

}  // namespace

std::vector<uint32_t> WindowEditor::Screenshot() {
  Drain();
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = -height_;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP section = dc ? CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
  std::vector<uint32_t> pixels;
  if (section && bits) {
    HGDIOBJ displaced = SelectObject(dc, section);
    // The window's own picture, whatever covers it on the screen.
    if (PrintWindow(AsWindow(editor_), dc, PW_CLIENTONLY)) {
      // The editor's own child windows (the value prompt) on top, as the
      // screen shows them: printing a window leaves its children out.
      PrintChildren children{AsWindow(editor_), dc};
      EnumChildWindows(children.editor, PrintChild, reinterpret_cast<LPARAM>(&children));
      GdiFlush();
      const auto* words = static_cast<const uint32_t*>(bits);
      pixels.assign(words, words + static_cast<size_t>(width_) * static_cast<size_t>(height_));
      for (uint32_t& p : pixels) p |= 0xFF000000u;  // a window shows no alpha
    }
    SelectObject(dc, displaced);
  }
  if (section) DeleteObject(section);
  if (dc) DeleteDC(dc);
  if (pixels.empty()) throw HostError("cannot take a picture of the editor window (PrintWindow)");
  return pixels;
}
