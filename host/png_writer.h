// PNG files of 8-bit RGB images, written with libpng.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes width x height RGB pixels, rows top to bottom, `pitch` bytes apart.
bool writePng(const std::string& path, int width, int height, const uint8_t* rgb, int pitch,
              std::string& error);

// Writes bytes to a file (the bytes of a PNG file, say).
bool writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

// The bytes of a PNG file of 8-bit pixels with 3 (RGB) or 4 (RGBA) channels,
// rows top to bottom `pitch` bytes apart; empty when libpng fails.
std::vector<uint8_t> encodePng(int width, int height, int channels, const uint8_t* pixels,
                               int pitch);
