#include "core/HeapBuffer.h"

#include <cstdlib>
#include <cstring>

HeapBuffer::~HeapBuffer() { std::free(data_); }

bool HeapBuffer::Reallocate(size_t newCapacity) {
  if (newCapacity == 0) {
    std::free(data_);
    data_ = nullptr;
    capacity_ = 0;
    return true;
  }
  void* block = std::realloc(data_, newCapacity);
  if (!block) return false;
  data_ = static_cast<uint8_t*>(block);
  capacity_ = newCapacity;
  return true;
}

bool HeapBuffer::Resize(size_t newSize, bool allowShrink) {
  if (newSize > capacity_) {
    if (newSize > SIZE_MAX - granularity_) return false;
    size_t want = newSize + granularity_;
    if (want < minimum_) want = minimum_;
    if (!Reallocate(want)) return false;
  } else if (allowShrink) {
    if (newSize == 0 && minimum_ == 0) {
      Reallocate(0);
    } else if (capacity_ - newSize > 4 * granularity_) {
      size_t want = newSize < minimum_ ? minimum_ : newSize;
      // A failed shrink keeps the larger block, which still holds the data.
      if (want < capacity_) Reallocate(want);
    }
  }
  size_ = newSize;
  return true;
}

void* HeapBuffer::Append(const void* bytes, size_t n) {
  size_t old = size_;
  if (n > SIZE_MAX - old) return nullptr;
  if (!Resize(old + n)) return nullptr;
  if (n == 0) return data_ ? data_ + old : nullptr;
  if (bytes) std::memcpy(data_ + old, bytes, n);
  return data_ + old;
}

void HeapBuffer::Release() {
  std::free(data_);
  data_ = nullptr;
  capacity_ = 0;
  size_ = 0;
}
