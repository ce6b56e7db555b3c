// SavedStateText: a saved state as readable text and back. The text lists the
// header ("tag", "bright", "colormap", "count"), then one "segment" block per
// record with its flags, "follow"/"clip"/"blend" and the three points with all
// their fields (cached screen fields included). Doubles use 17 significant
// digits, so MakeSavedState(DumpSavedState(s)) gives back s byte for byte.
// In text written by hand, missing fields take the defaults of a new record
// and of a new instance (tag 1001, bright 1, colormap 3, count = segments).
#pragma once

#include <string>

#include "SavedState.h"

std::string DumpSavedState(const SavedState& state);
// Throws HostError naming the line for anything it cannot read.
SavedState MakeSavedState(const std::string& text);
