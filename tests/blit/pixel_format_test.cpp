// The screen pixel format learnt from the primary surface's format, and the
// colour converters against the plain references.
#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "blit/pixel_format.h"
#include "tests/support/test_support.h"

TEST(ScreenPixelFormat, LearntFromTheMasks) {
    const struct {
        uint32_t red, green, blue;
        int32_t redShift, greenShift, blueShift;
        ColourConverter converter;
        int bitsPerPixel;
        const char* message;
    } cases[] = {
        {0xF800, 0x07E0, 0x001F, 8, 3, -3, colourTo565, 16,
         "ddGetPixelFormat: Masks - r f800, g 07e0, b 001f  Shifts: r 8, g 3, b -3\n"},
        {0x7C00, 0x03E0, 0x001F, 7, 2, -3, colourTo555, 15,
         "ddGetPixelFormat: Masks - r 7c00, g 03e0, b 001f  Shifts: r 7, g 2, b -3\n"},
        // Other layouts: the converter follows the green mask, the bits per
        // pixel the red mask; a missing mask gives the shift -7.
        {0x7C00, 0x07E0, 0, 7, 3, -7, colourTo565, 15, nullptr},
        {0xF800, 0x07C0, 0, 8, 3, -7, colourTo555, 16, nullptr},
    };
    for (const auto& c : cases) {
        DDPIXELFORMAT primary = {};
        primary.dwRBitMask = c.red;
        primary.dwGBitMask = c.green;
        primary.dwBBitMask = c.blue;
        clearMessages();
        const ScreenPixelFormat f = screenPixelFormatOf(primary);
        EXPECT_EQ(std::make_tuple(f.redMask, f.greenMask, f.blueMask, f.redShift, f.greenShift,
                                  f.blueShift, f.screenColourConverter, ddGetBitsPerPixel(f)),
                  std::make_tuple(c.red, c.green, c.blue, c.redShift, c.greenShift, c.blueShift,
                                  c.converter, c.bitsPerPixel));
        if (c.message) {
            EXPECT_EQ(driverMessages(), std::vector<std::string>{c.message});
        }
        // White's components come back at the top of 8 bits.
        const uint16_t white = uint16_t(c.red | c.green | c.blue);
        EXPECT_EQ(extractComponent(white, f.redMask, f.redShift), 0xF8);
        EXPECT_EQ(extractComponent(white, f.greenMask, f.greenShift),
                  c.green == 0x07E0 ? 0xFC : 0xF8);
    }
}

TEST(ScreenPixelFormat, HighestBitIndexAndConvertersAgainstReferences) {
    EXPECT_EQ(highestBitIndex(0), 0);
    std::mt19937 random(7);
    for (int i = 0; i < 200000; ++i) {
        uint32_t v = i < 64 ? (1u << (i % 32)) | (i / 32) : random() >> (random() % 32);
        int expected = 31;
        while (expected > 0 && !(v >> expected))
            --expected;
        ASSERT_EQ(highestBitIndex(v), expected) << std::hex << v;
        uint16_t p565 = 0, p555 = 0;
        colourTo565(&p565, &v);
        colourTo555(&p555, &v);
        ASSERT_EQ(p565, to565(v)) << std::hex << v;
        ASSERT_EQ(p555, to555(v)) << std::hex << v;
    }
}
