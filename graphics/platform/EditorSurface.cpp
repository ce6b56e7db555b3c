#include "graphics/EditorSurface.h"

#include <new>

#include "graphics/platform/headless/HeadlessGraphics.h"
#ifdef _WIN32
#include "graphics/platform/win32/WinGraphics.h"
#else
#include "graphics/platform/x11/X11Graphics.h"
#endif

BitmapGraphics* CreateEditorSurface(SurfaceKind kind, PlugBase* plug, int width, int height, int framesPerSecond) {
  switch (kind) {
    case SurfaceKind::Window:
#ifdef _WIN32
      return new (std::nothrow) WinGraphics(plug, width, height, framesPerSecond);
#else
      return new (std::nothrow) X11Graphics(plug, width, height, framesPerSecond);
#endif
    case SurfaceKind::Headless:
      return new (std::nothrow) HeadlessGraphics(plug, width, height, framesPerSecond);
  }
  return nullptr;
}
