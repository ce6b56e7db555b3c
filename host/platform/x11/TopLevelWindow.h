// A plain top-level X11 window for a plug-in's editor to live in, mapped
// before it is returned (an editor maps its child into a shown parent).
#pragma once

#include <X11/Xlib.h>

inline Window MapTopLevelWindow(Display* display, int width, int height, const char* title) {
  const Window window =
      XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, static_cast<unsigned>(width),
                          static_cast<unsigned>(height), 0, 0, BlackPixel(display, DefaultScreen(display)));
  XStoreName(display, window, title);
  XSelectInput(display, window, StructureNotifyMask);
  XMapRaised(display, window);
  XEvent event;
  do XWindowEvent(display, window, StructureNotifyMask, &event);
  while (event.type != MapNotify);
  return window;
}
