// File names from the command line in the form the wide Win32 functions take.
#pragma once

#include <windows.h>

#include <string>

inline std::wstring Widen(const std::string& text) {
  int count = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (count <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(count), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), count);
  wide.resize(static_cast<size_t>(count - 1));
  return wide;
}
