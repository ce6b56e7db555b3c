#include "graphics/EditorSurface.h"

#include <new>

#include "graphics/platform/headless/HeadlessGraphics.h"
#ifndef _WIN32
#include "graphics/platform/x11/X11Graphics.h"
#endif

BitmapGraphics* CreateEditorSurface(SurfaceKind kind, PlugBase* plug, int width, int height, int framesPerSecond) {
  switch (kind) {
    case SurfaceKind::Window:
#ifndef _WIN32
      return new (std::nothrow) X11Graphics(plug, width, height, framesPerSecond);
#else
      // No window layer on this platform yet: the editor draws headlessly and
      // tells the host it opens no window.
      [[fallthrough]];
#endif
    case SurfaceKind::Headless:
      return new (std::nothrow) HeadlessGraphics(plug, width, height, framesPerSecond);
  }
  return nullptr;
}
