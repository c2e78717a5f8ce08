// The flipping chain: creation and clearing, locks, the render target's
// address and pitch, loss and restore, flips.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "display/display.h"
#include "platform/posix/standin_control.h"
#include "tests/support/test_support.h"

TEST(DisplaySurfaces, ChainIsClearedAndFailedClearsOnlyReport) {
    captureMessages();
    ASSERT_EQ(ddrawInit(kxstandDefaultWindow()), 1);
    // A clear of each buffer, the second one's after a flip has put it
    // behind the front buffer (what the clears leave: ScreenClears).
    const std::vector<std::string> clears = {
        "IDirectDrawSurface::Blt(0x400)", "IDirectDrawSurface::Blt(0x400)",
        "IDirectDrawSurface::Flip(0x1)", "IDirectDrawSurface::Blt(0x1000400)"};
    std::vector<std::string> made;
    for (const std::string& line : kxstandCallLog())
        if (line.rfind("IDirectDrawSurface::Blt", 0) == 0 ||
            line.rfind("IDirectDrawSurface::Flip", 0) == 0)
            made.push_back(line);
    EXPECT_EQ(made, clears);
    ddrawShutdown();

    // A busy blitter fails the clears; the chain is made all the same.
    kxstandFailCall("IDirectDrawSurface::Blt", DDERR_WASSTILLDRAWING, 1, 3);
    EXPECT_EQ(ddrawInit(kxstandDefaultWindow()), 1);
    EXPECT_TRUE(sawMessage("ddCreateSurfaces, failed front buffer clear\n"));
    EXPECT_TRUE(sawMessage("ddCreateSurfaces, failed back buffer clear\n"));
    EXPECT_TRUE(sawMessage("ddCreateSurfaces, failed second back buffer clear\n"));
    ddrawShutdown();
    clearMessages();
    kxstandFailCall("IDirectDrawSurface::Flip", DDERR_WASSTILLDRAWING);
    EXPECT_EQ(ddrawInit(kxstandDefaultWindow()), 1);
    EXPECT_EQ(driverMessages(), (std::vector<std::string>{
                                    "KX: debugDDrawErrMsg, DDERR_WASSTILLDRAWING (0x8876021C)\n",
                                    "ddCreateSurfaces, failed second back buffer clear\n"}));
    ddrawShutdown();
    EXPECT_EQ(kxstandLiveObjects(), 0);
}

TEST(DisplaySurfaces, NoSurfaceNoChainNoObject) {
    captureMessages();
    void* address = nullptr;
    int32_t pitch = 0;
    EXPECT_EQ(ddLock(nullptr, &address, &pitch), 0);
    EXPECT_TRUE(sawMessage("ddLock, passed invalid surface pointer!\n"));
    EXPECT_EQ(ddUnlock(nullptr), 0);
    EXPECT_TRUE(sawMessage("ddUnlock passed invalid surface!\n"));
    EXPECT_EQ(ddCreateSurfaces(), 0);
    EXPECT_TRUE(sawMessage("ddCreateSurfaces, pDirectDraw == NULL\n"));
    EXPECT_EQ(ddFlip(), 0);
    EXPECT_EQ(ddLockFrontBuffer(&address, &pitch), 0);
    EXPECT_EQ(kxstandCallLog().size(), 0u);

    ASSERT_EQ(ddrawInit(kxstandDefaultWindow()), 1);
    ddrawShutdown();
    EXPECT_EQ(ddFlip(), 0);
}

TEST(DisplaySurfaces, WindowInfoGivesTheBackBufferAsItIs) {
    captureMessages();
    const int pitch = 32768 + 1536;
    kxstandSetPitch(pitch);
    kxstandSetSurfaceOffset(4);
    ASSERT_EQ(ddrawInit(kxstandDefaultWindow()), 1);

    uint8_t* target = nullptr;
    uint16_t shortPitch = 0;
    ASSERT_EQ(ddGetWindowInfo(nullptr, &target, &shortPitch), 1); // the window plays no part
    EXPECT_EQ(target, kxstandChainPixels(1));
    EXPECT_EQ(shortPitch, pitch);
    EXPECT_EQ(kxstandLockedSurfaces(), 1);
    EXPECT_EQ(ddUnlockBackBuffer(), 1);
    EXPECT_EQ(kxstandLockedSurfaces(), 0);

    void* front = nullptr;
    int32_t frontPitch = 0;
    ASSERT_EQ(ddLockFrontBuffer(&front, &frontPitch), 1);
    EXPECT_EQ(front, kxstandChainPixels(0));
    EXPECT_EQ(frontPitch, pitch);
    EXPECT_EQ(ddUnlockFrontBuffer(), 1);

    // A failing lock leaves the caller's outputs alone.
    kxstandFailCall("IDirectDrawSurface::Lock", DDERR_SURFACEBUSY);
    EXPECT_EQ(ddLockFrontBuffer(&front, &frontPitch), 0);
    EXPECT_EQ(frontPitch, pitch);
    EXPECT_TRUE(sawMessage("KX: debugDDrawErrMsg, DDERR_SURFACEBUSY (0x887601AE)\n"));
    EXPECT_EQ(kxstandLockedSurfaces(), 0);
    ddrawShutdown();
}

TEST(DisplaySurfaces, LostChainIsRestoredByWindowInfoNotByFlip) {
    ASSERT_EQ(ddrawInit(kxstandDefaultWindow()), 1);
    uint8_t* target = nullptr;
    uint16_t pitch = 0;
    ASSERT_EQ(ddGetWindowInfo(nullptr, &target, &pitch), 1);
    ddUnlockBackBuffer();
    EXPECT_EQ(kxstandCallCount("IDirectDrawSurface::Restore"), 0);

    kxstandLoseSurfaces();
    clearMessages();
    EXPECT_EQ(ddFlip(), 0);
    EXPECT_EQ(driverMessages(),
              std::vector<std::string>{"KX: debugDDrawErrMsg, DDERR_SURFACELOST (0x887601C2)\n"});
    EXPECT_EQ(kxstandCallCount("IDirectDrawSurface::Restore"), 0);

    // A restore that fails locks nothing; the next attempt restores once.
    kxstandFailCall("IDirectDrawSurface::Restore", ddHResult(587));
    EXPECT_EQ(ddGetWindowInfo(nullptr, &target, &pitch), 0);
    EXPECT_EQ(kxstandLockedSurfaces(), 0);
    ASSERT_EQ(ddGetWindowInfo(nullptr, &target, &pitch), 1);
    EXPECT_EQ(target, kxstandChainPixels(1));
    ddUnlockBackBuffer();
    // The restored chain flips again (what it shows: RenderTarget).
    EXPECT_EQ(ddFlip(), 1);
    EXPECT_EQ(kxstandCallCount("IDirectDrawSurface::Restore"), 2);
    ddrawShutdown();
    EXPECT_EQ(kxstandLiveObjects(), 0);
}
