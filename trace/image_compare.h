// Comparing two RGB images pixel by pixel, and PNG files through libpng.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb; // rows top to bottom, 3 bytes a pixel
};

// Where the build has libpng (Linux).
bool readPng(const std::string& path, Image& image, std::string& error);

struct ImageDifference {
    uint64_t pixels = 0; // pixels with any channel different
    int largest = 0;     // largest difference of one channel, 0..255
};

// Both images must have the same size.
ImageDifference compareImages(const Image& reference, const Image& test);
// The reference darkened to a quarter, with every differing pixel drawn red,
// brighter the larger its difference.
Image differenceImage(const Image& reference, const Image& test);
// The image made `factor` times smaller each way, each pixel the mean of the
// block it stands for (a thumbnail).
Image shrinkImage(const Image& image, int factor);
