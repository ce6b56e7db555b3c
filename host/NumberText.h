// NumberText: locale-free number formatting and parsing, so that the Linux and
// the Windows host print the same text for the same values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Like printf's %.17g (every double reads back to the same bits); a NaN keeps
// its payload as "nan:" followed by the 16 hex digits of its bits.
std::string FormatDouble(double value);
// Like printf's %.8g, enough digits to tell two floats apart.
std::string FormatFloat(float value);

// Whole-string parses; nullopt on any junk, overflow or empty text.
std::optional<double> ParseDouble(std::string_view text);
std::optional<int64_t> ParseInt(std::string_view text);
