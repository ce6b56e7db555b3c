#include "graphics/platform/freetype/TextLines.h"

#include <cstring>

namespace {

// Length of the well-formed UTF-8 sequence at text (0 when it is not one) and its code point.
int DecodeUtf8(const unsigned char* text, uint32_t& codePoint) {
  const unsigned char lead = text[0];
  int length = 0;
  uint32_t value = 0;
  uint32_t smallest = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1Fu, smallest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0Fu, smallest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07u, smallest = 0x10000;
  } else {
    return 0;
  }
  for (int i = 1; i < length; ++i) {
    if ((text[i] & 0xC0) != 0x80) return 0;  // also stops at the terminator
    value = (value << 6) | (text[i] & 0x3Fu);
  }
  if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  codePoint = value;
  return length;
}

}  // namespace

std::vector<std::vector<uint32_t>> SplitTextLines(const char* text) {
  std::vector<std::vector<uint32_t>> lines;
  if (!text || !*text) return lines;
  const auto* at = reinterpret_cast<const unsigned char*>(text);
  lines.emplace_back();
  while (*at) {
    if (*at == '\r' || *at == '\n') {
      at += (at[0] == '\r' && at[1] == '\n') ? 2 : 1;
      if (*at) lines.emplace_back();
      continue;
    }
    uint32_t codePoint = *at;
    const int length = *at < 0x80 ? 1 : DecodeUtf8(at, codePoint);
    lines.back().push_back(codePoint);
    at += length > 0 ? length : 1;
  }
  return lines;
}
