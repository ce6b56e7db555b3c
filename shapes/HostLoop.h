// Host loop detection: the display sees the host's playback loop as a jump
// back in the positions of the captured audio, and snaps its length to whole
// beats so that "fit" and "copy" act on the loop the user set in the host.
#pragma once

#include <cstdint>

enum class LoopChange {
  kNone,      // nothing to tell the panel
  kDetected,  // the host jumped back: a loop runs from loopStart to loopEnd
  kGone,      // play ran more than kLoopGoneSamples past the loop's end (or no loop is set)
};

constexpr int64_t kLoopGoneSamples = 1024;

// GUI thread, inside the display's draw. A new block of captured samples runs
// from `first` up to `end` (exclusive); `lastEnd` is where the previous block
// ended. A block ending before lastEnd is a jump back: the loop runs from
// `first` to lastEnd, widened or narrowed equally at both ends to a whole
// number of beats when it lies within a quarter beat of one (beats of
// `samplesPerBeat` samples; no snapping without a tempo or below one beat).
// Updates loopStart, loopEnd (0: no loop) and lastEnd.
LoopChange TrackHostLoop(int64_t first, int64_t end, double samplesPerBeat, int64_t& loopStart, int64_t& loopEnd,
                         int64_t& lastEnd);
