// The test editor: the editor's background, the "bright" knob, the "reset"
// button and one line of text, on a headless surface bound to a Kelvane
// instance. The tests drive it on Linux, and kelvane-host's draw-test draws it
// with each platform's own code (text, surface storage, embedded images, the
// host's image loader), so its pictures can be compared across platforms.
#pragma once

#include "core/PixelRect.h"

class EffectPlugin;
class HeadlessGraphics;

// Where the text line is drawn; its glyphs may overhang this rect by a few
// pixels. Everything outside is drawn alike on every platform.
constexpr PixelRect kTestEditorTextRect{40, 40, 440, 60};
constexpr const char* kTestEditorText = "Kelvane draws this line with the platform's fonts";

// GUI thread. Builds the editor, binds it to `plug` (which owns it from then
// on) and returns it; null when out of memory.
HeadlessGraphics* BuildTestEditor(EffectPlugin* plug);
