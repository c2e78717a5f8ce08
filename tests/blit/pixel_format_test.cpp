// The screen pixel format a start learns from the primary surface: the
// message naming its masks, the bits a pixel the renderer is told, and
// host colours as they reach the screen.
#include <gtest/gtest.h>

#include "api/kxapi.h"
#include "platform/posix/standin_control.h"
#include "softsgl/softsgl_control.h"
#include "tests/support/test_support.h"

TEST(ScreenPixelFormat, LearntFromThePrimarySurface) {
    // Host colours 0xAARRGGBB (alpha plays no part) and their pixels, worked
    // out by hand: the top 5, 6, 5 bits of red, green, blue on a 565
    // display, 5, 5, 5 on a 555 one.
    const struct {
        uint32_t colour;
        uint16_t on565, on555;
    } colours[] = {
        {0x00FFFFFF, 0xFFFF, 0x7FFF}, {0x00F8FCF8, 0xFFFF, 0x7FFF}, {0x00070307, 0x0000, 0x0000},
        {0x00123456, 0x11AA, 0x08CA}, {0x80FF0000, 0xF800, 0x7C00}, {0x0000FF00, 0x07E0, 0x03E0},
        {0x000000FF, 0x001F, 0x001F}, {0x00000800, 0x0040, 0x0020}, {0x00040404, 0x0020, 0x0000},
        {0xFF808080, 0x8410, 0x4210},
    };
    constexpr int count = sizeof colours / sizeof colours[0];
    uint32_t palette[256] = {};
    uint8_t indices[count];
    for (int k = 0; k < count; ++k) {
        palette[k] = colours[k].colour;
        indices[k] = uint8_t(k);
    }
    for (bool is565 : {true, false}) {
        kxstandSetPixelFormat565(is565);
        clearMessages();
        ASSERT_EQ(Init(), 1);
        EXPECT_TRUE(sawMessage(
            is565 ? "ddGetPixelFormat: Masks - r f800, g 07e0, b 001f  Shifts: r 8, g 3, b -3\n"
                  : "ddGetPixelFormat: Masks - r 7c00, g 03e0, b 001f  Shifts: r 7, g 2, b -3\n"));
        EXPECT_EQ(BltToCard(indices, 0, 0, count, 1, count, 0, palette), 1);
        PageFlip();
        // The renderer is told the display's bits a pixel: 15 on a 555 one.
        uint8_t* target = nullptr;
        int stride = 0, bits = 0;
        softsglLastTarget(&target, &stride, &bits);
        EXPECT_EQ(bits, is565 ? 16 : 15);
        for (int k = 0; k < count; ++k)
            EXPECT_EQ(chainPixel(0, k, 0), is565 ? colours[k].on565 : colours[k].on555)
                << std::hex << colours[k].colour << (is565 ? " 565" : " 555");
        Shutdown();
    }
}
