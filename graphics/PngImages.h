// The editor's PNG images: the bytes embedded in the module, their decoding,
// and the host's own loader ("LICE_LoadPNGFromResource") when it offers one.
#pragma once

#include <cstddef>
#include <cstdint>

class Bitmap;
class HostConnection;

// Resource ids of the embedded images.
constexpr int kBackgroundImageId = 100;
constexpr int kButtonImageId = 101;

// The embedded PNG bytes of resource `id`, or null (size 0) when there is none.
const uint8_t* EmbeddedPng(int id, size_t* size);

// Decodes PNG bytes into a new top-down bitmap of 0xAARRGGBB pixels (straight
// alpha), or null when the bytes are not a PNG.
Bitmap* DecodePng(const uint8_t* data, size_t size);

// Windows: asks the host's loader for resource `id` of this module and copies
// the result into a bitmap of our own (the host's object is released); null
// when the host has no loader or it returns nothing. Elsewhere always null.
Bitmap* LoadPngFromHost(const HostConnection& host, int id);

// Copies a bitmap object made by the host's loader (in the host ABI's layout)
// into a bitmap of our own and deletes the host's object; null for null or an
// unusable object.
Bitmap* AdoptHostBitmap(void* object);
