#include "shapes/ShapeSegment.h"

#include <cstring>

#include "core/ByteOrder.h"

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

void WritePoint(const ShapePoint& point, uint8_t* out) {
  StoreLE32(out + kPointPos, point.pos);
  StoreLEDouble(out + kPointLevel, point.level);
  StoreLE32(out + kPointX, point.x);
  StoreLE32(out + kPointYNeg, point.yNeg);
  StoreLE32(out + kPointYPos, point.yPos);
  out[kPointHit] = point.hit;
  out[kPointNegShown] = point.negShown;
  out[kPointPosShown] = point.posShown;
}

void ReadPoint(const uint8_t* in, ShapePoint& point) {
  point.pos = LoadLE32(in + kPointPos);
  point.level = LoadLEDouble(in + kPointLevel);
  point.x = LoadLE32(in + kPointX);
  point.yNeg = LoadLE32(in + kPointYNeg);
  point.yPos = LoadLE32(in + kPointYPos);
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
  StoreLEDouble(record + kFollow, segment.follow);
  StoreLEDouble(record + kClip, segment.clip);
  StoreLEDouble(record + kBlend, segment.blend);
  WritePoint(segment.start, record + kStart);
  WritePoint(segment.control, record + kControl);
  WritePoint(segment.end, record + kEnd);
}

void ReadSegmentRecord(const uint8_t* record, ShapeSegment& segment) {
  segment.visible = record[kVisible];
  segment.selected = record[kSelected];
  segment.bypass = record[kBypass];
  segment.mute = record[kMute];
  segment.follow = LoadLEDouble(record + kFollow);
  segment.clip = LoadLEDouble(record + kClip);
  segment.blend = LoadLEDouble(record + kBlend);
  ReadPoint(record + kStart, segment.start);
  ReadPoint(record + kControl, segment.control);
  ReadPoint(record + kEnd, segment.end);
}
