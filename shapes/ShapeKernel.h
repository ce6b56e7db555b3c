// ShapeKernel: the per-sample loop of a shaped run (follower, gain, clipper),
// built twice from one template (ShapeKernelLanes.h): with 2-lane SSE2 vectors
// for every x86 build, and on x86_64 also with 4-lane AVX vectors, which the
// engine chooses at run time when the processor and the system support them.
// Both give the same bits. Samples are read and written as double or float;
// the arithmetic is always double.
//
// Audio thread, under PlugLock: no allocation, no lock, no system call.
#pragma once

#include <cfloat>
#include <cstdint>

#include "shapes/ShapeStore.h"

class ShapeCurve;

// What a run needs, prepared once per run by the engine.
struct ShapeRunSetup {
  const ShapeCurve* curve;
  double attack;      // follower coefficient while the peak rises above the envelope
  double release;     // follower coefficient otherwise
  double kneeFactor;  // the knee starts at this fraction of the curve level
  double blend;       // the clipper's weight
  double dry;         // 1 - blend
};

// The follower's running state, carried from one sample to the next.
struct FollowerState {
  double envelope;
  double gain;
};

namespace shapekernel {

// Shapes count samples of both channels; `first` is the position of the
// first one. Reads and updates the follower state.
void RunSse2(const ShapeRunSetup& run, double first, double* left, double* right, int64_t count, FollowerState& state);
void RunSse2(const ShapeRunSetup& run, double first, float* left, float* right, int64_t count, FollowerState& state);
#if defined(__x86_64__)
void RunAvx(const ShapeRunSetup& run, double first, double* left, double* right, int64_t count, FollowerState& state);
void RunAvx(const ShapeRunSetup& run, double first, float* left, float* right, int64_t count, FollowerState& state);
#endif

// Whether RunAvx may be called here: an x86_64 build on a processor with AVX
// whose system saves the AVX registers. Any thread.
bool AvxUsable();

// The envelope after a non-finite value or a fall below the floor.
// Internal linkage on purpose: the AVX build of the loop gets its own copy.
static inline double MendEnvelope(double envelope, double lvl) {
  if (envelope < ShapeStore::kEnvelopeFloor) return ShapeStore::kEnvelopeFloor;
  return lvl >= ShapeStore::kEnvelopeFloor && lvl <= DBL_MAX ? lvl : ShapeStore::kEnvelopeFloor;
}

// The knee's output for magnitude v where the level is 0 or the knee has no
// extent; rare, so kept out of line in the code built for every processor.
double DegenerateKnee(double c, double lvl, double v);

}  // namespace shapekernel
