#include "SavedState.h"

#include <cstring>

#include "HostError.h"

namespace {

class Reader {
 public:
  explicit Reader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  size_t Remaining() const { return bytes_.size() - at_; }
  size_t At() const { return at_; }
  uint8_t U8() { return bytes_[at_++]; }
  int32_t I32() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(bytes_[at_ + static_cast<size_t>(i)]) << (8 * i);
    at_ += 4;
    return static_cast<int32_t>(value);
  }
  double F64() {
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value |= static_cast<uint64_t>(bytes_[at_ + static_cast<size_t>(i)]) << (8 * i);
    at_ += 8;
    double result;
    std::memcpy(&result, &value, sizeof result);
    return result;
  }
  template <size_t N>
  void Bytes(std::array<uint8_t, N>& out) {
    for (uint8_t& b : out) b = U8();
  }

 private:
  const std::vector<uint8_t>& bytes_;
  size_t at_ = 0;
};

class Writer {
 public:
  void U8(uint8_t value) { bytes.push_back(value); }
  void I32(int32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i)));
  }
  void F64(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<uint8_t>(bits >> (8 * i)));
  }
  template <size_t N>
  void Bytes(const std::array<uint8_t, N>& in) {
    bytes.insert(bytes.end(), in.begin(), in.end());
  }
  std::vector<uint8_t> bytes;
};

ShapePointRecord ReadPoint(Reader& r) {
  ShapePointRecord p;
  p.pos = r.I32();
  r.Bytes(p.padAfterPos);
  p.level = r.F64();
  p.x = r.I32();
  p.yNeg = r.I32();
  p.yPos = r.I32();
  p.hit = r.U8();
  p.negShown = r.U8();
  p.posShown = r.U8();
  p.padEnd = r.U8();
  return p;
}

void WritePoint(Writer& w, const ShapePointRecord& p) {
  w.I32(p.pos);
  w.Bytes(p.padAfterPos);
  w.F64(p.level);
  w.I32(p.x);
  w.I32(p.yNeg);
  w.I32(p.yPos);
  w.U8(p.hit);
  w.U8(p.negShown);
  w.U8(p.posShown);
  w.U8(p.padEnd);
}

}  // namespace

SavedState ParseSavedState(const std::vector<uint8_t>& bytes) {
  SavedState state;
  Reader r(bytes);
  if (r.Remaining() >= 4) state.tag = r.I32();
  if (state.tag && r.Remaining() >= 8) state.bright = r.F64();
  if (state.bright && r.Remaining() >= 8) state.colormap = r.F64();
  if (state.colormap && r.Remaining() >= 4) state.count = r.I32();
  if (state.count) {
    for (int32_t k = 0; k < *state.count && r.Remaining() >= kSegmentRecordSize; ++k) {
      ShapeSegmentRecord s;
      s.visible = r.U8();
      s.selected = r.U8();
      s.bypass = r.U8();
      s.mute = r.U8();
      r.Bytes(s.padAfterFlags);
      s.follow = r.F64();
      s.clip = r.F64();
      s.blend = r.F64();
      s.start = ReadPoint(r);
      s.control = ReadPoint(r);
      s.end = ReadPoint(r);
      state.segments.push_back(s);
    }
  }
  state.trailing.assign(bytes.begin() + static_cast<std::ptrdiff_t>(r.At()), bytes.end());
  return state;
}

std::vector<uint8_t> SerialiseSavedState(const SavedState& state) {
  if ((!state.tag && state.bright) || (!state.bright && state.colormap) || (!state.colormap && state.count) ||
      (!state.count && !state.segments.empty()))
    throw HostError("a saved state cannot have a field after a missing one");
  Writer w;
  if (state.tag) w.I32(*state.tag);
  if (state.bright) w.F64(*state.bright);
  if (state.colormap) w.F64(*state.colormap);
  if (state.count) w.I32(*state.count);
  for (const ShapeSegmentRecord& s : state.segments) {
    w.U8(s.visible);
    w.U8(s.selected);
    w.U8(s.bypass);
    w.U8(s.mute);
    w.Bytes(s.padAfterFlags);
    w.F64(s.follow);
    w.F64(s.clip);
    w.F64(s.blend);
    WritePoint(w, s.start);
    WritePoint(w, s.control);
    WritePoint(w, s.end);
  }
  w.bytes.insert(w.bytes.end(), state.trailing.begin(), state.trailing.end());
  return w.bytes;
}

std::vector<uint8_t> RecordPadding(const ShapeSegmentRecord& record) {
  std::vector<uint8_t> bytes(record.padAfterFlags.begin(), record.padAfterFlags.end());
  for (const ShapePointRecord* p : {&record.start, &record.control, &record.end}) {
    bytes.insert(bytes.end(), p->padAfterPos.begin(), p->padAfterPos.end());
    bytes.push_back(p->padEnd);
  }
  return bytes;
}

bool SetRecordPadding(ShapeSegmentRecord& record, const std::vector<uint8_t>& bytes) {
  if (bytes.size() != 19) return false;
  size_t at = 0;
  for (uint8_t& b : record.padAfterFlags) b = bytes[at++];
  for (ShapePointRecord* p : {&record.start, &record.control, &record.end}) {
    for (uint8_t& b : p->padAfterPos) b = bytes[at++];
    p->padEnd = bytes[at++];
  }
  return true;
}
