#include "graphics/platform/x11/X11Connection.h"

#include <mutex>
#include <new>

namespace x11 {
namespace {

// One of our open connections.
struct Link {
  Display* display = nullptr;
  int firstError = 0;
  bool broken = false;
  Link* next = nullptr;
};

// The registry is read by the error handler, which Xlib may call on any
// thread that uses any connection; it is never held across an Xlib call.
std::mutex gLock;
Link* gLinks = nullptr;
XErrorHandler gPrevious = nullptr;
XIOErrorHandler gPreviousIo = nullptr;
bool gInstalled = false;

Link* FindLink(Display* display) {
  for (Link* link = gLinks; link; link = link->next) {
    if (link->display == display) return link;
  }
  return nullptr;
}

int OnError(Display* display, XErrorEvent* error) {
  XErrorHandler chained = nullptr;
  {
    std::lock_guard<std::mutex> hold(gLock);
    if (Link* link = FindLink(display)) {
      if (!link->firstError) link->firstError = error->error_code ? error->error_code : -1;
      return 0;
    }
    chained = gPrevious;
  }
  return chained ? chained(display, error) : 0;
}

// A connection broke (the server went away). Xlib's own handler would end
// the process; for our connections the editor just loses its window. After
// this handler returns, Xlib calls the connection's exit handler.
int OnIoError(Display* display) {
  XIOErrorHandler chained = nullptr;
  {
    std::lock_guard<std::mutex> hold(gLock);
    if (Link* link = FindLink(display)) {
      link->broken = true;
      return 0;
    }
    chained = gPreviousIo;
  }
  return chained ? chained(display) : 0;
}

// Called by Xlib for a broken connection of ours instead of exiting the process.
void OnConnectionLost(Display* display, void*) {
  std::lock_guard<std::mutex> hold(gLock);
  if (Link* link = FindLink(display)) link->broken = true;
}

}  // namespace

Display* OpenConnection() {
  auto* link = new (std::nothrow) Link();
  if (!link) return nullptr;
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    delete link;
    return nullptr;
  }
  link->display = display;
  XSetIOErrorExitHandler(display, OnConnectionLost, nullptr);
  bool install = false;
  {
    std::lock_guard<std::mutex> hold(gLock);
    link->next = gLinks;
    gLinks = link;
    install = !gInstalled;
    gInstalled = true;
  }
  if (install) {
    XErrorHandler previous = XSetErrorHandler(OnError);
    XIOErrorHandler previousIo = XSetIOErrorHandler(OnIoError);
    std::lock_guard<std::mutex> hold(gLock);
    gPrevious = previous;
    gPreviousIo = previousIo;
  }
  return display;
}

void CloseConnection(Display* display) {
  if (!display) return;
  // Errors caused by our last requests arrive while closing: the link stays
  // registered until the connection is gone. (A broken connection closes
  // without a word to the server.)
  XCloseDisplay(display);
  bool last = false;
  XErrorHandler previous = nullptr;
  XIOErrorHandler previousIo = nullptr;
  {
    std::lock_guard<std::mutex> hold(gLock);
    for (Link** at = &gLinks; *at; at = &(*at)->next) {
      if ((*at)->display == display) {
        Link* gone = *at;
        *at = gone->next;
        delete gone;
        break;
      }
    }
    last = gLinks == nullptr && gInstalled;
    previous = gPrevious;
    previousIo = gPreviousIo;
  }
  if (!last) return;
  // Put the previous handlers back, unless someone installed theirs after
  // ours: then everything stays as it is, and ours go on passing on.
  XErrorHandler current = XSetErrorHandler(previous);
  XIOErrorHandler currentIo = XSetIOErrorHandler(previousIo);
  if (current != OnError || currentIo != OnIoError) {
    XSetErrorHandler(current);
    XSetIOErrorHandler(currentIo);
    return;
  }
  std::lock_guard<std::mutex> hold(gLock);
  gInstalled = false;
  gPrevious = nullptr;
  gPreviousIo = nullptr;
}

int TakeError(Display* display) {
  if (!IsBroken(display)) XSync(display, False);
  std::lock_guard<std::mutex> hold(gLock);
  Link* link = FindLink(display);
  if (!link) return 0;
  int error = link->firstError;
  link->firstError = 0;
  return error;
}

bool IsBroken(Display* display) {
  std::lock_guard<std::mutex> hold(gLock);
  Link* link = FindLink(display);
  return link && link->broken;
}

}  // namespace x11
