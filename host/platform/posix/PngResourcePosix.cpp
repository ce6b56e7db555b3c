// The stand-in PNG loader on Linux. The instance handle is an address inside
// the module; the dynamic linker names the module's file, and its PNG images
// are the sections ".kelvane.png.<id>" of that file, read from the section
// headers as a Windows loader reads a module's resource directory.
#include <dlfcn.h>
#include <elf.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "HostPngLoader.h"

namespace {

template <typename T>
bool ReadAt(std::ifstream& file, uint64_t offset, T* out, size_t count = 1) {
  file.seekg(static_cast<std::streamoff>(offset));
  file.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(sizeof(T) * count));
  return static_cast<bool>(file);
}

}  // namespace

bool ReadPngResource(void* instance, int id, std::vector<uint8_t>& bytes) {
  Dl_info info{};
  if (!instance || dladdr(instance, &info) == 0 || !info.dli_fname) return false;
  std::ifstream file(info.dli_fname, std::ios::binary);
  Elf64_Ehdr header{};
  if (!file || !ReadAt(file, 0, &header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
      header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_shentsize != sizeof(Elf64_Shdr) ||
      header.e_shstrndx >= header.e_shnum)
    return false;
  std::vector<Elf64_Shdr> sections(header.e_shnum);
  if (!ReadAt(file, header.e_shoff, sections.data(), sections.size())) return false;
  const Elf64_Shdr& names = sections[header.e_shstrndx];
  if (names.sh_size > (1u << 24)) return false;
  std::string nameTable(names.sh_size, '\0');
  if (!ReadAt(file, names.sh_offset, nameTable.data(), nameTable.size())) return false;

  const std::string wanted = ".kelvane.png." + std::to_string(id);
  for (const Elf64_Shdr& section : sections) {
    if (section.sh_name >= nameTable.size() || section.sh_type == SHT_NOBITS) continue;
    if (std::strncmp(nameTable.c_str() + section.sh_name, wanted.c_str(), nameTable.size() - section.sh_name) != 0)
      continue;
    if (section.sh_size == 0 || section.sh_size > (1u << 28)) return false;
    bytes.resize(section.sh_size);
    return ReadAt(file, section.sh_offset, bytes.data(), bytes.size());
  }
  return false;
}

namespace {

// The bitmap as REAPER's g++ build would hand it out: a class of the host's own
// with the operations in the plug-in's order, deleted through its virtual destructor.
class StandInBitmap {
 public:
  StandInBitmap(std::vector<uint32_t>&& pixels, int width, int height)
      : pixels_(std::move(pixels)), width_(width), height_(height) {}
  virtual ~StandInBitmap() = default;
  virtual uint32_t* PixelData() { return pixels_.empty() ? nullptr : pixels_.data(); }
  virtual int Width() const { return width_; }
  virtual int Height() const { return height_; }
  virtual int RowStride() const { return width_; }
  virtual bool IsBottomUp() const { return false; }
  virtual bool SetSize(int, int) { return false; }

 private:
  std::vector<uint32_t> pixels_;
  int width_;
  int height_;
};

}  // namespace

void* MakeHostBitmap(std::vector<uint32_t>&& pixels, int width, int height) {
  return new StandInBitmap(std::move(pixels), width, height);
}
