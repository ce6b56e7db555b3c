#include "platform/win32/ImportTable.h"

#include <windows.h>

void ImportTable::Redirect(void* moduleHandle, Replacement replacement) {
  auto* base = static_cast<BYTE*>(moduleHandle);
  if (!base) return;
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return;
  for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); library->Name;
       ++library) {
    if (library->OriginalFirstThunk == 0) continue;  // names gone: nothing to match
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
    auto* entries = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++entries) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      void* wrapper = replacement(reinterpret_cast<const char*>(byName->Name),
                                  reinterpret_cast<void*>(entries->u1.Function));
      if (!wrapper) continue;
      DWORD protection = 0;
      if (!VirtualProtect(&entries->u1.Function, sizeof entries->u1.Function, PAGE_READWRITE, &protection)) continue;
      entries->u1.Function = reinterpret_cast<ULONG_PTR>(wrapper);
      VirtualProtect(&entries->u1.Function, sizeof entries->u1.Function, protection, &protection);
    }
  }
}
