// Reference counts and the end of objects: the chain goes with its primary,
// the surfaces and the display with the DirectDraw object.
#include <gtest/gtest.h>

#include "tests/platform/test_helpers.h"

static const GUID kSurfaceInterface = {
    0x6C14DB81, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
static const GUID kOtherInterface = {0x12345678, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};

TEST(Lifetime, PrimaryReleaseTakesTheChainAndHeldBackBuffersBecomeHarmless) {
    IDirectDraw* directDraw = createFullScreen();
    ASSERT_NE(directDraw, nullptr);
    EXPECT_EQ(directDraw->AddRef(), 2u);
    EXPECT_EQ(directDraw->Release(), 1u);
    IDirectDrawSurface* front = createChain(directDraw);
    ASSERT_NE(front, nullptr);
    IDirectDrawSurface* back = backBufferOf(front);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->AddRef(), 3u); // the chain's, GetAttachedSurface's, this one
    EXPECT_EQ(back->Release(), 2u);
    void* same = nullptr;
    EXPECT_EQ(front->QueryInterface(kOtherInterface, &same), static_cast<HRESULT>(0x80004002u));
    EXPECT_EQ(same, nullptr);
    ASSERT_EQ(front->QueryInterface(kSurfaceInterface, &same), DD_OK);
    EXPECT_EQ(same, front);
    EXPECT_EQ(front->Release(), 1u);
    EXPECT_EQ(kxstandLiveObjects(), 4);

    kxstandClearCallLog();
    EXPECT_EQ(front->Release(), 0u);
    EXPECT_EQ(kxstandCallLog().back(), "IDirectDrawSurface::Release -> 0");
    EXPECT_EQ(kxstandLiveObjects(), 1);
    EXPECT_EQ(kxstandChainPixels(0), nullptr);
    // The held back buffer only counts down now; using it is a fault that is caught.
    EXPECT_EQ(kxstandDeadCalls(), 0);
    EXPECT_EQ(lockSurface(back), nullptr);
    EXPECT_EQ(kxstandDeadCalls(), 1);
    EXPECT_EQ(back->Release(), 0u);
    EXPECT_EQ(front->Release(), 0u);
    EXPECT_EQ(kxstandDeadCalls(), 2);

    // A new primary may be made once the old one is gone.
    front = createChain(directDraw);
    ASSERT_NE(front, nullptr);
    EXPECT_EQ(front->Release(), 0u);
    EXPECT_EQ(directDraw->Release(), 0u);
    EXPECT_EQ(kxstandLiveObjects(), 0);
}

TEST(Lifetime, ObjectReleaseEndsSurfacesExclusiveLevelAndMode) {
    IDirectDraw* directDraw = createFullScreen();
    ASSERT_NE(directDraw, nullptr);
    EXPECT_TRUE(kxstandExclusive());
    EXPECT_TRUE(kxstandDisplayModeSet());
    IDirectDrawSurface* front = createChain(directDraw);
    ASSERT_NE(front, nullptr);
    ASSERT_NE(lockSurface(front), nullptr);

    EXPECT_EQ(directDraw->Release(), 0u);
    EXPECT_FALSE(kxstandExclusive());
    EXPECT_FALSE(kxstandDisplayModeSet());
    EXPECT_EQ(kxstandLiveObjects(), 0);
    EXPECT_EQ(kxstandLockedSurfaces(), 0);
    EXPECT_EQ(kxstandChainPixels(0), nullptr);
    EXPECT_EQ(front->Release(), 0u); // the last count of a surface that is already gone
    EXPECT_EQ(kxstandDeadCalls(), 0);

    // Another object may take the display now.
    directDraw = createFullScreen();
    ASSERT_NE(directDraw, nullptr);
    EXPECT_EQ(directDraw->Release(), 0u);
    EXPECT_EQ(directDraw->Release(), 0u); // one release too many is caught
    EXPECT_EQ(kxstandDeadCalls(), 1);
    EXPECT_EQ(kxstandLiveObjects(), 0);
}
