// The stand-in PNG loader on Windows: the images are resources of type "PNG" of
// the module, and the bitmap is an object as REAPER's MSVC build lays it out.
// mingw's g++ follows the Itanium ABI even here, so that object is built by
// hand: a table whose slot 0 is the scalar deleting destructor (flags 1: free
// the memory), then the operations, all thiscall on x86.
#include <windows.h>

#include <cstdint>
#include <new>
#include <vector>

#include "HostPngLoader.h"

bool ReadPngResource(void* instance, int id, std::vector<uint8_t>& bytes) {
  auto module = static_cast<HMODULE>(instance);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), "PNG");
  if (!found) return false;
  HGLOBAL loaded = LoadResource(module, found);
  const auto* data = static_cast<const uint8_t*>(loaded ? LockResource(loaded) : nullptr);
  const DWORD size = SizeofResource(module, found);
  if (!data || size == 0) return false;
  bytes.assign(data, data + size);
  return true;
}

namespace {

#if defined(__i386__)
#define KV_MSVC_METHOD __attribute__((thiscall))
#else
#define KV_MSVC_METHOD
#endif

struct MsvcBitmap {
  const void* const* table;
  std::vector<uint32_t> pixels;
  int width;
  int height;
};

void* KV_MSVC_METHOD Destroy(MsvcBitmap* self, unsigned flags) {
  self->~MsvcBitmap();
  if (flags & 1u) ::operator delete(self);
  return self;
}
uint32_t* KV_MSVC_METHOD PixelData(MsvcBitmap* self) { return self->pixels.empty() ? nullptr : self->pixels.data(); }
int KV_MSVC_METHOD Width(MsvcBitmap* self) { return self->width; }
int KV_MSVC_METHOD Height(MsvcBitmap* self) { return self->height; }
int KV_MSVC_METHOD RowStride(MsvcBitmap* self) { return self->width; }
bool KV_MSVC_METHOD IsBottomUp(MsvcBitmap*) { return false; }
bool KV_MSVC_METHOD SetSize(MsvcBitmap*, int, int) { return false; }

const void* const kMsvcTable[] = {
    reinterpret_cast<const void*>(&Destroy),    reinterpret_cast<const void*>(&PixelData),
    reinterpret_cast<const void*>(&Width),      reinterpret_cast<const void*>(&Height),
    reinterpret_cast<const void*>(&RowStride),  reinterpret_cast<const void*>(&IsBottomUp),
    reinterpret_cast<const void*>(&SetSize)};

}  // namespace

void* MakeHostBitmap(std::vector<uint32_t>&& pixels, int width, int height) {
  void* memory = ::operator new(sizeof(MsvcBitmap));
  return new (memory) MsvcBitmap{kMsvcTable, std::move(pixels), width, height};
}
