// The shaped-run loop with 4-lane AVX vectors, built with -mavx for x86_64
// only and called only where shapekernel::AvxUsable() says so.
#include "shapes/ShapeKernelLanes.h"

#if !defined(__AVX__)
#error "this file is built with -mavx"
#endif

namespace shapekernel {

void RunAvx(const ShapeRunSetup& run, double first, double* left, double* right, int64_t count, FollowerState& state) {
  RunLanes<AvxLanes>(run, first, left, right, count, state);
}

void RunAvx(const ShapeRunSetup& run, double first, float* left, float* right, int64_t count, FollowerState& state) {
  RunLanes<AvxLanes>(run, first, left, right, count, state);
}

}  // namespace shapekernel
