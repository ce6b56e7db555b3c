#include "graphics/EditorSurface.h"

#include <new>

#include "graphics/platform/headless/HeadlessGraphics.h"

BitmapGraphics* CreateEditorSurface(SurfaceKind kind, PlugBase* plug, int width, int height, int framesPerSecond) {
  switch (kind) {
    case SurfaceKind::Window:
      // No window layer on this platform yet: the editor draws headlessly and
      // tells the host it opens no window.
    case SurfaceKind::Headless:
      return new (std::nothrow) HeadlessGraphics(plug, width, height, framesPerSecond);
  }
  return nullptr;
}
