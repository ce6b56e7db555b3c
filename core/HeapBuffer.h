// HeapBuffer: a growable block of bytes with a growth granularity. Allocation
// failures never throw: the buffer keeps its block and the resize reports false.
#pragma once

#include <cstddef>
#include <cstdint>

class HeapBuffer {
 public:
  explicit HeapBuffer(size_t granularity = 4096) : granularity_(granularity ? granularity : 1) {}
  ~HeapBuffer();
  HeapBuffer(const HeapBuffer&) = delete;
  HeapBuffer& operator=(const HeapBuffer&) = delete;

  // Sets the size in bytes. Growing past the capacity reallocates to size +
  // granularity (at least the minimum capacity). With allowShrink, a size more
  // than four granularities below the capacity reallocates to exactly the size,
  // and size 0 without a minimum frees the block. Returns false when an
  // allocation fails; the buffer is then unchanged.
  bool Resize(size_t newSize, bool allowShrink = false);
  // Appends n bytes (copied from bytes unless it is null); returns where they
  // were written, or null when the buffer could not grow.
  void* Append(const void* bytes, size_t n);
  // Empties the buffer and frees its block.
  void Release();
  void SetMinimumCapacity(size_t bytes) { minimum_ = bytes; }

  uint8_t* Data() { return data_; }
  const uint8_t* Data() const { return data_; }
  size_t Size() const { return size_; }
  size_t Capacity() const { return capacity_; }
  size_t Granularity() const { return granularity_; }

 private:
  bool Reallocate(size_t newCapacity);

  size_t granularity_;
  uint8_t* data_ = nullptr;
  size_t capacity_ = 0;
  size_t size_ = 0;
  size_t minimum_ = 0;
};
