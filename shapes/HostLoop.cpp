#include "shapes/HostLoop.h"

#include <cmath>

LoopChange TrackHostLoop(int64_t first, int64_t end, double samplesPerBeat, int64_t& loopStart, int64_t& loopEnd,
                         int64_t& lastEnd) {
  LoopChange change = LoopChange::kNone;
  if (end < lastEnd) {
    loopStart = first;
    loopEnd = lastEnd;
    const double length = static_cast<double>(loopEnd - loopStart);
    if (samplesPerBeat > 0.0 && std::isfinite(samplesPerBeat)) {
      const double beats = length / samplesPerBeat;
      const double whole = std::trunc(beats + 0.5);
      // Only a loop of at least one whole beat snaps.
      if (whole >= 1.0 && std::fabs(beats - whole) < 0.25) {
        const int64_t half = static_cast<int64_t>(std::trunc(whole * samplesPerBeat - length)) / 2;
        loopStart -= half;
        loopEnd += half;
      }
    }
    change = LoopChange::kDetected;
  } else if (end > loopEnd + kLoopGoneSamples) {
    loopStart = 0;
    loopEnd = 0;
    change = LoopChange::kGone;
  }
  lastEnd = end;
  return change;
}
