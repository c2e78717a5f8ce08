// PNG files of 8-bit RGB images: with libpng where the build has it, else
// with a small built-in encoder (uncompressed deflate blocks).
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
// rows top to bottom `pitch` bytes apart: compressed with libpng where the
// build has it, else from the built-in encoder.
std::vector<uint8_t> encodePng(int width, int height, int channels, const uint8_t* pixels,
                               int pitch);

// The built-in encoder: the bytes of a complete PNG file, its image data in
// stored (uncompressed) deflate blocks. Always available, also where libpng is.
std::vector<uint8_t> encodePngStored(int width, int height, const uint8_t* rgb, int pitch,
                                     int channels = 3);

uint32_t pngCrc32(const uint8_t* data, size_t size, uint32_t crc = 0);
uint32_t zlibAdler32(const uint8_t* data, size_t size, uint32_t adler = 1);
