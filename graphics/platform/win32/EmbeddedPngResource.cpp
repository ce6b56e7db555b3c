// EmbeddedPng on Windows: the images are resources of type "PNG" in the module
// (compiled from resources/Kelvane.rc.in), found through the module's instance
// handle; without one, in the program that was linked with them.
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "core/Module.h"
#include "graphics/PngImages.h"

const uint8_t* EmbeddedPng(int id, size_t* size) {
  if (size) *size = 0;
  if (id != kBackgroundImageId && id != kButtonImageId) return nullptr;
  auto module = static_cast<HMODULE>(ModuleHandle);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), "PNG");
  if (!found) return nullptr;
  HGLOBAL loaded = LoadResource(module, found);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  const DWORD length = SizeofResource(module, found);
  if (!bytes || length == 0) return nullptr;
  if (size) *size = length;
  return static_cast<const uint8_t*>(bytes);
}
