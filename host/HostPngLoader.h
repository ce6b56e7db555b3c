// The REAPER stand-in's "LICE_LoadPNGFromResource": finds PNG resource `name`
// (an integer resource name) in the module given by `instance`, decodes it and
// returns a new bitmap object laid out as the real host's compiler would make
// it: an MSVC object on Windows, a g++ (Itanium ABI) object elsewhere. Its
// virtual operations are, after the destructor: PixelData, Width, Height,
// RowStride, IsBottomUp, SetSize. Null when there is no such image.
#pragma once

#include <cstdint>
#include <vector>

void* LoadPngFromResource(void* instance, const char* name, void* reuse);
// How many bitmaps LoadPngFromResource has handed out in this process.
int HandedOutPngCount();

// Platform parts.
// The bytes of PNG resource `id` of the module that `instance` identifies.
bool ReadPngResource(void* instance, int id, std::vector<uint8_t>& bytes);
// A new bitmap object of the host's ABI holding `pixels` (top-down 0xAARRGGBB rows).
void* MakeHostBitmap(std::vector<uint32_t>&& pixels, int width, int height);
