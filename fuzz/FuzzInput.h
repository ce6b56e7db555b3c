// FuzzInput: reads typed values off the front of a fuzzer's input; once the
// bytes run out every read gives zero, so any input is a complete case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Empty() const { return at_ >= size_; }
  size_t Remaining() const { return size_ - at_; }
  const uint8_t* Here() const { return data_ + at_; }
  void Skip(size_t n) { at_ += n < Remaining() ? n : Remaining(); }

  uint8_t U8() { return at_ < size_ ? data_[at_++] : 0; }
  uint16_t U16() { return static_cast<uint16_t>(U8() | U8() << 8); }
  uint32_t U32() { return static_cast<uint32_t>(U16()) | static_cast<uint32_t>(U16()) << 16; }
  uint64_t U64() { return static_cast<uint64_t>(U32()) | static_cast<uint64_t>(U32()) << 32; }
  // Mostly small numbers, sometimes any 32 bits: indices and counts.
  int32_t SmallInt() {
    uint8_t kind = U8();
    if (kind < 200) return static_cast<int32_t>(kind % 40) - 4;
    return static_cast<int32_t>(U32());
  }
  float Float() {
    uint32_t bits = U32();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  double Double() {
    uint64_t bits = U64();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};
