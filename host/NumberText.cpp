#include "NumberText.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace {

std::string FormatGeneral(double value, int digits) {
  char text[64];
  auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, digits);
  return std::string(text, result.ptr);
}

}  // namespace

std::string FormatDouble(double value) {
  if (std::isnan(value)) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    char text[32];
    auto result = std::to_chars(text, text + sizeof text, bits, 16);
    std::string hex(text, result.ptr);
    return "nan:" + std::string(16 - hex.size(), '0') + hex;
  }
  return FormatGeneral(value, 17);
}

std::string FormatFloat(float value) { return FormatGeneral(static_cast<double>(value), 8); }

std::optional<double> ParseDouble(std::string_view text) {
  if (text.starts_with("nan:")) {
    std::string_view hex = text.substr(4);
    uint64_t bits = 0;
    auto result = std::from_chars(hex.data(), hex.data() + hex.size(), bits, 16);
    if (hex.empty() || result.ec != std::errc() || result.ptr != hex.data() + hex.size()) return std::nullopt;
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  // from_chars takes no leading '+'; accept it as people write it.
  if (text.starts_with('+')) text.remove_prefix(1);
  double value = 0.0;
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<int64_t> ParseInt(std::string_view text) {
  if (text.starts_with('+')) text.remove_prefix(1);
  int64_t value = 0;
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}
