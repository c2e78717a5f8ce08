// Losing the chain and restoring it.
#include <gtest/gtest.h>

#include "tests/platform/test_helpers.h"

TEST(LossAndRestore, LostChainRefusesWorkUntilThePrimaryRestoresIt) {
    FullScreenChain chain;
    ASSERT_NO_FATAL_FAILURE(makeFullScreenChain(&chain));
    auto [directDraw, front, back] = chain;
    ASSERT_EQ(fill(front, 0), DD_OK);
    ASSERT_EQ(fill(back, 0), DD_OK);
    EXPECT_EQ(front->IsLost(), DD_OK);

    kxstandLoseSurfaces();
    EXPECT_EQ(front->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(back->IsLost(), DDERR_SURFACELOST);
    HRESULT result = DD_OK;
    EXPECT_EQ(lockSurface(back, nullptr, &result), nullptr);
    EXPECT_EQ(result, DDERR_SURFACELOST);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACELOST);
    EXPECT_EQ(fill(back, 0), DDERR_SURFACELOST);
    EXPECT_EQ(kxstandLockedSurfaces(), 0);

    // Only the primary brings the chain back; the pixels are leftovers.
    EXPECT_NE(back->Restore(), DD_OK);
    EXPECT_EQ(back->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(front->Restore(), DD_OK);
    EXPECT_EQ(front->IsLost(), DD_OK);
    EXPECT_EQ(back->IsLost(), DD_OK);
    EXPECT_NE(chainWord(0), 0);
    LONG pitch = 0;
    uint8_t* pixels = lockSurface(back, &pitch);
    ASSERT_NE(pixels, nullptr);
    EXPECT_NE(pixelAt(pixels, pitch, 0, 0), 0);
    EXPECT_EQ(back->Unlock(nullptr), DD_OK);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);

    EXPECT_EQ(back->Release(), 1u);
    EXPECT_EQ(front->Release(), 0u);
    EXPECT_EQ(directDraw->Release(), 0u);
    EXPECT_EQ(kxstandLiveObjects(), 0);
}
