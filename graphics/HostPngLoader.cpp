// LoadPngFromHost: the host's "LICE_LoadPNGFromResource" and an adapter for the
// bitmap object it returns.
//
// Only Windows asks the host: there the module handle is the DLL's instance,
// which the host's loader reads resources from. On Linux the module has no
// handle a host's loader could understand, and the embedded decoder serves.
//
// That object was made by the host's compiler, so its virtual table follows
// the host's C++ ABI, not necessarily ours: MSVC's on Windows (one scalar
// deleting destructor taking a flags word, thiscall on x86), the Itanium ABI
// elsewhere (complete and deleting destructors). After the destructor slots
// the operations come in the order of our Bitmap interface. The slots are
// called by hand with function types of that ABI; the pixels are copied into a
// bitmap of ours and the host's object is deleted at once, through its own
// deleting destructor, so nothing of the host's outlives this call.
#include <cstdint>
#include <cstring>
#include <new>

#include "core/HostConnection.h"
#include "core/Module.h"
#include "raster/HeapBitmap.h"
#include "graphics/PngImages.h"

namespace {

#if defined(_WIN32) && defined(__i386__)
#define KV_HOST_METHOD __attribute__((thiscall))
#else
#define KV_HOST_METHOD
#endif

#if defined(_WIN32)
using DeletingDestructor = void*(KV_HOST_METHOD*)(void* self, unsigned flags);
constexpr int kFirstOperationSlot = 1;
void DeleteHostObject(void* object, void* const* table) {
  reinterpret_cast<DeletingDestructor>(table[0])(object, 1u);  // 1: free the memory too
}
#else
using DeletingDestructor = void (*)(void* self);
constexpr int kFirstOperationSlot = 2;
void DeleteHostObject(void* object, void* const* table) { reinterpret_cast<DeletingDestructor>(table[1])(object); }
#endif

using PixelDataMethod = uint32_t*(KV_HOST_METHOD*)(void* self);
using IntMethod = int(KV_HOST_METHOD*)(void* self);
using BoolMethod = bool(KV_HOST_METHOD*)(void* self);

// Slots after the destructors, in the order of Bitmap's operations.
enum HostSlot { kPixelData = 0, kWidth, kHeight, kRowStride, kIsBottomUp };

// The host's loader: (module instance, resource name, bitmap to reuse) -> new bitmap.
using HostPngLoader = void* (*)(void* instance, const char* resourceName, void* reuse);

template <typename Method>
Method Slot(void* const* table, HostSlot slot) {
  return reinterpret_cast<Method>(table[kFirstOperationSlot + slot]);
}

Bitmap* CopyHostBitmap(void* object, void* const* table) {
  const int width = Slot<IntMethod>(table, kWidth)(object);
  const int height = Slot<IntMethod>(table, kHeight)(object);
  const int stride = Slot<IntMethod>(table, kRowStride)(object);
  const bool bottomUp = Slot<BoolMethod>(table, kIsBottomUp)(object);
  const uint32_t* pixels = Slot<PixelDataMethod>(table, kPixelData)(object);
  if (!pixels || width <= 0 || height <= 0 || stride < width) return nullptr;

  auto* copy = new (std::nothrow) HeapBitmap(width, height);
  if (!copy) return nullptr;
  uint32_t* target = copy->PixelData();
  if (!target) {
    delete copy;
    return nullptr;
  }
  for (int y = 0; y < height; ++y) {
    const int stored = bottomUp ? height - 1 - y : y;
    std::memcpy(target + static_cast<size_t>(y) * static_cast<size_t>(width),
                pixels + static_cast<size_t>(stored) * static_cast<size_t>(stride),
                static_cast<size_t>(width) * sizeof(uint32_t));
  }
  return copy;
}

}  // namespace

Bitmap* AdoptHostBitmap(void* object) {
  if (!object) return nullptr;
  void* const* table = *static_cast<void* const* const*>(object);
  Bitmap* copy = CopyHostBitmap(object, table);
  DeleteHostObject(object, table);
  return copy;
}

Bitmap* LoadPngFromHost(const HostConnection& host, int id) {
#ifdef _WIN32
  auto load = reinterpret_cast<HostPngLoader>(host.Function("LICE_LoadPNGFromResource"));
  if (!load) return nullptr;
  // An integer resource name, as MAKEINTRESOURCE makes it.
  const auto* name = reinterpret_cast<const char*>(static_cast<uintptr_t>(static_cast<uint16_t>(id)));
  return AdoptHostBitmap(load(ModuleHandle, name, nullptr));
#else
  // Elsewhere the module has no handle a host's loader could understand.
  (void)host;
  (void)id;
  return nullptr;
#endif
}
