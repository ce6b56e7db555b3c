// EditorDriver: how `kelvane-host editor` reaches the module's editor: through
// the module's probe, without a window, or through a real window that a user's
// hands would drive (X11 on Linux). Mouse events use the probe's event kinds and
// button bits (core/EditorProbe.h) in either case.
#pragma once

#include <cstdint>
#include <vector>

class PluginInstance;

class EditorDriver {
 public:
  virtual ~EditorDriver() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // One period of the editor's redraw timer (55 ms).
  virtual void Tick() = 0;
  virtual void Mouse(int32_t event, int32_t x, int32_t y, int32_t buttons, int32_t notches) = 0;
  // What the editor shows, 0xFFRRGGBB words (opaque), Width() per row.
  virtual std::vector<uint32_t> Screenshot() = 0;
};

// The size a module gives for its editor (effEditGetRect), for a window
// driver's window; throws HostError when it has no editor or no usable size.
void EditorWindowSize(PluginInstance& plugin, int& width, int& height);
