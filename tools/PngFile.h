// PNG files of 0xAARRGGBB images, for tests and tools (never part of the plug-in).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

bool WritePng(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels);
class Bitmap;
// Writes a bitmap's pixels with their alpha, row by row through its stride and
// flip: for images that carry alpha (the editor's resources).
bool WritePng(const std::string& path, Bitmap& bitmap);
// Writes what a window shows of a surface: every pixel opaque (tools/Screenshot.h).
// Every picture of the editor is written this way.
bool WriteScreenshotPng(const std::string& path, Bitmap& surface);
bool ReadPng(const std::string& path, int& width, int& height, std::vector<uint32_t>& pixels);
