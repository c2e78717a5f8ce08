// Opaque texels stay opaque under blending, seen through the exported entry
// points as a host leaves ssAlphaBlend(1) on for a whole frame: an 8888 wall
// hides what is drawn behind it later, and keyed sprites overlap by depth,
// not by the order they are drawn in.
#include <gtest/gtest.h>

#include <vector>

#include "api/kxapi.h"
#include "tests/e2e/e2e_support.h"

namespace {

void texturedQuad(float x0, float y0, float x1, float y1, float invW, uint32_t colour) {
    HostVertex q[4] = {vertex(x0, y0, invW, colour, 0, 0), vertex(x1, y0, invW, colour, 2, 0),
                       vertex(x1, y1, invW, colour, 2, 2), vertex(x0, y1, invW, colour, 0, 2)};
    DrawPrimitive(q, 4);
}

// 64 x 64 8888 checks of 8 texels, every alpha 0xFF.
std::vector<uint8_t> opaqueChecks() {
    std::vector<uint8_t> p;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            uint8_t c = ((x / 8 + y / 8) & 1) ? 0xE0 : 0x30;
            uint8_t px[4] = {uint8_t(c / 2), c, uint8_t(255 - c), 0xFF}; // blue, green, red, alpha
            p.insert(p.end(), px, px + 4);
        }
    return p;
}

TEST(OpacityScenes, AnOpaque8888QuadHidesATranslucentOneDrawnLaterBehindIt) {
    ASSERT_EQ(Init(), 1);
    std::vector<uint8_t> checks = opaqueChecks();
    TextureRecord* wall = LoadTexture(checks.data(), 64, 64, 0, 1, 0, nullptr);
    ASSERT_NE(wall, nullptr);
    ssAlphaBlend(1);
    auto near = [&] {
        SelectTexture(wall);
        texturedQuad(100, 100, 400, 350, 0.5f, 0xFFFFFFFF);
    };
    // The wall alone, then the wall with a half-transparent quad drawn after
    // it, farther away and overlapping it.
    near();
    PageFlip();
    RgbImage alone = shownFrame();
    near();
    SelectTexture(nullptr);
    texturedQuad(250, 200, 550, 450, 0.3f, 0x8040C0FF);
    PageFlip();
    RgbImage both = shownFrame();
    Shutdown();

    int overlap = 0, changed = 0;
    for (int y = 202; y < 348; ++y)
        for (int x = 252; x < 398; ++x) {
            ++overlap;
            changed += rgbAt(both, x, y) != rgbAt(alone, x, y);
        }
    EXPECT_EQ(changed, 0) << "of " << overlap << " pixels where the wall is in front";
    // Where the wall is not, the far quad blends over black at half alpha.
    EXPECT_EQ(rgbAt(both, 500, 400), 0x206080u);
    EXPECT_EQ(rgbAt(alone, 500, 400), 0u);
}

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
