// The image the host expects on screen, kept as 16-bit 565 pixels, and its
// comparison with what BltFromCard reads back.
#pragma once

#include <cstdint>
#include <vector>

constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;

// A host colour 0xAARRGGBB as a 565 pixel: the top 5, 6 and 5 bits of red,
// green and blue; alpha and the low bits are dropped.
uint16_t hostColourTo565(uint32_t colour);

struct ScreenModel {
    std::vector<uint16_t> pixel = std::vector<uint16_t>(kScreenWidth * kScreenHeight, 0);

    void clear(int width = kScreenWidth, int height = kScreenHeight);
    void set(int x, int y, uint16_t value);
    // A rectangle with corners at whole coordinates, filled with `value` and
    // clipped to `clipWidth` x `clipHeight`: pixel centres lie at +0.5, so it
    // covers exactly the pixels [x0, x1) x [y0, y1).
    void fillRect(int x0, int y0, int x1, int y1, uint16_t value, int clipWidth = kScreenWidth,
                  int clipHeight = kScreenHeight);
    // An 8-bit image at (x, y) through a table of 256 565 colours; with
    // `key` >= 0 the pixels whose colour equals the key are left as they were.
    void drawIndexed(const uint8_t* source, int x, int y, int width, int height, int pitch,
                     const uint16_t* table, int key = -1);
    // The same image scaled by whole factors (each destination pixel takes
    // source pixel (j / scaleX, i / scaleY)).
    void drawIndexedScaled(const uint8_t* source, int x, int y, int width, int height, int pitch,
                           int scaleX, int scaleY, const uint16_t* table);
};

// Compares the expected screen with a full-screen read-back (640 x 480 rows of
// blue, green, red bytes, bottom row first, `pitch` bytes apart). Reports the
// number of differing pixels and the first few; returns true when none differ.
bool compareReadBack(const ScreenModel& expected, const uint8_t* readBack, int pitch,
                     const char* what);
