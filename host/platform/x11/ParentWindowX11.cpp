// The validator's parent window on Linux: a mapped top-level X11 window on
// its own display connection. The editor makes its own connection and child
// window; this connection only keeps its queue drained.
#include <X11/Xlib.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/x11/TopLevelWindow.h"
#include "validate/ParentWindow.h"

namespace {

class X11ParentWindow final : public ParentWindow {
 public:
  X11ParentWindow(Display* display, int width, int height) : display_(display) {
    window_ = MapTopLevelWindow(display_, width, height, "kelvane-host validate");
  }
  ~X11ParentWindow() override {
    XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
  }
  X11ParentWindow(const X11ParentWindow&) = delete;
  X11ParentWindow& operator=(const X11ParentWindow&) = delete;

  void* Handle() const override { return reinterpret_cast<void*>(window_); }
  void Pump() override {
    XSync(display_, False);
    while (XPending(display_) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
    }
  }

 private:
  Display* display_;
  Window window_ = 0;
};

}  // namespace

std::unique_ptr<ParentWindow> ParentWindow::Create(int width, int height, std::string& why) {
  // A busy server now and then turns a connection away: a few tries, as a host starting up would not give up at once.
  Display* display = XOpenDisplay(nullptr);
  for (int attempt = 1; !display && attempt < 5 && std::getenv("DISPLAY"); ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    display = XOpenDisplay(nullptr);
  }
  if (!display) {
    const char* name = std::getenv("DISPLAY");
    why = name ? std::string("cannot connect to the X display ") + name + " (gone, or refusing more clients)"
               : "no X display to open the editor on (DISPLAY is not set; xvfb-run gives one)";
    return nullptr;
  }
  return std::make_unique<X11ParentWindow>(display, width, height);
}
