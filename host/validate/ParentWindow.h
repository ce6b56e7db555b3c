// ParentWindow: the window a host hands to effEditOpen, as the validator makes
// it: a top-level X11 window on Linux, a Win32 window on Windows. Pump() is
// one turn of the host's GUI loop: it handles what the window system has
// queued for this thread (on Windows that includes the editor's own window
// messages and timers).
//
// Thread: the validator's GUI thread (the one that made it) only.
#pragma once

#include <memory>
#include <string>

class ParentWindow {
 public:
  // Null, with the reason in `why`, when no window can be made here (no display).
  static std::unique_ptr<ParentWindow> Create(int width, int height, std::string& why);
  virtual ~ParentWindow() = default;
  // The handle effEditOpen takes: an X11 Window id or an HWND.
  virtual void* Handle() const = 0;
  virtual void Pump() = 0;
};
