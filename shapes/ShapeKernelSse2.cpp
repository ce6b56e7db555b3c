// The shaped-run loop with 2-lane SSE2 vectors: every x86 build has it.
#include "shapes/ShapeKernelLanes.h"

namespace shapekernel {

void RunSse2(const ShapeRunSetup& run, double first, double* left, double* right, int64_t count, FollowerState& state) {
  RunLanes<Sse2Lanes>(run, first, left, right, count, state);
}

void RunSse2(const ShapeRunSetup& run, double first, float* left, float* right, int64_t count, FollowerState& state) {
  RunLanes<Sse2Lanes>(run, first, left, right, count, state);
}

}  // namespace shapekernel
