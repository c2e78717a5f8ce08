// BltFromCard and BltFromCardToCard through the exported entry points, on
// the stand-in's front buffer with 565 and 555 displays.
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

#include "tests/blit/blit_test_helpers.h"

namespace {

struct Masks {
    uint16_t red, green, blue;
    int redShift, greenShift, blueShift;
};
const Masks k565 = {0xF800, 0x07E0, 0x001F, 8, 3, -3};
const Masks k555 = {0x7C00, 0x03E0, 0x001F, 7, 2, -3};

uint8_t component(uint16_t p, uint16_t mask, int shift) {
    unsigned v = p & mask;
    return static_cast<uint8_t>(shift > 0 ? v >> shift : v << -shift);
}

// Destination row i holds screen row h - 1 - i as blue, green, red bytes.
std::vector<uint8_t> expectedReadBack(std::vector<uint8_t> dst, int w, int h, int pitch,
                                      const Masks& m) {
    for (int i = 0; i < h; ++i)
        for (int j = 0; j < w; ++j) {
            uint16_t p = chainPixel(0, j, h - 1 - i);
            uint8_t* o = &dst[static_cast<size_t>(i) * pitch + 3 * j];
            o[0] = component(p, m.blue, m.blueShift);
            o[1] = component(p, m.green, m.greenShift);
            o[2] = component(p, m.red, m.redShift);
        }
    return dst;
}

void fillFrontBuffer(unsigned seed) {
    std::mt19937 rng(seed);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            setChainPixel(0, x, y, static_cast<uint16_t>(rng()));
}

void readsBackBottomUp(const Masks& m, uint16_t red, uint16_t blue, uint16_t white) {
    ASSERT_EQ(Init(), 1);
    // Top screen row red, the second blue: the first destination row gets
    // the blue pixels.
    setChainPixel(0, 0, 0, red);
    setChainPixel(0, 1, 0, red);
    setChainPixel(0, 0, 1, blue);
    setChainPixel(0, 1, 1, blue);
    uint8_t small[2 * 6];
    EXPECT_EQ(BltFromCard(small, 0, 0, 2, 2, 6, 2), 1);
    const uint8_t expectedSmall[] = {0xF8, 0, 0, 0xF8, 0, 0, 0, 0, 0xF8, 0, 0, 0xF8};
    EXPECT_EQ(std::vector<uint8_t>(small, small + 12),
              std::vector<uint8_t>(expectedSmall, expectedSmall + 12));
    setChainPixel(0, 0, 0, white);
    uint8_t one[3];
    EXPECT_EQ(BltFromCard(one, 0, 0, 1, 1, 3, 2), 1);
    EXPECT_EQ(one[0], 0xF8);
    EXPECT_EQ(one[1], m.green == 0x07E0 ? 0xFC : 0xF8);
    EXPECT_EQ(one[2], 0xF8);

    // Random pixels; a pitch wider than 3 x width leaves the gap untouched,
    // and the second and third arguments move nothing.
    fillFrontBuffer(11);
    const int w = 37, h = 23, pitch = 3 * w + 5;
    std::vector<uint8_t> dst = randomIndices(12, static_cast<size_t>(pitch) * h);
    std::vector<uint8_t> expected = expectedReadBack(dst, w, h, pitch, m);
    EXPECT_EQ(BltFromCard(dst.data(), 17, -9, w, h, pitch, 2), 1);
    EXPECT_EQ(dst, expected);
    EXPECT_EQ(kxstandLockedSurfaces(), 0);
}

} // namespace

TEST(BltFromCard, ReadsBottomUpOnA565Display) {
    readsBackBottomUp(k565, 0xF800, 0x001F, 0xFFFF);
}

TEST(BltFromCard, ReadsBottomUpOnA555Display) {
    kxstandSetPixelFormat565(false);
    readsBackBottomUp(k555, 0x7C00, 0x001F, 0x7FFF);
}

TEST(BltFromCard, OtherFormatsLockButCopyNothing) {
    ASSERT_EQ(Init(), 1);
    fillFrontBuffer(13);
    std::vector<uint8_t> dst = randomIndices(14, 3 * 8 * 8), before = dst;
    int locks = kxstandCallCount("IDirectDrawSurface::Lock");
    int unlocks = kxstandCallCount("IDirectDrawSurface::Unlock");
    clearMessages();
    for (uint32_t format : {0u, 1u, 3u, 4u, 5u, 6u, 0xFFFFFFFFu})
        EXPECT_EQ(BltFromCard(dst.data(), 0, 0, 8, 8, 24, format), 1);
    EXPECT_EQ(dst, before);
    EXPECT_EQ(kxstandCallCount("IDirectDrawSurface::Lock"), locks + 7);
    EXPECT_EQ(kxstandCallCount("IDirectDrawSurface::Unlock"), unlocks + 7);
    EXPECT_TRUE(driverMessages().empty());
}

TEST(BltFromCard, ClipsToTheScreen) {
    ASSERT_EQ(Init(), 1);
    fillFrontBuffer(15);
    // Asked for 700 x 500: 640 x 480 are read, the lowest screen row first;
    // the rest of the host's buffer stays as it was.
    const int pitch = 3 * 700;
    std::vector<uint8_t> dst = randomIndices(16, static_cast<size_t>(pitch) * 500);
    std::vector<uint8_t> expected = expectedReadBack(dst, 640, 480, pitch, k565);
    EXPECT_EQ(BltFromCard(dst.data(), 0, 0, 700, 500, pitch, 2), 1);
    EXPECT_EQ(dst, expected);
    std::vector<uint8_t> full = randomIndices(17, 3 * 640 * 480);
    expected = expectedReadBack(full, 640, 480, 3 * 640, k565);
    EXPECT_EQ(BltFromCard(full.data(), 0, 0, INT_MAX, INT_MAX, 3 * 640, 2), 1);
    EXPECT_EQ(full, expected);
    // Nothing to read.
    std::vector<uint8_t> before = full;
    EXPECT_EQ(BltFromCard(full.data(), 0, 0, 0, 5, 3 * 640, 2), 1);
    EXPECT_EQ(BltFromCard(full.data(), 0, 0, 5, INT_MIN, 3 * 640, 2), 1);
    EXPECT_EQ(full, before);
}

TEST(BltFromCard, WithoutALockableFrontBufferCopiesNothingAndFails) {
    std::vector<uint8_t> dst = randomIndices(18, 3 * 4 * 4), before = dst;
    EXPECT_EQ(BltFromCard(dst.data(), 0, 0, 4, 4, 12, 2), 0); // before Init
    ASSERT_EQ(Init(), 1);
    EXPECT_EQ(BltFromCard(nullptr, 0, 0, 4, 4, 12, 2), 1); // no buffer: nothing copied
    int unlocks = kxstandCallCount("IDirectDrawSurface::Unlock");
    kxstandFailCall("IDirectDrawSurface::Lock", DDERR_SURFACELOST);
    EXPECT_EQ(BltFromCard(dst.data(), 0, 0, 4, 4, 12, 2), 0);
    EXPECT_EQ(kxstandCallCount("IDirectDrawSurface::Unlock"), unlocks);
    Shutdown();
    EXPECT_EQ(BltFromCard(dst.data(), 0, 0, 4, 4, 12, 2), 0);
    EXPECT_EQ(dst, before);
}

TEST(BltFromCardToCard, ReportsItIsNotServed) {
    ASSERT_EQ(Init(), 1);
    paint(0);
    paint(1);
    Surface front = Surface::capture(0), back = Surface::capture(1);
    clearMessages();
    EXPECT_EQ(BltFromCardToCard(), 0);
    std::vector<std::string> expected = {"BltFromCardToCard not yet implemented\n"};
    EXPECT_EQ(driverMessages(), expected);
    EXPECT_EQ(Surface::capture(0).bytes, front.bytes);
    EXPECT_EQ(Surface::capture(1).bytes, back.bytes);
}
