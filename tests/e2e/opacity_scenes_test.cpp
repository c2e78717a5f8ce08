// Opaque texels stay opaque under blending, seen through the exported entry
// points as a host leaves ssAlphaBlend(1) on for a whole frame: keyed sprites
// overlap by depth, not by the order they are drawn in. (An opaque 8888 quad
// under blending: the Mesa oracle's opaque_texels_under_blending scene.)
#include <gtest/gtest.h>

#include <vector>

#include "api/kxapi.h"
#include "tests/e2e/e2e_support.h"

namespace {

// Sprites of 64 x 64 indexed texels with their own palette: a disc of index
// 1 on index 0, the key colour.
constexpr uint32_t kKey = 0xFFFF00FF;

TextureRecord* discSprite(std::vector<uint8_t>& pixels, std::vector<uint32_t>& palette,
                          uint32_t colour) {
    pixels.assign(64 * 64, 0);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            if ((x - 31.5) * (x - 31.5) + (y - 31.5) * (y - 31.5) < 30 * 30)
                pixels[size_t(y) * 64 + size_t(x)] = 1;
    palette.assign(256, 0xFF000000);
    palette[0] = kKey;
    palette[1] = colour;
    return LoadTexture(pixels.data(), 64, 64, 0, 0, 0, palette.data());
}

TEST(OpacityScenes, KeyedSpritesOverlapByDepthWhateverTheOrderTheyAreDrawnIn) {
    ASSERT_EQ(Init(), 1);
    std::vector<uint8_t> pixels[2];
    std::vector<uint32_t> palettes[2];
    ssChromaKey(1, kKey);
    ssAlphaBlend(1);
    TextureRecord* red = discSprite(pixels[0], palettes[0], 0xFFFF0000);
    TextureRecord* green = discSprite(pixels[1], palettes[1], 0xFF00FF00);
    auto sprite = [](TextureRecord* t, float x, float invW) {
        SelectTexture(t);
        HostVertex q[4] = {
            vertex(x, 100, invW, 0xFFFFFFFF, 0, 0), vertex(x + 256, 100, invW, 0xFFFFFFFF, 1, 0),
            vertex(x + 256, 356, invW, 0xFFFFFFFF, 1, 1), vertex(x, 356, invW, 0xFFFFFFFF, 0, 1)};
        DrawPrimitive(q, 4);
    };
    // The red sprite is nearer. Drawn first, then drawn last.
    sprite(red, 100, 0.8f);
    sprite(green, 250, 0.4f);
    PageFlip();
    RgbImage nearFirst = shownFrame();
    sprite(green, 250, 0.4f);
    sprite(red, 100, 0.8f);
    PageFlip();
    RgbImage nearLast = shownFrame();
    Shutdown();

    int differing = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            differing += rgbAt(nearFirst, x, y) != rgbAt(nearLast, x, y);
    EXPECT_EQ(differing, 0);
    for (const RgbImage* frame : {&nearFirst, &nearLast}) {
        EXPECT_EQ(rgbAt(*frame, 300, 228), 0xF80000u) << "both discs: the nearer red one";
        EXPECT_EQ(rgbAt(*frame, 345, 130), 0x00FC00u) << "red's keyed corner over green";
        EXPECT_EQ(rgbAt(*frame, 120, 115), 0u) << "keyed corner over nothing";
    }
}

} // namespace
