// The screen pixel format learnt from the display, and the colour converters.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <tuple>

#include "blit/pixel_format.h"
#include "display/display.h"
#include "platform/posix/standin_control.h"
#include "tests/support/test_support.h"

namespace {

uint16_t convert(uint32_t colour) {
    uint16_t pixel = 0xDEAD;
    screenPixelFormat.screenColourConverter(&pixel, &colour);
    return pixel;
}
auto fields(const ScreenPixelFormat& f) {
    return std::make_tuple(f.redMask, f.greenMask, f.blueMask, f.redShift, f.greenShift,
                           f.blueShift, f.screenColourConverter, ddGetBitsPerPixel());
}

} // namespace

TEST(ScreenPixelFormat, LearntFromThe565And555Displays) {
    for (bool is565 : {true, false}) {
        captureMessages();
        kxstandSetPixelFormat565(is565);
        ASSERT_EQ(ddrawInit(kxstandDefaultWindow()), 1);
        initScreenPixelFormat(primaryPixelFormat);
        const ScreenPixelFormat& f = screenPixelFormat;
        uint16_t white = is565 ? 0xFFFF : 0x7FFF;
        if (is565) {
            EXPECT_EQ(fields(f),
                      std::make_tuple(0xF800u, 0x07E0u, 0x001Fu, 8, 3, -3, &colourTo565, 16));
            EXPECT_TRUE(sawMessage(
                "ddGetPixelFormat: Masks - r f800, g 07e0, b 001f  Shifts: r 8, g 3, b -3\n"));
            EXPECT_EQ(extractComponent(white, f.greenMask, f.greenShift), 0xFC);
        } else {
            EXPECT_EQ(fields(f),
                      std::make_tuple(0x7C00u, 0x03E0u, 0x001Fu, 7, 2, -3, &colourTo555, 15));
            EXPECT_TRUE(sawMessage(
                "ddGetPixelFormat: Masks - r 7c00, g 03e0, b 001f  Shifts: r 7, g 2, b -3\n"));
            EXPECT_EQ(extractComponent(white, f.greenMask, f.greenShift), 0xF8);
        }
        EXPECT_EQ(extractComponent(white, f.redMask, f.redShift), 0xF8);
        EXPECT_EQ(extractComponent(white, f.blueMask, f.blueShift), 0xF8);
        EXPECT_EQ(convert(0x00FFFFFF), white);
        EXPECT_EQ(convert(0x00FF0000), f.redMask);
        EXPECT_EQ(convert(0x0000FF00), f.greenMask);
        EXPECT_EQ(convert(0x000000FF), f.blueMask);
        ddrawShutdown();
    }

    // Other layouts: the converter follows the green mask, the bits per
    // pixel the red mask; a missing mask gives the shift -7.
    primaryPixelFormat.dwRBitMask = 0x7C00;
    primaryPixelFormat.dwGBitMask = 0x07E0;
    primaryPixelFormat.dwBBitMask = 0;
    initScreenPixelFormat(primaryPixelFormat);
    EXPECT_EQ(fields(screenPixelFormat),
              std::make_tuple(0x7C00u, 0x07E0u, 0u, 7, 3, -7, &colourTo565, 15));
    primaryPixelFormat.dwRBitMask = 0xF800;
    primaryPixelFormat.dwGBitMask = 0x07C0;
    initScreenPixelFormat(primaryPixelFormat);
    EXPECT_EQ(fields(screenPixelFormat),
              std::make_tuple(0xF800u, 0x07C0u, 0u, 8, 3, -7, &colourTo555, 16));
}

TEST(ScreenPixelFormat, HighestBitIndexAndConvertersAgainstReferences) {
    EXPECT_EQ(highestBitIndex(0), 0);
    EXPECT_EQ(highestBitIndex(1), 0);
    EXPECT_EQ(highestBitIndex(0xFFFFFFFFu), 31);
    for (int bit = 0; bit < 32; ++bit) {
        EXPECT_EQ(highestBitIndex(1u << bit), bit);
        EXPECT_EQ(highestBitIndex(1u << bit | 1u), bit);
    }

    std::mt19937 random(7);
    for (int i = 0; i < 200000; ++i) {
        uint32_t v = random() >> (random() % 32);
        int expected = 31;
        while (expected > 0 && !(v >> expected))
            --expected;
        ASSERT_EQ(highestBitIndex(v), expected) << std::hex << v;

        // The top byte and the dropped low bits of each component change nothing.
        uint32_t sameIn565 = (v ^ 0x00070307u) ^ (random() & 0xFF000000u);
        uint32_t sameIn555 = (v ^ 0x00070707u) ^ (random() & 0xFF000000u);
        uint16_t p565 = 0, p555 = 0, q565 = 0, q555 = 0;
        colourTo565(&p565, &v);
        colourTo555(&p555, &v);
        colourTo565(&q565, &sameIn565);
        colourTo555(&q555, &sameIn555);
        ASSERT_EQ(p565, to565(v)) << std::hex << v;
        ASSERT_EQ(p555, to555(v)) << std::hex << v;
        ASSERT_EQ(q565, p565);
        ASSERT_EQ(q555, p555);
    }
}
