#include "platform/win32/WindowEditor.h"

#include <windows.h>

#include "HostError.h"
#include "PluginInstance.h"

namespace {

constexpr const char* kFrameClass = "KelvaneHostEditorFrame";
// The editor's redraw timer: the module names its own id.
constexpr UINT_PTR kEditorTimerId = 2;
constexpr DWORD kTickTimeoutMs = 20000;

HWND AsWindow(void* window) { return static_cast<HWND>(window); }

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

WindowEditor::WindowEditor(PluginInstance& plugin) : plugin_(plugin) {
  ERect* rect = nullptr;
  if (plugin_.Dispatch(effEditGetRect, 0, 0, &rect) == 0 || !rect)
    throw HostError("the module has no editor (effEditGetRect)");
  width_ = rect->right - rect->left;
  height_ = rect->bottom - rect->top;
  if (width_ <= 0 || height_ <= 0) throw HostError("the module's editor has no size");

  WNDCLASSA frameClass{};
  frameClass.lpfnWndProc = FrameProc;
  frameClass.hInstance = GetModuleHandleA(nullptr);
  frameClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  frameClass.lpszClassName = kFrameClass;
  RegisterClassA(&frameClass);
  RECT outer{0, 0, width_, height_};
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
  AdjustWindowRect(&outer, style, FALSE);
  HWND frame = CreateWindowExA(0, kFrameClass, "kelvane-host editor", style, 0, 0, outer.right - outer.left,
                               outer.bottom - outer.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!frame) throw HostError("cannot make a window for the editor");
  frame_ = frame;
  // The real pointer stays off the editor: only the script moves the mouse.
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);

  if (plugin_.Dispatch(effEditOpen, 0, 0, frame) != 1) {
    DestroyWindow(frame);
    throw HostError("the module opened no editor window (effEditOpen)");
  }
  editor_ = FindWindowExA(frame, nullptr, nullptr, nullptr);
  if (!editor_) {
    plugin_.Dispatch(effEditClose);
    DestroyWindow(frame);
    throw HostError("the module's editor put no window into ours");
  }
  // The first paint.
  Drain();
}

WindowEditor::~WindowEditor() {
  plugin_.Dispatch(effEditClose);
  Drain();
  DestroyWindow(AsWindow(frame_));
  Drain();
}

EditorProbe WindowEditor::Probe() {
  EditorProbe probe;
  probe.width = width_;
  probe.height = height_;
  probe.context = this;
  probe.tick = &Tick;
  probe.mouse = &Mouse;
  probe.pixels = &Pixels;
  return probe;
}

void WindowEditor::Drain() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

bool WindowEditor::WaitForTicks(int ticks) {
  const DWORD start = GetTickCount();
  int seen = 0;
  while (seen < ticks) {
    MSG message;
    while (seen < ticks && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_TIMER && message.hwnd == AsWindow(editor_) && message.wParam == kEditorTimerId) ++seen;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (seen >= ticks) break;
    if (GetTickCount() - start > kTickTimeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

int32_t VSTCALL WindowEditor::Tick(void* context) {
  auto* self = static_cast<WindowEditor*>(context);
  if (!self->WaitForTicks(1)) throw HostError("the editor's timer did not tick within 20 s");
  return 1;
}

void VSTCALL WindowEditor::Mouse(void* context, int32_t event, int32_t x, int32_t y, int32_t buttons,
                                 int32_t notches) {
  auto* self = static_cast<WindowEditor*>(context);
  HWND editor = AsWindow(self->editor_);
  WPARAM keys = 0;
  if (buttons & kProbeLeft) keys |= MK_LBUTTON;
  if (buttons & kProbeRight) keys |= MK_RBUTTON;
  if (buttons & kProbeShift) keys |= MK_SHIFT;
  if (buttons & kProbeControl) keys |= MK_CONTROL;
  // The editor reads Alt from the keyboard state, as it is when the message arrives.
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
      self->heldButton_ = message;
      break;
    case kProbeRelease:
      message = self->heldButton_ == WM_RBUTTONDOWN ? WM_RBUTTONUP : WM_LBUTTONUP;
      keys &= ~static_cast<WPARAM>(MK_LBUTTON | MK_RBUTTON);
      self->heldButton_ = 0;
      break;
    case kProbeDrag:
      message = WM_MOUSEMOVE;
      if (!(keys & (MK_LBUTTON | MK_RBUTTON))) keys |= self->heldButton_ == WM_RBUTTONDOWN ? MK_RBUTTON : MK_LBUTTON;
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
  self->Drain();
}

const uint32_t* VSTCALL WindowEditor::Pixels(void* context) {
  auto* self = static_cast<WindowEditor*>(context);
  self->Drain();
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = self->width_;
  info.bmiHeader.biHeight = -self->height_;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP section = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool printed = false;
  if (dc && section && bits) {
    HGDIOBJ displaced = SelectObject(dc, section);
    // The window's own picture: what it shows, whatever covers it on the screen.
    printed = PrintWindow(AsWindow(self->editor_), dc, PW_CLIENTONLY) != 0;
    GdiFlush();
    if (printed) {
      const auto* pixels = static_cast<const uint32_t*>(bits);
      self->shot_.assign(pixels, pixels + static_cast<size_t>(self->width_) * static_cast<size_t>(self->height_));
    }
    SelectObject(dc, displaced);
  }
  if (section) DeleteObject(section);
  if (dc) DeleteDC(dc);
  return printed ? self->shot_.data() : nullptr;
}
