// Conversions of the waveform display: every double that becomes an integer
// truncates toward zero, as the display's arithmetic wants, but saturates
// instead of overflowing, and a value that is not a number becomes 0.
#pragma once

#include <climits>
#include <cstdint>

inline int TruncToInt(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return INT_MAX;
  if (v <= -2147483648.0) return INT_MIN;
  return static_cast<int>(v);
}

inline int64_t TruncToInt64(double v) {
  if (!(v == v)) return 0;
  if (v >= 9.2e18) return INT64_MAX;
  if (v <= -9.2e18) return INT64_MIN;
  return static_cast<int64_t>(v);
}

// A gain in 1/512 units held as a signed 16-bit value.
inline int16_t SaturateShort(int64_t v) {
  if (v > 32767) return 32767;
  if (v < -32768) return -32768;
  return static_cast<int16_t>(v);
}
