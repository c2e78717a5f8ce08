// BltToCard and StretchBltToCard through the exported entry points, checked
// on the stand-in's back buffer: every byte of it, padding included, is
// compared with the expected picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "softsgl/softsgl_control.h"
#include "tests/blit/blit_test_helpers.h"

namespace {

// Host colours whose 565 screen pixel is the index itself.
std::vector<uint32_t> identityPalette() {
    std::vector<uint32_t> p(256);
    for (uint32_t k = 0; k < 256; ++k)
        p[k] = (k & 31) << 3 | (k >> 5) << 10;
    return p;
}

struct Colours {
    uint16_t c[256];
    explicit Colours(const std::vector<uint32_t>& palette) {
        for (int k = 0; k < 256; ++k)
            c[k] = to565(palette[k]);
    }
};

int64_t visibleFirst(int64_t origin) {
    return std::max<int64_t>(0, -origin);
}
int64_t visibleEnd(int64_t origin, int64_t length, int64_t limit) {
    return std::min<int64_t>(length, limit - origin);
}

// What a plain blit shows: pixel j of row i is colours[src[i * pitch + j]].
void expectCopy(Surface& s, const uint8_t* src, int pitch, int64_t x, int64_t y, int w, int h,
                const Colours& colours, bool keyed = false, uint16_t key = 0) {
    for (int64_t i = visibleFirst(y); i < visibleEnd(y, h, 480); ++i)
        for (int64_t j = visibleFirst(x); j < visibleEnd(x, w, 640); ++j) {
            uint16_t c = colours.c[src[i * pitch + j]];
            if (!keyed || c != key) s.set(static_cast<int>(x + j), static_cast<int>(y + i), c);
        }
}

// What a stretch shows, with the 32-bit stepping: one truncated column step,
// rows divided afresh (sizes here keep it from overflowing).
void expectStretch(Surface& s, const uint8_t* src, int pitch, int64_t x, int64_t y, int w, int h,
                   int sw, int sh, const Colours& colours, bool keyed = false, uint16_t key = 0) {
    int32_t xStep = (65536 / w) * sw;
    for (int64_t i = visibleFirst(y); i < visibleEnd(y, h, 480); ++i) {
        int32_t sy = ((static_cast<int32_t>(i) * 65536) / h * sh) >> 16;
        for (int64_t j = visibleFirst(x); j < visibleEnd(x, w, 640); ++j) {
            int64_t sx = (j * xStep) >> 16;
            uint16_t c = colours.c[src[sy * pitch + sx]];
            if (!keyed || c != key) s.set(static_cast<int>(x + j), static_cast<int>(y + i), c);
        }
    }
}

void expectChain(const Surface& expected, int position) {
    Surface actual = Surface::capture(position);
    ASSERT_EQ(actual.bytes.size(), expected.bytes.size());
    for (size_t k = 0; k < actual.bytes.size(); k += 2)
        if (actual.bytes[k] != expected.bytes[k] || actual.bytes[k + 1] != expected.bytes[k + 1]) {
            FAIL() << "first difference at x " << (k % expected.pitch) / 2 << " y "
                   << k / expected.pitch << ": "
                   << actual.at((k % expected.pitch) / 2, k / expected.pitch) << " instead of "
                   << expected.at((k % expected.pitch) / 2, k / expected.pitch);
        }
}

} // namespace

TEST(BltToCard, CopiesThroughTheGlobalPaletteAtOddAndEvenColumns) {
    startWithPaintedBackBuffer();
    Surface expected = Surface::capture(1);
    // 37 pixels a row: a lone first pixel, groups of four and a remainder.
    std::vector<uint8_t> src = randomIndices(2, 40 * 6);
    Colours zero(std::vector<uint32_t>(256, 0));
    // Before any LoadPalette every index is drawn as 0.
    EXPECT_EQ(BltToCard(src.data(), 3, 2, 37, 6, 40, 0, nullptr), 1);
    expectCopy(expected, src.data(), 40, 3, 2, 37, 6, zero);
    expectChain(expected, 1);

    std::vector<uint32_t> palette = randomPalette(1);
    LoadPalette(palette.data());
    for (int x = 100; x < 104; ++x) {
        int y = 10 + 7 * (x - 100);
        EXPECT_EQ(BltToCard(src.data(), x, y, 37, 6, 40, 0, nullptr), 1);
        expectCopy(expected, src.data(), 40, x, y, 37, 6, Colours(palette));
    }
    expectChain(expected, 1);
    EXPECT_TRUE(driverMessages().empty());
}

TEST(BltToCard, PaletteArgumentServesItsCallOnly) {
    startWithPaintedBackBuffer();
    Surface expected = Surface::capture(1);
    std::vector<uint32_t> global = randomPalette(3), own = randomPalette(4);
    std::vector<uint8_t> src = randomIndices(5, 16 * 16);
    LoadPalette(global.data());
    BltToCard(src.data(), 0, 0, 16, 16, 16, 0, own.data());
    StretchBltToCard(src.data(), 20, 0, 32, 20, 16, 16, 16, 0, own.data());
    BltToCard(src.data(), 60, 0, 16, 16, 16, 0, nullptr);
    StretchBltToCard(src.data(), 80, 0, 32, 20, 16, 16, 16, 0, nullptr);
    expectCopy(expected, src.data(), 16, 0, 0, 16, 16, Colours(own));
    expectStretch(expected, src.data(), 16, 20, 0, 32, 20, 16, 16, Colours(own));
    expectCopy(expected, src.data(), 16, 60, 0, 16, 16, Colours(global));
    expectStretch(expected, src.data(), 16, 80, 0, 32, 20, 16, 16, Colours(global));
    expectChain(expected, 1);
}

TEST(BltToCard, KeyedPairSkipsPixelsOfTheKeyScreenColour) {
    startWithPaintedBackBuffer();
    Surface expected = Surface::capture(1);
    const uint32_t key = 0x00808080;
    std::vector<uint32_t> palette = randomPalette(6);
    for (uint32_t& c : palette)
        if (to565(c) == to565(key)) c ^= 0x00800000;
    palette[5] = 0xFF808080; // other alpha
    palette[6] = 0x00878387; // differs only in bits the conversion drops
    palette[7] = 0x00888080; // differs in a kept red bit
    std::vector<uint8_t> src = randomIndices(7, 24 * 8);
    for (size_t k = 0; k < src.size(); k += 2)
        src[k] = static_cast<uint8_t>(5 + k / 2 % 3);
    LoadPalette(palette.data());
    Colours colours(palette);
    ssChromaKey(1, key);
    BltToCard(src.data(), 1, 1, 24, 8, 24, 0, nullptr);
    StretchBltToCard(src.data(), 31, 1, 48, 16, 24, 8, 24, 0, nullptr);
    BltToCard(src.data(), 81, 1, 24, 8, 24, 0, palette.data());
    expectCopy(expected, src.data(), 24, 1, 1, 24, 8, colours, true, to565(key));
    expectStretch(expected, src.data(), 24, 31, 1, 48, 16, 24, 8, colours, true, to565(key));
    expectCopy(expected, src.data(), 24, 81, 1, 24, 8, colours, true, to565(key));
    EXPECT_EQ(expected.at(1, 1), kSentinel); // index 5: kept
    EXPECT_EQ(expected.at(3, 1), kSentinel); // index 6: kept
    EXPECT_EQ(expected.at(5, 1), to565(palette[7]));
    // Mode 2 keeps the keyed pair; mode 0 draws the key colour again.
    ssChromaKey(2, key);
    BltToCard(src.data(), 1, 20, 24, 8, 24, 0, nullptr);
    expectCopy(expected, src.data(), 24, 1, 20, 24, 8, colours, true, to565(key));
    ssChromaKey(0, key);
    BltToCard(src.data(), 1, 40, 24, 8, 24, 0, nullptr);
    StretchBltToCard(src.data(), 31, 40, 48, 16, 24, 8, 24, 0, nullptr);
    expectCopy(expected, src.data(), 24, 1, 40, 24, 8, colours);
    expectStretch(expected, src.data(), 24, 31, 40, 48, 16, 24, 8, colours);
    expectChain(expected, 1);
}

TEST(StretchBltToCard, StepsWithTheSpecifiedTruncation) {
    startWithPaintedBackBuffer();
    std::vector<uint32_t> palette = identityPalette();
    LoadPalette(palette.data());
    Colours colours(palette);
    Surface expected = Surface::capture(1);

    // 320 -> 640: column 639 reads source column 318; column 319 (the only
    // index 255) is never read.
    std::vector<uint8_t> wide(320);
    for (int c = 0; c < 320; ++c)
        wide[c] = static_cast<uint8_t>(c == 319 ? 255 : c % 255);
    StretchBltToCard(wide.data(), 0, 0, 640, 2, 320, 1, 320, 0, nullptr);
    expectStretch(expected, wide.data(), 320, 0, 0, 640, 2, 320, 1, colours);
    EXPECT_EQ(expected.at(639, 0), 318 % 255);
    for (int x = 0; x < 640; ++x)
        EXPECT_NE(expected.at(x, 1), 255) << x;

    // 100 x 100 -> 100 x 100: column 99 repeats column 98, row 99 row 98.
    std::vector<uint8_t> byColumn(100 * 100), byRow(100 * 100);
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j) {
            byColumn[i * 100 + j] = static_cast<uint8_t>(j);
            byRow[i * 100 + j] = static_cast<uint8_t>(i);
        }
    StretchBltToCard(byColumn.data(), 10, 10, 100, 100, 100, 100, 100, 0, nullptr);
    StretchBltToCard(byRow.data(), 200, 10, 100, 100, 100, 100, 100, 0, nullptr);
    expectStretch(expected, byColumn.data(), 100, 10, 10, 100, 100, 100, 100, colours);
    expectStretch(expected, byRow.data(), 100, 200, 10, 100, 100, 100, 100, colours);
    EXPECT_EQ(expected.at(10 + 99, 50), 98);
    EXPECT_EQ(expected.at(250, 10 + 99), 98);

    // 240 -> 480 rows: row 479 reads source row 239.
    std::vector<uint8_t> tall(240);
    for (int r = 0; r < 240; ++r)
        tall[r] = static_cast<uint8_t>(r);
    StretchBltToCard(tall.data(), 400, 0, 3, 480, 1, 240, 1, 0, nullptr);
    expectStretch(expected, tall.data(), 1, 400, 0, 3, 480, 1, 240, colours);
    EXPECT_EQ(expected.at(402, 479), 239);
    expectChain(expected, 1);
}

TEST(Blits, OtherFormatsNameTheirLayoutAndDrawNothing) {
    startWithPaintedBackBuffer();
    Surface before = Surface::capture(1);
    std::vector<uint8_t> src(64, 1);
    const char* layouts[] = {"8888", "888", "1555", "555", "565"};
    for (int mode = 0; mode < 2; ++mode) {
        ssChromaKey(mode, 0);
        std::string plain = mode ? "bltC: " : "blt: ", stretch = mode ? "stBltC: " : "stBlt: ";
        for (uint32_t format = 1; format <= 5; ++format) {
            clearMessages();
            EXPECT_EQ(BltToCard(src.data(), 1, 1, 8, 8, 8, format, nullptr), 1);
            EXPECT_EQ(StretchBltToCard(src.data(), 1, 1, 16, 16, 8, 8, 8, format, nullptr), 1);
            std::vector<std::string> expected = {plain + layouts[format - 1] + "\n",
                                                 stretch + layouts[format - 1] + "\n"};
            EXPECT_EQ(driverMessages(), expected);
        }
        clearMessages();
        for (uint32_t format : {6u, 0x80000000u, 0xFFFFFFFFu}) {
            EXPECT_EQ(BltToCard(src.data(), 1, 1, 8, 8, 8, format, nullptr), 1);
            EXPECT_EQ(StretchBltToCard(src.data(), 1, 1, 16, 16, 8, 8, 8, format, nullptr), 1);
        }
        EXPECT_TRUE(driverMessages().empty());
    }
    expectChain(before, 1);
}

TEST(Blits, FirstBlitOfAFrameRendersTheSceneOnce) {
    ASSERT_EQ(Init(), 1);
    std::vector<uint32_t> palette = identityPalette();
    LoadPalette(palette.data());
    std::vector<uint8_t> src(4 * 4, 9);
    int renders = softsglCallCount("sgltri_render");
    BltToCard(src.data(), 0, 0, 4, 4, 4, 0, nullptr);
    EXPECT_EQ(softsglCallCount("sgltri_render"), renders + 1);
    BltToCard(src.data(), 8, 0, 4, 4, 4, 0, nullptr);
    StretchBltToCard(src.data(), 16, 0, 8, 8, 4, 4, 4, 0, nullptr);
    EXPECT_EQ(softsglCallCount("sgltri_render"), renders + 1);
    // The render came first: it cleared the buffer, the images lie on top.
    EXPECT_EQ(chainPixel(1, 0, 0), 9);
    EXPECT_EQ(chainPixel(1, 23, 7), 9);
    PageFlip();
    EXPECT_EQ(softsglCallCount("sgltri_render"), renders + 1);
    // A frame's first blit renders even when it draws nothing itself.
    StretchBltToCard(src.data(), 0, 0, 8, 8, 4, 4, 4, 7, nullptr);
    EXPECT_EQ(softsglCallCount("sgltri_render"), renders + 2);
    BltToCard(src.data(), 0, 0, 4, 4, 4, 0, nullptr);
    EXPECT_EQ(softsglCallCount("sgltri_render"), renders + 2);
}

TEST(Blits, RectanglesCrossingTheEdgesAreClipped) {
    startWithPaintedBackBuffer();
    std::vector<uint32_t> palette = identityPalette();
    LoadPalette(palette.data());
    Colours colours(palette);
    Surface expected = Surface::capture(1);
    const int pitch = 700;
    std::vector<uint8_t> src = randomIndices(8, pitch * 500);
    struct Rect {
        int x, y, w, h;
    };
    const Rect plain[] = {{600, 10, 100, 5},         {-30, 20, 100, 5},
                          {50, -3, 10, 6},           {300, 470, 20, 30},
                          {-5, 475, 700, 10},        {600, 30, INT_MAX, 2},
                          {INT_MIN + 5, 40, 10, 10}, {0, INT_MAX - 1, 10, INT_MAX},
                          {10, 50, -4, 5},           {10, 50, 5, INT_MIN}};
    for (const Rect& r : plain) {
        EXPECT_EQ(BltToCard(src.data(), r.x, r.y, r.w, r.h, pitch, 0, nullptr), 1);
        if (r.w > 0 && r.h > 0)
            expectCopy(expected, src.data(), pitch, r.x, r.y, r.w, r.h, colours);
    }
    expectChain(expected, 1);

    // Clipped stretches draw each visible pixel from the source pixel it
    // would read unclipped.
    StretchBltToCard(src.data(), -100, -50, 640, 480, 320, 240, pitch, 0, nullptr);
    expectStretch(expected, src.data(), pitch, -100, -50, 640, 480, 320, 240, colours);
    StretchBltToCard(src.data(), 500, 400, 300, 200, 320, 240, pitch, 0, nullptr);
    expectStretch(expected, src.data(), pitch, 500, 400, 300, 200, 320, 240, colours);
    // x + width and the column step at their limits: step 0, column 0 only.
    StretchBltToCard(src.data(), -2147483583, 100, INT_MAX, 3, 320, 240, pitch, 0, nullptr);
    expectStretch(expected, src.data(), pitch, -2147483583, 100, INT_MAX, 3, 320, 240, colours);
    StretchBltToCard(src.data(), 20, 200, 10, INT_MAX, 300, 240, pitch, 0, nullptr);
    expectStretch(expected, src.data(), pitch, 20, 200, 10, INT_MAX, 300, 240, colours);
    StretchBltToCard(src.data(), 0, INT_MAX - 5, 10, 100, 8, 8, pitch, 0, nullptr);
    // No image, or one without pixels: nothing to read, nothing drawn.
    BltToCard(nullptr, 0, 0, 8, 8, 8, 0, nullptr);
    StretchBltToCard(nullptr, 0, 0, 8, 8, 8, 8, 8, 0, nullptr);
    StretchBltToCard(src.data(), 0, 0, 8, 8, 0, 8, pitch, 0, nullptr);
    StretchBltToCard(src.data(), 0, 0, 8, 8, 8, -1, pitch, 0, nullptr);
    expectChain(expected, 1);

    // A column step past 32 bits: (65536 / 2) x 70000; column 1 reads 35000.
    std::vector<uint8_t> row(70000, 3);
    row[35000] = 200;
    StretchBltToCard(row.data(), 30, 300, 2, 1, 70000, 1, 70000, 0, nullptr);
    EXPECT_EQ(chainPixel(1, 30, 300), 3);
    EXPECT_EQ(chainPixel(1, 31, 300), 200);
}

TEST(Blits, BottomUpSourcesWithNegativePitch) {
    startWithPaintedBackBuffer();
    std::vector<uint32_t> palette = identityPalette();
    LoadPalette(palette.data());
    Colours colours(palette);
    Surface expected = Surface::capture(1);
    // The image's rows lie in memory last row first.
    std::vector<uint8_t> topDown = randomIndices(9, 9 * 5), memory(9 * 5);
    for (int r = 0; r < 5; ++r)
        std::copy_n(&topDown[r * 9], 9, &memory[(4 - r) * 9]);
    const uint8_t* top = &memory[4 * 9];
    BltToCard(top, 20, 20, 9, 5, -9, 0, nullptr);
    StretchBltToCard(top, 40, 20, 18, 10, 9, 5, -9, 0, nullptr);
    expectCopy(expected, topDown.data(), 9, 20, 20, 9, 5, colours);
    expectStretch(expected, topDown.data(), 9, 40, 20, 18, 10, 9, 5, colours);
    expectChain(expected, 1);
}

TEST(Blits, DrawNothingWithoutAValidBackBuffer) {
    // After a flip the address the last render learned belongs to the front
    // buffer. When the next render cannot lock the back buffer, the frame's
    // blits must draw nowhere: not through that address either.
    ASSERT_EQ(Init(), 1);
    std::vector<uint32_t> palette = identityPalette();
    LoadPalette(palette.data());
    PageFlip();
    paint(0);
    paint(1);
    Surface front = Surface::capture(0), back = Surface::capture(1);
    clearMessages();
    std::vector<uint8_t> src(16 * 16, 4);
    kxstandFailCall("IDirectDrawSurface::Lock", DDERR_SURFACEBUSY);
    EXPECT_EQ(BltToCard(src.data(), 0, 0, 16, 16, 16, 0, nullptr), 1);
    EXPECT_EQ(StretchBltToCard(src.data(), 0, 0, 32, 32, 16, 16, 16, 0, nullptr), 1);
    EXPECT_TRUE(sawMessage("pvr_RenderCallback, ddGetWindowInfo failed\n"));
    expectChain(front, 0);
    expectChain(back, 1);
    // The next frame's render succeeds again.
    PageFlip();
    BltToCard(src.data(), 0, 0, 16, 16, 16, 0, nullptr);
    EXPECT_EQ(chainPixel(1, 15, 15), 4);
}
