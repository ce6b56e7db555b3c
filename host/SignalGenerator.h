// SignalGenerator: the deterministic stereo test music of the demo. Every
// 12 seconds it plays tones, chords, a drum pattern and a mix of all three,
// at levels from very quiet to near full scale, so gain shapes have something
// audible to work on. The same arguments give the same samples on every build.
#pragma once

#include "WavFile.h"

AudioData GenerateTestSignal(double seconds, int sampleRate);

// A 110 Hz sine on both channels whose amplitude rises in a straight line from
// 0 to full scale over the whole length: its output shows a level curve.
AudioData GenerateRamp(double seconds, int sampleRate);
