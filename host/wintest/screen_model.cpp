#include "host/wintest/screen_model.h"

#include <algorithm>

#include "host/wintest/report.h"

uint16_t hostColourTo565(uint32_t colour) {
    const uint32_t red = (colour >> 16) & 0xFF;
    const uint32_t green = (colour >> 8) & 0xFF;
    const uint32_t blue = colour & 0xFF;
    return static_cast<uint16_t>(((red >> 3) << 11) | ((green >> 2) << 5) | (blue >> 3));
}

void ScreenModel::clear(int width, int height) {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            set(x, y, 0);
}

void ScreenModel::set(int x, int y, uint16_t value) {
    pixel[y * kScreenWidth + x] = value;
}

void ScreenModel::fillRect(int x0, int y0, int x1, int y1, uint16_t value, int clipWidth,
                           int clipHeight) {
    for (int y = std::max(y0, 0); y < std::min(y1, clipHeight); ++y)
        for (int x = std::max(x0, 0); x < std::min(x1, clipWidth); ++x)
            set(x, y, value);
}

void ScreenModel::drawIndexed(const uint8_t* source, int x, int y, int width, int height, int pitch,
                              const uint16_t* table, int key) {
    for (int i = 0; i < height; ++i)
        for (int j = 0; j < width; ++j) {
            const uint16_t colour = table[source[i * pitch + j]];
            if (key < 0 || colour != key) set(x + j, y + i, colour);
        }
}

void ScreenModel::drawIndexedScaled(const uint8_t* source, int x, int y, int width, int height,
                                    int pitch, int scaleX, int scaleY, const uint16_t* table) {
    for (int i = 0; i < height; ++i)
        for (int j = 0; j < width; ++j)
            set(x + j, y + i, table[source[(i / scaleY) * pitch + j / scaleX]]);
}

namespace {
void bgrOf(uint16_t p, uint8_t bgr[3]) {
    bgr[0] = static_cast<uint8_t>((p & 0x001F) << 3);
    bgr[1] = static_cast<uint8_t>((p & 0x07E0) >> 3);
    bgr[2] = static_cast<uint8_t>((p & 0xF800) >> 8);
}
} // namespace

bool compareReadBack(const ScreenModel& expected, const uint8_t* readBack, int pitch,
                     const char* what) {
    int differing = 0;
    for (int y = 0; y < kScreenHeight; ++y) {
        const uint8_t* row = readBack + (kScreenHeight - 1 - y) * pitch;
        for (int x = 0; x < kScreenWidth; ++x) {
            const int at = y * kScreenWidth + x;
            const uint8_t* got = row + 3 * x;
            uint8_t want[3];
            bgrOf(expected.pixel[at], want);
            if (got[0] == want[0] && got[1] == want[1] && got[2] == want[2]) continue;
            if (++differing <= 5)
                detail(
                    "%s: pixel (%d, %d) reads back as BGR %02x %02x %02x, expected %02x %02x %02x",
                    what, x, y, got[0], got[1], got[2], want[0], want[1], want[2]);
        }
    }
    if (differing > 5) detail("%s: %d pixels differ in all", what, differing);
    return check(differing == 0, "%s: %d x %d pixels as expected", what, kScreenWidth,
                 kScreenHeight);
}
