#include "shapes/HostLoop.h"

#include <algorithm>
#include <cmath>

namespace {

int32_t ClampToInt32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

LoopChange TrackHostLoop(int64_t first, int64_t end, double samplesPerBeat, int32_t& loopStart, int32_t& loopEnd,
                         int32_t& lastEnd) {
  LoopChange change = LoopChange::kNone;
  if (end < lastEnd) {
    int64_t start = first;
    int64_t stop = lastEnd;
    const double length = static_cast<double>(stop - start);
    if (samplesPerBeat > 0.0 && std::isfinite(samplesPerBeat)) {
      const double beats = length / samplesPerBeat;
      const double whole = std::trunc(beats + 0.5);
      // Only a loop of at least one whole beat snaps.
      if (whole >= 1.0 && std::fabs(beats - whole) < 0.25) {
        const int64_t half = static_cast<int64_t>(std::trunc(whole * samplesPerBeat - length)) / 2;
        start -= half;
        stop += half;
      }
    }
    loopStart = ClampToInt32(start);
    loopEnd = ClampToInt32(stop);
    change = LoopChange::kDetected;
  } else if (end > static_cast<int64_t>(loopEnd) + kLoopGoneSamples) {
    loopStart = 0;
    loopEnd = 0;
    change = LoopChange::kGone;
  }
  lastEnd = ClampToInt32(end);
  return change;
}
