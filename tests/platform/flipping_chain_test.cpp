// The primary flipping chain: creation, memory, rotation on Flip.
#include <gtest/gtest.h>

#include "tests/platform/test_helpers.h"

namespace {

uint16_t chainWord(int position) {
    int pitch = 0;
    const uint8_t* pixels = kxstandChainPixels(position, &pitch);
    return pixels ? pixelAt(pixels, pitch, 10, 10) : 0;
}

} // namespace

TEST(FlippingChain, FlipRotatesMemoryWhileInterfacesStayPut) {
    IDirectDraw* directDraw = createFullScreen();
    ASSERT_NE(directDraw, nullptr);
    IDirectDrawSurface* front = createChain(directDraw);
    ASSERT_NE(front, nullptr);
    IDirectDrawSurface* back = backBufferOf(front);
    ASSERT_NE(back, nullptr);

    ASSERT_EQ(fill(front, 0x1111), DD_OK);
    ASSERT_EQ(fill(back, 0x2222), DD_OK);
    const uint16_t second = chainWord(2);
    EXPECT_EQ(chainWord(0), 0x1111);
    EXPECT_EQ(chainWord(1), 0x2222);
    EXPECT_NE(second, 0);

    const uint8_t* frontMemory = kxstandChainPixels(0);
    const uint8_t* backMemory = kxstandChainPixels(1);
    const uint8_t* secondMemory = kxstandChainPixels(2);
    ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(kxstandChainPixels(0), backMemory);
    EXPECT_EQ(kxstandChainPixels(1), secondMemory);
    EXPECT_EQ(kxstandChainPixels(2), frontMemory);
    EXPECT_EQ(chainWord(0), 0x2222);
    EXPECT_EQ(chainWord(1), second);
    EXPECT_EQ(chainWord(2), 0x1111);

    // The same back buffer interface now draws into what was the second back buffer.
    LONG pitch = 0;
    EXPECT_EQ(lockSurface(back, &pitch), secondMemory);
    EXPECT_EQ(back->Unlock(nullptr), DD_OK);
    EXPECT_TRUE(logHas("IDirectDrawSurface::Flip(0x1)"));

    EXPECT_EQ(back->Release(), 1u);
    EXPECT_EQ(front->Release(), 0u);
    EXPECT_EQ(directDraw->Release(), 0u);
    EXPECT_EQ(kxstandLiveObjects(), 0);
    EXPECT_EQ(kxstandDeadCalls(), 0);
}
