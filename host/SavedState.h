// SavedState: Kelvane's saved-state chunk as plain data, read and written field
// by field in little-endian order (never by copying structs, whose padding and
// alignment differ between compilers).
//
//   int32 tag (1001), double bright, double colormap, int32 count,
//   count x 128-byte `ShapeSegment` records.
//
// Every byte of a chunk survives a Parse/Serialise round trip: a field the
// chunk is too short for stays absent, padding bytes are kept, and bytes after
// the last complete record (a short or extra tail) are kept as `trailing`.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

constexpr int32_t kStateTag = 1001;
constexpr size_t kSegmentRecordSize = 128;

struct ShapePointRecord {
  int32_t pos = 0;
  double level = 0.0;
  int32_t x = 0;
  int32_t yNeg = 0;
  int32_t yPos = 0;
  uint8_t hit = 0;
  uint8_t negShown = 1;
  uint8_t posShown = 1;
  std::array<uint8_t, 4> padAfterPos{};  // offsets 4..7
  uint8_t padEnd = 0;                     // offset 31
};

struct ShapeSegmentRecord {
  uint8_t visible = 1;
  uint8_t selected = 1;
  uint8_t bypass = 0;
  uint8_t mute = 0;
  std::array<uint8_t, 4> padAfterFlags{};  // offsets 4..7
  double follow = 0.5;
  double clip = 1.0;
  double blend = 0.5;
  ShapePointRecord start;
  ShapePointRecord control;
  ShapePointRecord end;
};

struct SavedState {
  std::optional<int32_t> tag;
  std::optional<double> bright;
  std::optional<double> colormap;
  std::optional<int32_t> count;
  std::vector<ShapeSegmentRecord> segments;
  std::vector<uint8_t> trailing;
};

SavedState ParseSavedState(const std::vector<uint8_t>& bytes);
// Throws HostError when a field is present after an absent one.
std::vector<uint8_t> SerialiseSavedState(const SavedState& state);

// The padding bytes of a record in file order (19 bytes), for dumping.
std::vector<uint8_t> RecordPadding(const ShapeSegmentRecord& record);
bool SetRecordPadding(ShapeSegmentRecord& record, const std::vector<uint8_t>& bytes);
