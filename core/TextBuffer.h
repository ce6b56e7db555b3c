// TextBuffer: a zero-terminated string in a HeapBuffer. Without a block it reads
// as the empty string.
#pragma once

#include <cstring>

#include "core/HeapBuffer.h"

class TextBuffer {
 public:
  explicit TextBuffer(size_t granularity = 4096) : buffer_(granularity) {}

  // Copies up to length bytes of text (0 = all of it) and terminates; false when
  // the buffer could not grow (the old text stays).
  bool Set(const char* text, size_t length = 0) {
    if (!text) text = "";
    size_t n = std::strlen(text);
    if (length != 0 && length < n) n = length;
    if (!buffer_.Resize(n + 1)) return false;
    std::memmove(buffer_.Data(), text, n);
    buffer_.Data()[n] = 0;
    return true;
  }
  bool AppendText(const char* text) {
    size_t old = Length();
    size_t n = text ? std::strlen(text) : 0;
    if (!buffer_.Resize(old + n + 1)) return false;
    if (n) std::memcpy(buffer_.Data() + old, text, n);
    buffer_.Data()[old + n] = 0;
    return true;
  }
  const char* Get() const { return buffer_.Data() ? reinterpret_cast<const char*>(buffer_.Data()) : ""; }
  size_t Length() const { return std::strlen(Get()); }
  void Release() { buffer_.Release(); }

 private:
  HeapBuffer buffer_;
};
