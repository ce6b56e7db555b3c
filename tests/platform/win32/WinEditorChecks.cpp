// The Windows editor window in a real window system (Wine + Xvfb in the test
// suite): Kelvane instances built in this program open their editors in a
// top-level window of ours, and every input arrives as a window message, the
// way a host delivers it. Prints "ok NAME" or "FAIL NAME: what" per check and
// exits with 1 when any check failed.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "controls/Control.h"
#include "controls/LineKnob.h"
#include "core/Module.h"
#include "core/Param.h"
#include "effect/EffectPlugin.h"
#include "graphics/SectionBitmap.h"
#include "graphics/platform/win32/WinGraphics.h"
#include "tests/core/FakeHost.h"

namespace {

int gFailures = 0;
std::string gProblems;

void Expect(bool ok, const std::string& what) {
  if (!ok) gProblems += (gProblems.empty() ? "" : "; ") + what;
}

void Report(const char* name) {
  std::printf(gProblems.empty() ? "ok %s\n" : "FAIL %s: %s\n", name, gProblems.c_str());
  std::fflush(stdout);
  if (!gProblems.empty()) ++gFailures;
  gProblems.clear();
}

// Dispatches this thread's messages until `done` holds or `ms` pass.
bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (done && done()) return true;
    if (GetTickCount() - start >= ms) return !done;
    Sleep(1);
  }
}
void Pump(DWORD ms) { PumpUntil(nullptr, ms); }

HWND MakeParent(int x, int y) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA parentClass{};
    parentClass.lpfnWndProc = DefWindowProcA;
    parentClass.hInstance = GetModuleHandleA(nullptr);
    parentClass.lpszClassName = "KelvaneTestHost";
    registered = RegisterClassA(&parentClass) != 0;
  }
  HWND parent = CreateWindowExA(0, "KelvaneTestHost", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, 700, 620,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  Pump(50);
  return parent;
}

bool ClassRegistered() {
  WNDCLASSA found{};
  return GetClassInfoA(GetModuleHandleA(nullptr), WinGraphics::kClassName, &found) != 0;
}

// One Kelvane instance with its editor and a test knob on "colormap".
struct Instance {
  FakeHost host;
  EffectPlugin* plug = static_cast<EffectPlugin*>(CreateEffectInstance(host.Callback()));
  AEffect* effect = plug ? plug->Effect() : nullptr;
  WinGraphics* editor = plug ? dynamic_cast<WinGraphics*>(plug->Editor()) : nullptr;
  Control* colormapKnob = nullptr;

  Instance() {
    if (!editor) return;
    colormapKnob = new LineKnob(plug, PixelRect{400, 480, 427, 507}, EffectPlugin::kColormap,
                                ArgbColor{255, 255, 255, 255}, 2.0, 8.0, -2.0, 2.0, 0, 4.0);
    editor->AddControl(colormapKnob);
  }
  ~Instance() {
    if (effect) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  }
  bool Open(HWND parent) { return effect->dispatcher(effect, effEditOpen, 0, 0, parent, 0.0f) == 1; }
  void Close() { effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f); }
  HWND Window() const { return static_cast<HWND>(editor->WindowHandle()); }
  float Get(int index) const { return effect->getParameter(effect, index); }
  void Post(UINT message, WPARAM keys, int x, int y) const {
    PostMessageA(Window(), message, keys, MAKELPARAM(x, y));
  }
  void Click(UINT down, UINT up, WPARAM keys, int x, int y) const {
    Post(down, keys, x, y);
    Post(up, 0, x, y);
    Pump(30);
  }
  // Waits for the timer to take up the prompt's state.
  bool PromptGone() const {
    return PumpUntil([this] { return editor->EntryWindow() == nullptr; }, 5000);
  }
  std::string EntryText() const {
    char text[64] = {};
    GetWindowTextA(editor->EntryWindow(), text, sizeof text);
    return text;
  }
};

// The window's picture against the surface, colour bytes only: what the
// window asks to be printed (WM_PRINTCLIENT) or what it shows on the screen.
bool WindowShowsSurface(Instance& kelvane, bool fromScreen = false) {
  const int w = kelvane.editor->Width(), h = kelvane.editor->Height();
  SectionBitmap shot(w, h);
  HDC dc = static_cast<HDC>(shot.DeviceContext());
  if (!dc) return false;
  if (fromScreen) {
    HDC screen = GetDC(kelvane.Window());
    const bool copied = BitBlt(dc, 0, 0, w, h, screen, 0, 0, SRCCOPY) != 0;
    ReleaseDC(kelvane.Window(), screen);
    if (!copied) return false;
  } else if (!PrintWindow(kelvane.Window(), dc, PW_CLIENTONLY)) {
    return false;
  }
  GdiFlush();
  const uint32_t* surface = kelvane.editor->SurfacePixels();
  for (int i = 0; i < w * h; ++i)
    if ((shot.PixelData()[i] ^ surface[i]) & 0x00FFFFFFu) return false;
  return true;
}

// Whether Paint has drawn into the surface: the background is opaque.
bool Painted(Instance& kelvane) {
  const uint32_t* surface = kelvane.editor->SurfacePixels();
  return surface && (surface[0] >> 24) == 255;
}

void CheckTimerPeriod() {
  // No rate given yet in this process: 24 frames a second.
  { WinGraphics none(nullptr, 8, 8, 0); }
  Expect(WinGraphics::TimerPeriod() == 41, "period without a rate " + std::to_string(WinGraphics::TimerPeriod()));
  Instance kelvane;  // the effect asks for 18 frames a second
  Expect(WinGraphics::TimerPeriod() == 55, "period at 18 fps " + std::to_string(WinGraphics::TimerPeriod()));
  Report("timer_period");
}

void CheckOpenCloseReopen(HWND parent) {
  Instance kelvane;
  Expect(kelvane.editor != nullptr, "the effect's editor is a WinGraphics");
  if (!kelvane.editor) return Report("open_close_reopen");
  Expect(kelvane.effect->flags == 4153, "flags " + std::to_string(kelvane.effect->flags));
  for (int round = 0; round < 2; ++round) {
    Expect(kelvane.Open(parent), "open");
    HWND child = FindWindowExA(parent, nullptr, WinGraphics::kClassName, "Kelvane");
    Expect(child != nullptr && child == kelvane.Window(), "child window \"Kelvane\" in the parent");
    RECT client{};
    GetClientRect(child, &client);
    Expect(client.right == 640 && client.bottom == 540, "size 640 x 540");
    Expect(IsWindowVisible(child) != 0, "visible");
    Expect((GetWindowLongA(child, GWL_STYLE) & (WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN)) ==
               (WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN),
           "child style");
    Expect(ClassRegistered() && WinGraphics::WindowClassUseCount() == 1, "class registered once");
    // The first paint fills the surface; printing the window copies it.
    if (round == 0) Expect(PumpUntil([&] { return Painted(kelvane); }, 5000), "first paint");
    Expect(WindowShowsSurface(kelvane), "the window prints the surface");
    kelvane.Close();
    Expect(!IsWindow(child) && !kelvane.editor->HasWindow(), "closed");
    Expect(!ClassRegistered() && WinGraphics::WindowClassUseCount() == 0, "class unregistered");
  }
  Report("open_close_reopen");
}

void CheckReopenInPlace(HWND parent) {
  Instance kelvane;
  kelvane.Open(parent);
  HWND first = kelvane.Window();
  MoveWindow(first, 12, 34, 600, 500, TRUE);
  Expect(kelvane.Open(parent), "second open");
  HWND second = kelvane.Window();
  Expect(!IsWindow(first) && second != nullptr, "replaced by a new window");
  RECT frame{};
  GetWindowRect(second, &frame);
  POINT at{frame.left, frame.top};
  ScreenToClient(parent, &at);
  Expect(at.x == 12 && at.y == 34, "at " + std::to_string(at.x) + "," + std::to_string(at.y));
  Expect(frame.right - frame.left == 600 && frame.bottom - frame.top == 500, "same size");
  Expect(WinGraphics::WindowClassUseCount() == 1 && ClassRegistered(), "one use of the class");
  kelvane.Close();
  Report("reopen_in_place");
}

void CheckTwoInstances(HWND parent, HWND otherParent) {
  Instance a, b;
  Expect(a.Open(parent) && b.Open(otherParent), "both open");
  Expect(WinGraphics::WindowClassUseCount() == 2, "two uses");
  a.Close();
  Expect(ClassRegistered() && WinGraphics::WindowClassUseCount() == 1, "closing one keeps the class");
  Expect(b.editor->HasWindow() && IsWindow(b.Window()), "the other editor stays");
  b.Close();
  Expect(!ClassRegistered() && WinGraphics::WindowClassUseCount() == 0, "closing the last unregisters it");
  Report("two_instances");
}

void CheckTimerRedraws(HWND parent) {
  Instance kelvane;
  kelvane.Open(parent);
  Control* knob = kelvane.editor->ControlAt(1);
  PumpUntil([&] { return !knob->NeedsRedraw(); }, 5000);
  kelvane.effect->setParameter(kelvane.effect, EffectPlugin::kBright, 1.0f);
  Expect(knob->NeedsRedraw(), "the host's change marks the knob");
  // Only the timer paints: no message of ours asks for it.
  Expect(PumpUntil([&] { return !knob->NeedsRedraw(); }, 5000), "a tick redraws the knob");
  Expect(WindowShowsSurface(kelvane, true), "the screen shows the redrawn knob");
  kelvane.Close();
  Report("timer_redraws");
}

void CheckKnobDrag(HWND parent) {
  Instance kelvane;
  kelvane.Open(parent);
  const float start = kelvane.Get(EffectPlugin::kBright);
  // A move with the button down but no press of ours is no drag.
  kelvane.Post(WM_MOUSEMOVE, MK_LBUTTON, 198, 400);
  Pump(30);
  Expect(kelvane.Get(EffectPlugin::kBright) == start, "move without capture ignored");
  kelvane.Post(WM_LBUTTONDOWN, MK_LBUTTON, 198, 494);
  for (int y = 493; y >= 440; --y) kelvane.Post(WM_MOUSEMOVE, MK_LBUTTON, 198, y);
  kelvane.Post(WM_LBUTTONUP, 0, 198, 440);
  Pump(100);
  // 54 pixels up is half the knob's travel.
  Expect(std::fabs(kelvane.Get(EffectPlugin::kBright) - (start + 0.5f)) < 1e-6f,
         "bright " + std::to_string(kelvane.Get(EffectPlugin::kBright)));
  Expect(GetCapture() == nullptr, "capture released");
  kelvane.Close();
  Report("knob_drag");
}

void CheckWheel(HWND parent) {
  Instance kelvane;
  kelvane.Open(parent);
  RECT frame{};
  GetWindowRect(kelvane.Window(), &frame);
  auto wheel = [&](short delta) {
    // Screen coordinates of the knob's centre.
    PostMessageA(kelvane.Window(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)),
                 MAKELPARAM(frame.left + 198, frame.top + 494));
    Pump(30);
    return kelvane.editor->ControlAt(1)->Value();
  };
  const double start = kelvane.editor->ControlAt(1)->Value();
  Expect(std::fabs(wheel(120) - (start + 0.01)) < 1e-9, "one notch forward");
  Expect(std::fabs(wheel(-120) - start) < 1e-9, "one notch back");
  Expect(wheel(60) == start, "half a notch does nothing");
  kelvane.Close();
  Report("wheel");
}

int TextIndex(const Param* param, const char* wanted) {
  char text[Param::kTextBytes];
  for (int i = 0; i < param->ValueTextCount(); ++i) {
    param->ValueTextAt(i, text);
    if (std::strcmp(text, wanted) == 0) return i;
  }
  return -1;
}

void CheckListPrompt(HWND parent) {
  Instance kelvane;
  kelvane.Open(parent);
  Param* colormap = kelvane.plug->ParamAt(EffectPlugin::kColormap);
  const int thermal = TextIndex(colormap, "thermal");
  Expect(thermal == 1, "\"thermal\" is display text 1");
  kelvane.Click(WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON, 413, 493);
  HWND entry = kelvane.editor->EntryWindow();
  char kind[32] = {};
  GetClassNameA(entry, kind, sizeof kind);
  Expect(entry && _stricmp(kind, "ComboBox") == 0, std::string("prompt class ") + kind);
  Expect(GetDlgCtrlID(entry) == WinGraphics::kEntryId, "prompt id 99");
  Expect(SendMessageA(entry, CB_GETCOUNT, 0, 0) == colormap->ValueTextCount(), "every display text offered");
  Expect(SendMessageA(entry, CB_GETCURSEL, 0, 0) == static_cast<LRESULT>(colormap->Plain()),
         "the current text selected");
  // Dropped, the list shows every choice.
  SendMessageA(entry, CB_SHOWDROPDOWN, TRUE, 0);
  COMBOBOXINFO parts{};
  parts.cbSize = sizeof parts;
  RECT list{};
  if (GetComboBoxInfo(entry, &parts)) GetClientRect(parts.hwndList, &list);
  const LRESULT itemHeight = SendMessageA(entry, CB_GETITEMHEIGHT, 0, 0);
  Expect(itemHeight > 0 && list.bottom >= colormap->ValueTextCount() * itemHeight,
         "dropped list " + std::to_string(list.bottom) + " px for " + std::to_string(itemHeight) + " px items");
  SendMessageA(entry, CB_SHOWDROPDOWN, FALSE, 0);

  // The user clicks into the list: the editor leaves it alone, no painting.
  SetFocus(entry);
  Expect(kelvane.editor->EntryStateNow() == WinGraphics::kEntryFocused, "focused");
  Control* knob = kelvane.editor->ControlAt(1);
  PumpUntil([&] { return !knob->NeedsRedraw(); }, 5000);
  kelvane.effect->setParameter(kelvane.effect, EffectPlugin::kBright, 0.9f);
  Pump(300);
  Expect(knob->NeedsRedraw(), "no redraw while the prompt has the focus");
  SendMessageA(entry, CB_SETCURSEL, static_cast<WPARAM>(thermal), 0);
  PostMessageA(entry, WM_KEYDOWN, VK_RETURN, 0);
  Expect(kelvane.PromptGone(), "Return commits at the next tick");
  Expect(colormap->Plain() == 1.0, "colormap " + std::to_string(colormap->Plain()));

  // A choice in the list commits as well.
  kelvane.Click(WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON, 413, 493);
  entry = kelvane.editor->EntryWindow();
  Expect(SendMessageA(entry, CB_GETCURSEL, 0, 0) == thermal, "the prompt opens on the current text");
  SendMessageA(entry, CB_SETCURSEL, 2, 0);
  SendMessageA(entry, WM_COMMAND, MAKEWPARAM(1000, 1), 0);
  Expect(kelvane.editor->EntryStateNow() == WinGraphics::kEntryCommit, "selection notification commits");
  Expect(kelvane.PromptGone() && colormap->Plain() == 2.0, "colormap " + std::to_string(colormap->Plain()));
  kelvane.Close();
  Report("list_prompt");
}

void CheckNumberPrompt(HWND parent) {
  Instance kelvane;
  kelvane.Open(parent);
  struct Case {
    const char* typed;
    float expected;  // normalised "bright"
  };
  // Beyond the range commits the nearer end; text that is no finite number sets nothing.
  for (Case c : {Case{"1e9", 1.0f}, Case{"-1e9", 0.0f}, Case{"inf", 0.0f}, Case{"nan", 0.0f}}) {
    kelvane.Click(WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON, 198, 494);
    HWND entry = kelvane.editor->EntryWindow();
    char kind[32] = {};
    GetClassNameA(entry, kind, sizeof kind);
    Expect(entry && _stricmp(kind, "Edit") == 0, std::string("prompt class ") + kind);
    char shown[Param::kTextBytes] = {};
    kelvane.plug->ParamAt(EffectPlugin::kBright)->FormatValue(shown);
    Expect(kelvane.EntryText() == shown, "prompt starts with " + std::string(shown));
    SetWindowTextA(entry, c.typed);
    PostMessageA(entry, WM_KEYDOWN, VK_RETURN, 0);
    Expect(kelvane.PromptGone(), std::string("prompt closed after ") + c.typed);
    Expect(kelvane.Get(EffectPlugin::kBright) == c.expected,
           std::string(c.typed) + " gives " + std::to_string(kelvane.Get(EffectPlugin::kBright)));
  }
  kelvane.Close();
  Report("number_prompt");
}

void CheckPromptCancelAndRefresh(HWND parent) {
  Instance kelvane;
  kelvane.Open(parent);
  kelvane.Click(WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON, 198, 494);
  HWND entry = kelvane.editor->EntryWindow();
  // The host moves the parameter: a tick redraws, the next one refreshes the text.
  kelvane.effect->setParameter(kelvane.effect, EffectPlugin::kBright, 1.0f);
  char shown[Param::kTextBytes] = {};
  kelvane.plug->ParamAt(EffectPlugin::kBright)->FormatValue(shown);
  Expect(PumpUntil([&] { return kelvane.EntryText() == shown; }, 5000), "text follows the parameter: " +
                                                                            kelvane.EntryText());
  SetWindowTextA(entry, "3");
  // A right click anywhere cancels and reaches no control.
  kelvane.Post(WM_RBUTTONDOWN, MK_RBUTTON, 413, 493);
  Pump(30);
  Expect(kelvane.editor->CapturedControl() == -1 && GetCapture() == nullptr, "the press reached no control");
  Expect(kelvane.editor->EntryStateNow() == WinGraphics::kEntryCancel || !kelvane.editor->EntryWindow(),
         "right click cancels");
  kelvane.Post(WM_RBUTTONUP, 0, 413, 493);
  Expect(kelvane.PromptGone() && kelvane.Get(EffectPlugin::kBright) == 1.0f, "cancel sets nothing");

  // Cancel while typing, too.
  kelvane.Click(WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON, 198, 494);
  SetFocus(kelvane.editor->EntryWindow());
  kelvane.Click(WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON, 300, 300);
  Expect(kelvane.PromptGone(), "right click while typing cancels");

  // Closing the editor discards an open prompt; the reopened editor asks anew.
  kelvane.Click(WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON, 198, 494);
  entry = kelvane.editor->EntryWindow();
  SetWindowTextA(entry, "0");
  PostMessageA(entry, WM_KEYDOWN, VK_RETURN, 0);
  kelvane.Close();
  Expect(!kelvane.editor->EntryWindow() && !IsWindow(entry), "prompt gone with the editor");
  kelvane.Open(parent);
  Pump(300);
  Expect(kelvane.Get(EffectPlugin::kBright) == 1.0f, "a discarded prompt sets nothing");
  kelvane.Click(WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON, 198, 494);
  Expect(kelvane.editor->EntryWindow() != nullptr, "a new prompt after reopening");
  kelvane.Close();
  Report("prompt_cancel_refresh");
}

void CheckLostCapture(HWND parent) {
  Instance kelvane;
  kelvane.Open(parent);
  // "reset" is held while pressed; another window taking the mouse lets go of it.
  kelvane.Post(WM_LBUTTONDOWN, MK_LBUTTON, 240, 494);
  Pump(30);
  Expect(kelvane.Get(EffectPlugin::kReset) == 1.0f && GetCapture() == kelvane.Window(), "reset held");
  SetCapture(parent);
  Pump(30);
  Expect(kelvane.Get(EffectPlugin::kReset) == 0.0f && kelvane.editor->CapturedControl() == -1,
         "lost capture releases reset");
  ReleaseCapture();
  // Closing the editor during a press lets go as well.
  kelvane.Post(WM_LBUTTONDOWN, MK_LBUTTON, 240, 494);
  Pump(30);
  Expect(kelvane.Get(EffectPlugin::kReset) == 1.0f, "reset held again");
  kelvane.Close();
  Expect(kelvane.Get(EffectPlugin::kReset) == 0.0f, "closing releases reset");
  Report("lost_capture");
}

void CheckParentDestroyed() {
  Instance kelvane;
  HWND parent = MakeParent(0, 0);
  kelvane.Open(parent);
  kelvane.Post(WM_LBUTTONDOWN, MK_LBUTTON, 240, 494);
  Pump(30);
  DestroyWindow(parent);
  Expect(!kelvane.editor->HasWindow() && kelvane.editor->WindowHandle() == nullptr, "handle cleared");
  Expect(kelvane.Get(EffectPlugin::kReset) == 0.0f, "the press ended with the window");
  kelvane.Close();
  Expect(WinGraphics::WindowClassUseCount() == 0 && !ClassRegistered(), "class given back");
  parent = MakeParent(0, 0);
  Expect(kelvane.Open(parent), "opens again");
  kelvane.Close();
  DestroyWindow(parent);
  Report("parent_destroyed");
}

}  // namespace

int main() {
  // The first line says this program runs: without it, Wine never started it.
  std::printf("started\n");
  std::fflush(stdout);
  // The editor's images are resources of this program.
  ModuleHandle = GetModuleHandleA(nullptr);
  SetCursorPos(1279, 1023);  // keep the real pointer off our windows
  CheckTimerPeriod();
  HWND parent = MakeParent(0, 0);
  HWND otherParent = MakeParent(700, 0);  // beside the first: screen reads see it whole
  if (!parent || !otherParent) {
    std::printf("FAIL windows: no top-level window\n");
    return 1;
  }
  CheckOpenCloseReopen(parent);
  CheckReopenInPlace(parent);
  CheckTwoInstances(parent, otherParent);
  CheckTimerRedraws(parent);
  CheckKnobDrag(parent);
  CheckWheel(parent);
  CheckListPrompt(parent);
  CheckNumberPrompt(parent);
  CheckPromptCancelAndRefresh(parent);
  CheckLostCapture(parent);
  CheckParentDestroyed();
  DestroyWindow(otherParent);
  DestroyWindow(parent);
  return gFailures ? 1 : 0;
}
