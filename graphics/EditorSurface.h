// The one place that picks a window layer. The effect's editor asks for the
// platform's window; tests, tools and kelvane-host may ask for the headless
// layer, which draws the same surface without a window system.
#pragma once

class BitmapGraphics;
class PlugBase;

enum class SurfaceKind {
  Window,    // Win32 on Windows, X11 on Linux
  Headless,  // no window: mouse events and timer ticks are injected
};

// GUI thread. A new editor surface owned by the caller, or null when out of memory.
BitmapGraphics* CreateEditorSurface(SurfaceKind kind, PlugBase* plug, int width, int height, int framesPerSecond);
