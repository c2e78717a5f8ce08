// Locking, unlocking and colour fill of chain surfaces.
#include <gtest/gtest.h>

#include "tests/platform/test_helpers.h"

TEST(LockAndFill, LockRulesAndTheirBookkeeping) {
    FullScreenChain chain;
    ASSERT_NO_FATAL_FAILURE(makeFullScreenChain(&chain));
    auto [directDraw, front, back] = chain;

    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc + 1;
    EXPECT_EQ(back->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(back->Unlock(nullptr), DDERR_NOTLOCKED);

    HRESULT result = DD_OK;
    LONG pitch = 0;
    uint8_t* pixels = lockSurface(back, &pitch, &result);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels, kxstandChainPixels(1));
    EXPECT_EQ(kxstandLockedSurfaces(), 1);
    EXPECT_EQ(lockSurface(back, nullptr, &result), nullptr);
    EXPECT_EQ(result, DDERR_SURFACEBUSY);
    EXPECT_EQ(fill(back, 0), DDERR_SURFACEBUSY);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACEBUSY);
    EXPECT_NE(lockSurface(front), nullptr);
    EXPECT_EQ(kxstandLockedSurfaces(), 2);
    EXPECT_EQ(front->Unlock(nullptr), DD_OK);
    EXPECT_EQ(back->Unlock(nullptr), DD_OK);
    EXPECT_EQ(back->Unlock(nullptr), DDERR_NOTLOCKED);
    EXPECT_EQ(kxstandLockedSurfaces(), 0);
    EXPECT_TRUE(logHas("IDirectDrawSurface::Lock(0x1)"));

    // A locked surface released with its chain leaves no lock behind.
    ASSERT_NE(lockSurface(back), nullptr);
    EXPECT_EQ(back->Release(), 1u);
    EXPECT_EQ(front->Release(), 0u);
    EXPECT_EQ(kxstandLockedSurfaces(), 0);
    EXPECT_EQ(directDraw->Release(), 0u);
    EXPECT_EQ(kxstandLiveObjects(), 0);
}

TEST(LockAndFill, ColourFillCoversTheWholeSurfaceAndNoMore) {
    kxstandSetPitch(1600);
    IDirectDraw* directDraw = createFullScreen();
    ASSERT_NE(directDraw, nullptr);
    IDirectDrawSurface* front = createChain(directDraw);
    ASSERT_NE(front, nullptr);

    int pitch = 0;
    uint8_t* pixels = kxstandChainPixels(0, &pitch);
    ASSERT_EQ(pitch, 1600);
    const uint16_t padding = pixelAt(pixels, pitch, 640, 7); // beyond the row's last pixel

    DDBLTFX fx{};
    fx.dwSize = sizeof fx - 1;
    EXPECT_EQ(front->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDPARAMS);
    EXPECT_EQ(front->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, nullptr), DDERR_INVALIDPARAMS);
    ASSERT_EQ(fill(front, 0x12345), DD_OK);
    int wrong = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            wrong += pixelAt(pixels, pitch, x, y) != 0x2345;
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(pixelAt(pixels, pitch, 640, 7), padding);
    EXPECT_NE(pixelAt(kxstandChainPixels(1), pitch, 0, 0), 0x2345); // the back buffer untouched
    EXPECT_TRUE(logHas("IDirectDrawSurface::Blt(0x400)"));

    EXPECT_EQ(front->Release(), 0u);
    EXPECT_EQ(directDraw->Release(), 0u);
    EXPECT_EQ(kxstandLiveObjects(), 0);
}
