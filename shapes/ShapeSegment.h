// ShapeSegment: one gain-shape segment, a quadratic Bezier curve of target
// level over sample positions, and its 128-byte saved record.
//
// The record is the saved form of a segment and is read and written field by
// field, little-endian, so that it never depends on how a compiler lays out the
// structs (i386 aligns doubles to 4, the record aligns them to 8).
#pragma once

#include <cstddef>
#include <cstdint>

// One point of a segment: a sample position with a linear level, plus the
// screen coordinates and flags that the display caches each time it draws.
struct ShapePoint {
  int32_t pos = 0;      // sample position on the host's timeline
  double level = 0.0;   // linear amplitude, 1.0 is full scale; never negative
  int32_t x = 0;        // cached screen x
  int32_t yNeg = 0;     // cached screen y of the mirrored image (-level)
  int32_t yPos = 0;     // cached screen y of the image at +level
  uint8_t hit = 0;      // under the pointer; hit points move together in a drag
  uint8_t negShown = 1; // the mirrored image lies inside the view
  uint8_t posShown = 1; // the image at +level lies inside the view
};

// A segment covers the samples n with start.pos <= n < end.pos. Its level at a
// sample comes from solving position(t) = n on the curve (ShapeStore::CurveLevel).
struct ShapeSegment {
  uint8_t visible = 1;   // some point lies in the view; hover tests skip hidden ones
  uint8_t selected = 1;  // the edit panel acts on the first selected segment
  uint8_t bypass = 0;    // the engine treats the range as if there were no segment
  uint8_t mute = 0;      // the engine writes silence over the range
  double follow = 0.5;   // 0..1: speed of the level follower, 0 slow, 1 fast
  double clip = 1.0;     // 0..1: knee of the level clipper, 0 hard, 1 soft
  double blend = 0.5;    // 0..1: weight of the clipper against the follower
  ShapePoint start;
  ShapePoint control;
  ShapePoint end;
};

// Byte sizes of the saved forms.
constexpr size_t kPointRecordBytes = 32;
constexpr size_t kSegmentRecordBytes = 128;

// Writes the 128-byte record of a segment; padding bytes are written as 0.
void WriteSegmentRecord(const ShapeSegment& segment, uint8_t* record);
// Reads a 128-byte record into a segment, every field as stored (no checks;
// the store sanitises what it restores).
void ReadSegmentRecord(const uint8_t* record, ShapeSegment& segment);
