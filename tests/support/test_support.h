// Small helpers shared by the tests: the driver's messages, pixels of the
// stand-in's surfaces and of the shown frame, colour comparison.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/box_average.h" // widenLevel, boxAveraged

// Installs the diagnostic sink on first use; returns every message the
// driver printed since the last clearMessages().
const std::vector<std::string>& driverMessages();
void captureMessages();
void clearMessages();
bool sawMessage(const std::string& text);
int countMessages(const std::string& text);

// Pixel (x, y) of a chain position of the stand-in display (0 front, 1 back).
uint16_t chainPixel(int position, int x, int y);

// The frame the display shows, read back as a host reads it: BltFromCard
// of the whole 640 x 480 screen in 24 bits (bottom row first).
struct ShownFrame {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(640 * 480 * 3);
    // Pixel (x, y), y from the top, as 565.
    uint16_t at(int x, int y) const;
    // Pixels of the rectangle [x0, x1) x [y0, y1) that are not black.
    int litIn(int x0, int y0, int x1, int y1) const;
};
ShownFrame readShownFrame();

// Host colours red, green and blue at indices 0, 1 and 2, black elsewhere.
const uint32_t* primaryPalette();
// A white quad over [x, x + size) x [0, size), the texture's corners at its
// corners, drawn with the selected texture.
void drawWhiteQuad(float x, float size);

// The screen pixel of a host colour 0x..RRGGBB: the top 5, 6 and 5 bits
// (5, 5 and 5 on a 555 display) of red, green and blue, red highest.
constexpr uint16_t to565(uint32_t c) {
    const uint32_t red = c >> 16 & 255, green = c >> 8 & 255, blue = c & 255;
    return static_cast<uint16_t>((red >> 3) << 11 | (green >> 2) << 5 | blue >> 3);
}
constexpr uint16_t to555(uint32_t c) {
    const uint32_t red = c >> 16 & 255, green = c >> 8 & 255, blue = c & 255;
    return static_cast<uint16_t>((red >> 3) << 10 | (green >> 3) << 5 | blue >> 3);
}

// The plain reference of blending: 0xRRGGBB over a 565 (555) pixel at alpha
// a, the pixel widened by repeating its top bits, each channel rounded to
// nearest.
uint16_t blend565(uint32_t src, uint16_t dst, uint32_t a);
uint16_t blend555(uint32_t src, uint16_t dst, uint32_t a);

// Host colours whose 565 screen pixel is the index itself.
inline std::vector<uint32_t> identityPalette() {
    std::vector<uint32_t> p(256);
    for (uint32_t k = 0; k < 256; ++k)
        p[k] = (k & 31) << 3 | (k >> 5) << 10;
    return p;
}

// Texel bytes red, green, blue, transparency as the little-endian word.
constexpr uint32_t texel(uint32_t r, uint32_t g, uint32_t b, uint32_t t) {
    return r | (g << 8) | (b << 16) | (t << 24);
}
