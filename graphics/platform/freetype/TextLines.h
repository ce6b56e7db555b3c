// Splitting the editor's texts into lines of code points for the FreeType renderer.
#pragma once

#include <cstdint>
#include <vector>

// Lines end at "\r\n", "\n" or a lone "\r", as DrawText breaks them; a break at
// the very end starts no further line, and an empty text has no lines. Bytes
// that are not well-formed UTF-8 are taken as Latin-1 characters, so any byte
// string can be shown.
std::vector<std::vector<uint32_t>> SplitTextLines(const char* text);
