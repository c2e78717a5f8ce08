// The DirectDraw object: cooperative level, display mode, capabilities,
// vertical blank.
#include <gtest/gtest.h>

#include "tests/platform/test_helpers.h"

TEST(DisplayObject, CooperativeLevelAndModeRules) {
    IDirectDraw* directDraw = createDirectDraw();
    ASSERT_NE(directDraw, nullptr);
    const DWORD fullScreen = DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN;
    HWND window = kxstandCreateWindow();
    kxstandDestroyWindow(window);
    EXPECT_EQ(directDraw->SetCooperativeLevel(window, fullScreen), DDERR_INVALIDPARAMS);
    EXPECT_EQ(directDraw->SetCooperativeLevel(nullptr, fullScreen), DDERR_INVALIDPARAMS);
    EXPECT_EQ(directDraw->SetCooperativeLevel(kxstandDefaultWindow(), DDSCL_EXCLUSIVE),
              DDERR_INVALIDPARAMS);
    EXPECT_FALSE(kxstandExclusive());
    // As under Wine, a mode the display cannot show is unsupported, whatever
    // the level; the mode itself does not need the exclusive level.
    EXPECT_EQ(directDraw->SetDisplayMode(800, 600, 16), DDERR_UNSUPPORTED);
    IDirectDraw* normal = createDirectDraw();
    ASSERT_NE(normal, nullptr);
    EXPECT_EQ(normal->SetDisplayMode(640, 480, 16), DD_OK);
    EXPECT_EQ(normal->Release(), 0u);
    EXPECT_FALSE(kxstandDisplayModeSet()); // ended with its object

    ASSERT_EQ(directDraw->SetCooperativeLevel(kxstandDefaultWindow(), fullScreen), DD_OK);
    EXPECT_TRUE(kxstandExclusive());
    EXPECT_TRUE(logHas("IDirectDraw::SetCooperativeLevel(0x11)"));
    EXPECT_EQ(directDraw->SetDisplayMode(800, 600, 16), DDERR_UNSUPPORTED);
    EXPECT_EQ(directDraw->SetDisplayMode(640, 480, 32), DDERR_UNSUPPORTED);
    EXPECT_FALSE(kxstandDisplayModeSet());
    kxstandSetModeSupported(false);
    EXPECT_EQ(directDraw->SetDisplayMode(640, 480, 16), DDERR_UNSUPPORTED);
    kxstandSetModeSupported(true);
    EXPECT_EQ(directDraw->SetDisplayMode(640, 480, 16), DD_OK);
    EXPECT_TRUE(kxstandDisplayModeSet());
    EXPECT_TRUE(logHas("IDirectDraw::SetDisplayMode(640, 480, 16)"));

    // One object at a time holds the display.
    IDirectDraw* other = createDirectDraw();
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->SetCooperativeLevel(kxstandDefaultWindow(), fullScreen),
              DDERR_EXCLUSIVEMODEALREADYSET);
    EXPECT_EQ(other->Release(), 0u);
    EXPECT_TRUE(kxstandExclusive());
    EXPECT_EQ(directDraw->Release(), 0u);
    EXPECT_EQ(kxstandLiveObjects(), 0);
}

TEST(DisplayObject, CapabilitiesFillBothRecords) {
    IDirectDraw* directDraw = createDirectDraw();
    ASSERT_NE(directDraw, nullptr);
    DDCAPS driver, emulation;
    std::memset(&driver, 0xAB, sizeof driver);
    std::memset(&emulation, 0xAB, sizeof emulation);
    driver.dwSize = sizeof driver;
    emulation.dwSize = 100;
    EXPECT_EQ(directDraw->GetCaps(&driver, &emulation), DDERR_INVALIDPARAMS);
    EXPECT_EQ(directDraw->GetCaps(nullptr, nullptr), DDERR_INVALIDPARAMS);
    emulation.dwSize = sizeof emulation;
    ASSERT_EQ(directDraw->GetCaps(&driver, &emulation), DD_OK);
    EXPECT_EQ(driver.dwSize, sizeof driver);
    const DWORD blits = DDCAPS_BLT | DDCAPS_BLTCOLORFILL | DDCAPS_BLTSTRETCH;
    EXPECT_EQ(driver.dwCaps & blits, blits);
    EXPECT_GT(driver.dwVidMemTotal, 3u * 1536 * 480);
    EXPECT_EQ(driver.dwVidMemFree, driver.dwVidMemTotal);
    EXPECT_EQ(driver.dwNLVBRops[7], 0u); // the whole record, not a prefix
    EXPECT_EQ(emulation.dwVidMemTotal, 0u);
    EXPECT_NE(emulation.dwCaps, 0u);

    kxstandSetDriverCaps(DDCAPS_BLT | DDCAPS_ALIGNBOUNDARYDEST);
    ASSERT_EQ(directDraw->GetCaps(&driver, nullptr), DD_OK);
    EXPECT_EQ(driver.dwCaps, DDCAPS_BLT | DDCAPS_ALIGNBOUNDARYDEST);
    EXPECT_EQ(directDraw->Release(), 0u);
    EXPECT_EQ(kxstandLiveObjects(), 0);
}

TEST(DisplayObject, VerticalBlankAlternatesAndWaitsLandOnTheirEdge) {
    IDirectDraw* directDraw = createDirectDraw();
    ASSERT_NE(directDraw, nullptr);
    BOOL first = FALSE, second = FALSE;
    ASSERT_EQ(directDraw->GetVerticalBlankStatus(&first), DD_OK);
    ASSERT_EQ(directDraw->GetVerticalBlankStatus(&second), DD_OK);
    EXPECT_NE(first, second); // a poll for either edge ends
    EXPECT_EQ(directDraw->GetVerticalBlankStatus(nullptr), DDERR_INVALIDPARAMS);

    BOOL inBlank = FALSE;
    ASSERT_EQ(directDraw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DD_OK);
    ASSERT_EQ(directDraw->GetVerticalBlankStatus(&inBlank), DD_OK);
    EXPECT_TRUE(inBlank);
    ASSERT_EQ(directDraw->WaitForVerticalBlank(DDWAITVB_BLOCKEND, nullptr), DD_OK);
    ASSERT_EQ(directDraw->GetVerticalBlankStatus(&inBlank), DD_OK);
    EXPECT_FALSE(inBlank);
    EXPECT_EQ(directDraw->WaitForVerticalBlank(2, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_TRUE(logHas("IDirectDraw::WaitForVerticalBlank(0x4)"));
    EXPECT_EQ(kxstandClockMs(), 0u);
    EXPECT_EQ(directDraw->Release(), 0u);
    EXPECT_EQ(kxstandLiveObjects(), 0);
}
