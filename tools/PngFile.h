// PNG files of 0xAARRGGBB images, for tests and tools (never part of the plug-in).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

bool WritePng(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels);
class Bitmap;
// Writes a bitmap's pixels, row by row through its stride and flip.
bool WritePng(const std::string& path, Bitmap& bitmap);
bool ReadPng(const std::string& path, int& width, int& height, std::vector<uint32_t>& pixels);
