// The validator's parent window on Windows: a visible top-level window of a
// class of our own. Pump() dispatches every message queued for this thread,
// which is where the editor's child window gets its paints and timers.
#include <windows.h>

#include "validate/ParentWindow.h"

namespace {

constexpr wchar_t kClassName[] = L"KelvaneValidatorParent";

class Win32ParentWindow final : public ParentWindow {
 public:
  explicit Win32ParentWindow(HWND window) : window_(window) {}
  ~Win32ParentWindow() override {
    DestroyWindow(window_);
    Pump();
  }
  Win32ParentWindow(const Win32ParentWindow&) = delete;
  Win32ParentWindow& operator=(const Win32ParentWindow&) = delete;

  void* Handle() const override { return window_; }
  void Pump() override {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }

 private:
  HWND window_;
};

}  // namespace

std::unique_ptr<ParentWindow> ParentWindow::Create(int width, int height, std::string& why) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.lpszClassName = kClassName;
  // Registered once a process; a second registration fails harmlessly.
  RegisterClassW(&windowClass);
  RECT frame{0, 0, width, height};
  AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
  HWND window = CreateWindowExW(0, kClassName, L"kelvane-host validate", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
  if (!window) {
    why = "cannot create a window here (CreateWindowEx failed with error " + std::to_string(GetLastError()) + ")";
    return nullptr;
  }
  auto parent = std::make_unique<Win32ParentWindow>(window);
  parent->Pump();
  return parent;
}
