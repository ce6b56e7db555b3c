// PNG files of 0xAARRGGBB images for the golden-image tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

bool WritePng(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels);
bool ReadPng(const std::string& path, int& width, int& height, std::vector<uint32_t>& pixels);
