// softsgl as the driver drives it, through the exported entry points and read
// back with BltFromCard: the render states the driver sets decide how a
// primitive is drawn.
#include <gtest/gtest.h>

#include <vector>

#include "driver/kxapi.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

// Pixel (x, y) of the shown frame as 0xRRGGBB (the read-back's rows are
// bottom-up, three bytes blue, green, red).
uint32_t shownPixel(const std::vector<uint8_t>& bgr, int x, int y) {
    const uint8_t* p = bgr.data() + size_t(kHeight - 1 - y) * kWidth * 3 + size_t(x) * 3;
    return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

// A 32 x 32 8888 image of one colour and alpha (bytes blue, green, red, alpha).
std::vector<uint32_t> solid8888(uint32_t argb) {
    return std::vector<uint32_t>(32 * 32, argb);
}

void texturedQuad(TextureRecord* texture, float x0, float y0, float x1, float y1, float invW,
                  uint32_t colour) {
    SelectTexture(texture);
    HostVertex q[4] = {{x0, y0, 1 - invW, invW, 0, 0, colour},
                       {x1, y0, 1 - invW, invW, invW, 0, colour},
                       {x1, y1, 1 - invW, invW, invW, invW, colour},
                       {x0, y1, 1 - invW, invW, 0, invW, colour}};
    DrawPrimitive(q, 4);
}

// An 8888 texture always makes a translucent map; with blending off it is
// still drawn opaque, depth-tested and depth-writing, so the nearer of two
// overlapping quads shows whichever is sent first, and neither the texel
// alpha nor the vertex alpha lets anything through.
TEST(SoftsglThroughTheDriver, BlendingOffDraws8888TexturesOpaqueInEitherOrder) {
    ASSERT_EQ(Init(), 1);
    const uint32_t kNear = 0x40402040, kFar = 0x40101008; // alpha 0x40: mostly transparent
    std::vector<uint32_t> nearImage = solid8888(kNear), farImage = solid8888(kFar);
    TextureRecord* nearTexture = LoadTexture(nearImage.data(), 32, 32, 0, 1, 0, nullptr);
    TextureRecord* farTexture = LoadTexture(farImage.data(), 32, 32, 0, 1, 0, nullptr);
    ASSERT_TRUE(nearTexture && farTexture);
    for (bool nearFirst : {true, false}) {
        ssAlphaBlend(1); // leaves per-vertex translucency on; mode 0 turns it off again
        ssAlphaBlend(0);
        if (nearFirst) texturedQuad(nearTexture, 100, 100, 200, 200, 0.8f, 0x80FFFFFF);
        texturedQuad(farTexture, 150, 150, 250, 250, 0.4f, 0x80FFFFFF);
        if (!nearFirst) texturedQuad(nearTexture, 100, 100, 200, 200, 0.8f, 0x80FFFFFF);
        PageFlip();
        std::vector<uint8_t> bgr(size_t(kWidth) * kHeight * 3);
        ASSERT_EQ(BltFromCard(bgr.data(), 0, 0, kWidth, kHeight, kWidth * 3, 2), 1);
        const char* order = nearFirst ? "near quad sent first" : "far quad sent first";
        EXPECT_EQ(shownPixel(bgr, 123, 121), 0x402040u) << order; // near only
        EXPECT_EQ(shownPixel(bgr, 175, 175), 0x402040u) << order; // both: the near one
        EXPECT_EQ(shownPixel(bgr, 225, 225), 0x101008u) << order; // far only
        EXPECT_EQ(shownPixel(bgr, 300, 300), 0u) << order;        // neither: black
    }
    Shutdown();
}

} // namespace
