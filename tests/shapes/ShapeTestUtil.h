// Helpers shared by the gain-shape tests.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "shapes/ShapeSegment.h"
#include "shapes/ShapeStore.h"

namespace shapetest {

// A segment from start to end whose control point lies midway; levels per point.
inline ShapeSegment* MakeSegment(int32_t start, int32_t end, double startLevel, double controlLevel,
                                 double endLevel) {
  auto* segment = new ShapeSegment;
  segment->start.pos = start;
  segment->control.pos = start + (end - start) / 2;
  segment->end.pos = end;
  segment->start.level = startLevel;
  segment->control.level = controlLevel;
  segment->end.level = endLevel;
  return segment;
}

// A flat segment at one level with the given settings.
inline ShapeSegment* MakeFlat(int32_t start, int32_t end, double level, double follow = 0.5, double clip = 1.0,
                              double blend = 0.5) {
  ShapeSegment* segment = MakeSegment(start, end, level, level, level);
  segment->follow = follow;
  segment->clip = clip;
  segment->blend = blend;
  return segment;
}

inline void Append(ShapeStore& store, ShapeSegment* segment) { store.InsertSegment(store.Count(), segment); }

// Deterministic noise of the given peak amplitude.
inline std::vector<double> Noise(size_t frames, uint32_t seed, double amplitude) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> value(-amplitude, amplitude);
  std::vector<double> samples(frames);
  for (double& sample : samples) sample = value(random);
  return samples;
}

// The 128-byte record of a segment.
inline std::vector<uint8_t> Record(const ShapeSegment& segment) {
  std::vector<uint8_t> bytes(kSegmentRecordBytes);
  WriteSegmentRecord(segment, bytes.data());
  return bytes;
}

}  // namespace shapetest
