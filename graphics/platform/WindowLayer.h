// The window layer this build puts under the drawing surface.
#pragma once

#include "graphics/platform/headless/HeadlessGraphics.h"

using WindowLayer = HeadlessGraphics;
