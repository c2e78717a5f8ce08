// Reference counts and the end of objects: the chain goes with its primary,
// the surfaces and the display with the DirectDraw object.
#include <gtest/gtest.h>

#include "tests/platform/test_helpers.h"

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
