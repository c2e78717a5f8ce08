// Ordered dithering (dither = on): every pixel softsgl shades against a
// plain reference of the rule in softsgl/README.md, the two-level property
// of a flat colour's 4 x 4 block, points and lines, and the same pixels on
// any number of threads; off, the pixels are those of dropped low bits.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "softsgl/softsgl_control.h"
#include "softsgl_helpers.h"

namespace {

// 256 flat blocks of 4 x 4 in a 64 x 64 target, block i in colour
// (i, 255 - i, 7i mod 256).
uint32_t blockColour(int i) {
    return uint32_t(i) << 16 | uint32_t(255 - i) << 8 | uint32_t((7 * i) % 256);
}

MemoryTarget drawBlocks(int bits, int dither) {
    softsglSetDither(dither);
    MemoryTarget t;
    const int device = setUpScreen(t, 64, 64, bits);
    SGLCONTEXT ctx = defaultContext();
    sgltri_startofframe(&ctx);
    for (int i = 0; i < 256; ++i) {
        const float x = float(i % 16 * 4), y = float(i / 16 * 4);
        drawRect(ctx, x, y, x + 4, y + 4, 0xFF000000 | blockColour(i));
    }
    renderFrame(ctx);
    sgl_delete_device(device);
    softsglSetDither(-1);
    return t;
}

TEST(SoftsglDither, FlatColoursFollowTheMatrixAndMixTheirTwoNearestLevels) {
    for (int bits : {16, 15}) {
        const MemoryTarget t = drawBlocks(bits, 1);
        for (int i = 0; i < 256; ++i) {
            const int x0 = i % 16 * 4, y0 = i / 16 * 4;
            double mean[3] = {0, 0, 0};
            for (int y = y0; y < y0 + 4; ++y)
                for (int x = x0; x < x0 + 4; ++x) {
                    const uint16_t p = t.at(x, y);
                    ASSERT_EQ(p, ditheredPixel(blockColour(i), x, y, bits == 15))
                        << bits << " bpp, colour " << std::hex << blockColour(i) << std::dec
                        << " at " << x << ", " << y;
                    const int r = bits == 15 ? p >> 10 : p >> 11;
                    const int g = bits == 15 ? (p >> 5) & 31 : (p >> 5) & 63;
                    mean[0] += widenLevel(r, 5) / 16.0;
                    mean[1] += widenLevel(g, bits == 15 ? 5 : 6) / 16.0;
                    mean[2] += widenLevel(p & 31, 5) / 16.0;
                }
            // The block's mean within 1/16 of the step between the two
            // levels around each channel's colour.
            const uint32_t rgb = blockColour(i);
            const int channel[3] = {int(rgb >> 16) & 255, int(rgb >> 8) & 255, int(rgb) & 255};
            for (int c = 0; c < 3; ++c) {
                const int cbits = c == 1 && bits == 16 ? 6 : 5;
                int k = 0;
                while (k < (1 << cbits) - 1 && widenLevel(k + 1, cbits) <= channel[c])
                    ++k;
                const int step =
                    k < (1 << cbits) - 1 ? widenLevel(k + 1, cbits) - widenLevel(k, cbits) : 0;
                EXPECT_LE(std::fabs(mean[c] - channel[c]), step / 16.0)
                    << bits << " bpp, block " << i << ", channel " << c;
            }
        }
    }
}

TEST(SoftsglDither, OffKeepsTheDroppedLowBits) {
    const MemoryTarget t = drawBlocks(16, 0);
    for (int i = 0; i < 256; ++i) {
        const uint32_t rgb = blockColour(i);
        EXPECT_EQ(t.at(i % 16 * 4 + 3, i / 16 * 4 + 2), to565(rgb));
    }
}

TEST(SoftsglDither, PointsAndLinesAreDitheredWhereTheyLand) {
    softsglSetDither(1);
    MemoryTarget t;
    const int device = setUpScreen(t, 16, 16);
    SGLCONTEXT ctx = defaultContext();
    sgltri_startofframe(&ctx);
    const uint32_t colour = 0x7B5D3A;
    for (int i = 0; i < 8; ++i) {
        SGLVERTEX p = vtx(float(i) + 0.5f, float(i) + 0.5f, 0xFF000000 | colour);
        sgltri_points(&ctx, 1, &p);
    }
    SGLVERTEX line[2] = {vtx(0.5f, 12.5f, 0xFF000000 | colour),
                         vtx(15.5f, 12.5f, 0xFF000000 | colour)};
    uint16_t pair[1][2] = {{0, 1}};
    sgltri_lines(&ctx, 1, pair, line);
    renderFrame(ctx);
    sgl_delete_device(device);
    softsglSetDither(-1);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(t.at(i, i), ditheredPixel(colour, i, i, false)) << "point " << i;
    for (int x = 0; x < 16; ++x)
        EXPECT_EQ(t.at(x, 12), ditheredPixel(colour, x, 12, false)) << "line at " << x;
}

TEST(SoftsglDither, FramesAreTheSameOnOneTwoAndThreeThreads) {
    EXPECT_GT(settingOnAnyThreadCount(softsglSetDither), 10000); // dithering changed the frames
}

} // namespace
