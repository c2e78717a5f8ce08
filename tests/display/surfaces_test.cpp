// The flipping chain as a start makes it and frames use it: creation and
// clearing, no calls without a chain, a front buffer that will not lock,
// and a restore that fails. (The back buffer's address, pitch and loss as
// frames are drawn into it: RenderTarget.)
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "api/kxapi.h"
#include "platform/posix/standin_control.h"
#include "tests/support/test_support.h"

TEST(DisplaySurfaces, ChainIsClearedAndFailedClearsOnlyReport) {
    captureMessages();
    ASSERT_EQ(Init(), 1);
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
    Shutdown();

    // A busy blitter fails the clears; the chain is made all the same.
    kxstandFailCall("IDirectDrawSurface::Blt", DDERR_WASSTILLDRAWING, 1, 3);
    EXPECT_EQ(Init(), 1);
    EXPECT_TRUE(sawMessage("ddCreateSurfaces, failed front buffer clear\n"));
    EXPECT_TRUE(sawMessage("ddCreateSurfaces, failed back buffer clear\n"));
    EXPECT_TRUE(sawMessage("ddCreateSurfaces, failed second back buffer clear\n"));
    Shutdown();
    clearMessages();
    kxstandFailCall("IDirectDrawSurface::Flip", DDERR_WASSTILLDRAWING);
    EXPECT_EQ(Init(), 1);
    // The flip before the last clear: named, and that clear alone fails.
    EXPECT_EQ(countMessages("KX: debugDDrawErrMsg, DDERR_WASSTILLDRAWING (0x8876021C)\n"), 1);
    EXPECT_TRUE(sawMessage("ddCreateSurfaces, failed second back buffer clear\n"));
    EXPECT_FALSE(sawMessage("ddCreateSurfaces, failed front buffer clear\n"));
    EXPECT_FALSE(sawMessage("ddCreateSurfaces, failed back buffer clear\n"));
    Shutdown();
    EXPECT_EQ(kxstandLiveObjects(), 0);
}

// Frames and read-backs without a chain call nothing of DirectDraw.
TEST(DisplaySurfaces, NoChainNoCalls) {
    static uint8_t readBack[16 * 16 * 3];
    PageFlip();
    BltFromCard(readBack, 0, 0, 16, 16, 48, 2);
    EXPECT_TRUE(kxstandCallLog().empty());
    ASSERT_EQ(Init(), 1);
    Shutdown();
    kxstandClearCallLog();
    PageFlip();
    BltFromCard(readBack, 0, 0, 16, 16, 48, 2);
    EXPECT_TRUE(kxstandCallLog().empty());
    EXPECT_EQ(kxstandDeadCalls(), 0);
}

// A front buffer that will not lock is named and reads nothing back; the
// next read-back locks it again.
TEST(DisplaySurfaces, FrontBufferThatWillNotLock) {
    captureMessages();
    ASSERT_EQ(Init(), 1);
    static const uint8_t white[1] = {0};
    static const uint32_t palette[256] = {0xFFFFFFFF};
    BltToCard(white, 0, 0, 1, 1, 1, 0, palette);
    PageFlip();
    std::vector<uint8_t> pixel(3, 0x55);
    kxstandFailCall("IDirectDrawSurface::Lock", DDERR_SURFACEBUSY);
    clearMessages();
    BltFromCard(pixel.data(), 0, 479, 1, 1, 3, 2);
    EXPECT_TRUE(sawMessage("KX: debugDDrawErrMsg, DDERR_SURFACEBUSY (0x887601AE)\n"));
    EXPECT_EQ(pixel, (std::vector<uint8_t>{0x55, 0x55, 0x55}));
    EXPECT_EQ(kxstandLockedSurfaces(), 0);
    EXPECT_EQ(readShownFrame().at(0, 0), 0xFFFF);
    EXPECT_EQ(kxstandLockedSurfaces(), 0);
    Shutdown();
}

// A lost chain is restored by the render's lock of the back buffer, not by
// the flip; a restore that fails draws nothing, and the next frame's render
// restores the chain once more and is shown.
TEST(DisplaySurfaces, LostChainIsRestoredByTheRenderNotByTheFlip) {
    ASSERT_EQ(Init(), 1);
    PageFlip();
    EXPECT_EQ(kxstandCallCount("IDirectDrawSurface::Restore"), 0);
    kxstandLoseSurfaces();
    kxstandFailCall("IDirectDrawSurface::Restore", DDERR_GENERIC);
    PageFlip();
    EXPECT_EQ(kxstandCallCount("IDirectDrawSurface::Restore"), 1);
    EXPECT_EQ(kxstandLockedSurfaces(), 0);
    static const uint8_t red[1] = {0};
    static const uint32_t palette[256] = {0xFFFF0000};
    BltToCard(red, 5, 5, 1, 1, 1, 0, palette);
    PageFlip();
    EXPECT_EQ(kxstandCallCount("IDirectDrawSurface::Restore"), 2);
    EXPECT_EQ(chainPixel(0, 5, 5), 0xF800);
    Shutdown();
    EXPECT_EQ(kxstandLiveObjects(), 0);
}
