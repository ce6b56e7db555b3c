#include "shapes/ShapeSegment.h"

#include <bit>
#include <cstring>

namespace {

// Byte offsets inside a point record and a segment record.
constexpr size_t kPointPos = 0;
constexpr size_t kPointLevel = 8;
constexpr size_t kPointX = 16;
constexpr size_t kPointYNeg = 20;
constexpr size_t kPointYPos = 24;
constexpr size_t kPointHit = 28;
constexpr size_t kPointNegShown = 29;
constexpr size_t kPointPosShown = 30;

constexpr size_t kVisible = 0;
constexpr size_t kSelected = 1;
constexpr size_t kBypass = 2;
constexpr size_t kMute = 3;
constexpr size_t kFollow = 8;
constexpr size_t kClip = 16;
constexpr size_t kBlend = 24;
constexpr size_t kStart = 32;
constexpr size_t kControl = 64;
constexpr size_t kEnd = 96;
static_assert(kEnd + kPointRecordBytes == kSegmentRecordBytes);
static_assert(kControl - kStart == kPointRecordBytes && kEnd - kControl == kPointRecordBytes);

void PutU32(uint8_t* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}
void PutU64(uint8_t* out, uint64_t value) {
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}
uint32_t GetU32(const uint8_t* in) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(in[i]) << (8 * i);
  return value;
}
uint64_t GetU64(const uint8_t* in) {
  uint64_t value = 0;
  for (int i = 0; i < 8; ++i) value |= static_cast<uint64_t>(in[i]) << (8 * i);
  return value;
}

void PutI32(uint8_t* out, int32_t value) { PutU32(out, static_cast<uint32_t>(value)); }
void PutF64(uint8_t* out, double value) { PutU64(out, std::bit_cast<uint64_t>(value)); }
int32_t GetI32(const uint8_t* in) { return static_cast<int32_t>(GetU32(in)); }
double GetF64(const uint8_t* in) { return std::bit_cast<double>(GetU64(in)); }

void WritePoint(const ShapePoint& point, uint8_t* out) {
  PutI32(out + kPointPos, point.pos);
  PutF64(out + kPointLevel, point.level);
  PutI32(out + kPointX, point.x);
  PutI32(out + kPointYNeg, point.yNeg);
  PutI32(out + kPointYPos, point.yPos);
  out[kPointHit] = point.hit;
  out[kPointNegShown] = point.negShown;
  out[kPointPosShown] = point.posShown;
}

void ReadPoint(const uint8_t* in, ShapePoint& point) {
  point.pos = GetI32(in + kPointPos);
  point.level = GetF64(in + kPointLevel);
  point.x = GetI32(in + kPointX);
  point.yNeg = GetI32(in + kPointYNeg);
  point.yPos = GetI32(in + kPointYPos);
  point.hit = in[kPointHit];
  point.negShown = in[kPointNegShown];
  point.posShown = in[kPointPosShown];
}

}  // namespace

void WriteSegmentRecord(const ShapeSegment& segment, uint8_t* record) {
  std::memset(record, 0, kSegmentRecordBytes);
  record[kVisible] = segment.visible;
  record[kSelected] = segment.selected;
  record[kBypass] = segment.bypass;
  record[kMute] = segment.mute;
  PutF64(record + kFollow, segment.follow);
  PutF64(record + kClip, segment.clip);
  PutF64(record + kBlend, segment.blend);
  WritePoint(segment.start, record + kStart);
  WritePoint(segment.control, record + kControl);
  WritePoint(segment.end, record + kEnd);
}

void ReadSegmentRecord(const uint8_t* record, ShapeSegment& segment) {
  segment.visible = record[kVisible];
  segment.selected = record[kSelected];
  segment.bypass = record[kBypass];
  segment.mute = record[kMute];
  segment.follow = GetF64(record + kFollow);
  segment.clip = GetF64(record + kClip);
  segment.blend = GetF64(record + kBlend);
  ReadPoint(record + kStart, segment.start);
  ReadPoint(record + kControl, segment.control);
  ReadPoint(record + kEnd, segment.end);
}
