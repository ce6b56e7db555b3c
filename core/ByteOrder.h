// Little-endian reads and writes of saved-state fields, independent of the
// compiler's struct layout and of the machine's byte order.
#pragma once

#include <cstdint>
#include <cstring>

inline void StoreLE32(uint8_t* out, int32_t value) {
  uint32_t v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline int32_t LoadLE32(const uint8_t* in) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(in[i]) << (8 * i);
  return static_cast<int32_t>(v);
}

inline void StoreLEDouble(uint8_t* out, double value) {
  uint64_t v;
  std::memcpy(&v, &value, sizeof v);
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline double LoadLEDouble(const uint8_t* in) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(in[i]) << (8 * i);
  double value;
  std::memcpy(&value, &v, sizeof value);
  return value;
}
