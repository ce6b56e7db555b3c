// PtrList: a list of object pointers kept in a HeapBuffer (count = bytes /
// pointer size). The list does not own its objects; its owner deletes them.
#pragma once

#include <cstring>

#include "core/HeapBuffer.h"

template <class T>
class PtrList {
 public:
  explicit PtrList(size_t granularity = 4096) : buffer_(granularity) {}

  int Count() const { return static_cast<int>(buffer_.Size() / sizeof(T*)); }
  // The pointer at index, or null outside the list.
  T* At(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    T* item;
    std::memcpy(&item, buffer_.Data() + static_cast<size_t>(index) * sizeof(T*), sizeof(T*));
    return item;
  }
  T** Items() { return reinterpret_cast<T**>(buffer_.Data()); }
  T* const* Items() const { return reinterpret_cast<T* const*>(buffer_.Data()); }

  bool Append(T* item) { return buffer_.Append(&item, sizeof(T*)) != nullptr; }
  // Inserts at index clamped to 0 .. Count(); returns false when the list could not grow.
  bool Insert(int index, T* item) {
    int count = Count();
    if (index < 0) index = 0;
    if (index > count) index = count;
    if (!buffer_.Resize(buffer_.Size() + sizeof(T*))) return false;
    T** items = Items();
    std::memmove(items + index + 1, items + index, static_cast<size_t>(count - index) * sizeof(T*));
    items[index] = item;
    return true;
  }
  // Removes the pointer at index (the object is not deleted).
  void RemoveAt(int index) {
    int count = Count();
    if (index < 0 || index >= count) return;
    T** items = Items();
    std::memmove(items + index, items + index + 1, static_cast<size_t>(count - index - 1) * sizeof(T*));
    buffer_.Resize(buffer_.Size() - sizeof(T*));
  }
  void Truncate(int count) {
    if (count >= 0 && count < Count()) buffer_.Resize(static_cast<size_t>(count) * sizeof(T*));
  }
  void Clear() { buffer_.Resize(0, true); }
  HeapBuffer& Buffer() { return buffer_; }

 private:
  HeapBuffer buffer_;
};
