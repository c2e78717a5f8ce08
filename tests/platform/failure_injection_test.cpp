// Failures on demand and the call log.
#include <gtest/gtest.h>

#include "tests/platform/test_helpers.h"

TEST(FailureInjection, FailsTheChosenCallsOnlyAndLogsEveryCall) {
    IDirectDraw* directDraw = createFullScreen();
    ASSERT_NE(directDraw, nullptr);
    IDirectDrawSurface* front = createChain(directDraw);
    ASSERT_NE(front, nullptr);

    // The third and fourth calls from now.
    kxstandFailCall("IDirectDrawSurface::Lock", DDERR_SURFACELOST, 3, 2);
    HRESULT results[5];
    for (HRESULT& result : results) {
        lockSurface(front, nullptr, &result);
        front->Unlock(nullptr);
    }
    const HRESULT expectedResults[5] = {DD_OK, DD_OK, DDERR_SURFACELOST, DDERR_SURFACELOST, DD_OK};
    EXPECT_TRUE(std::equal(results, results + 5, expectedResults));
    EXPECT_EQ(kxstandLockedSurfaces(), 0);

    // A failing method does nothing: no flip happens.
    const uint8_t* shown = kxstandChainPixels(0);
    kxstandFailCall("IDirectDrawSurface::Flip", DDERR_WASSTILLDRAWING, 1, -1);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DDERR_WASSTILLDRAWING);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DDERR_WASSTILLDRAWING);
    EXPECT_EQ(kxstandChainPixels(0), shown);
    kxstandClearFailures();
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_NE(kxstandChainPixels(0), shown);
    EXPECT_EQ(kxstandCallCount("IDirectDrawSurface::Flip"), 3);
    EXPECT_EQ(kxstandCallCount("IDirectDrawSurface::Lock"), 5);

    // With logging off calls are still counted and failed, but not logged.
    kxstandClearCallLog();
    kxstandSetCallLogging(false);
    kxstandFailCall("IDirectDrawSurface::Flip", DDERR_GENERIC);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DDERR_GENERIC);
    kxstandSetCallLogging(true);
    EXPECT_TRUE(kxstandCallLog().empty());
    EXPECT_EQ(kxstandCallCount("IDirectDrawSurface::Flip"), 4);

    // A failed Release keeps the object and returns the given value as its count.
    kxstandFailCall("IDirectDrawSurface::Release", 1);
    EXPECT_EQ(front->Release(), 1u);
    EXPECT_EQ(kxstandLiveObjects(), 4);

    kxstandClearCallLog();
    EXPECT_EQ(front->Release(), 0u);
    kxstandFailCall("DirectDrawCreate", ddHResult(563));
    IDirectDraw* none = nullptr;
    EXPECT_EQ(loadDirectDrawCreate()(nullptr, &none, nullptr), ddHResult(563));
    EXPECT_EQ(none, nullptr);
    Sleep(100);
    EXPECT_EQ(directDraw->Release(), 0u);
    const std::vector<std::string> expected = {"IDirectDrawSurface::Release -> 0",
                                               "LoadLibraryA",
                                               "GetProcAddress",
                                               "DirectDrawCreate",
                                               "Sleep(100)",
                                               "IDirectDraw::Release -> 0"};
    EXPECT_EQ(kxstandCallLog(), expected);
    EXPECT_EQ(kxstandLiveObjects(), 0);
}

TEST(FailureInjection, FailingWin32CallsReturnTheirFailureValues) {
    kxstandFailCall("GetActiveWindow", 0);
    EXPECT_EQ(GetActiveWindow(), nullptr);
    EXPECT_EQ(GetActiveWindow(), kxstandDefaultWindow());

    kxstandFailCall("IsWindow", 0);
    EXPECT_EQ(IsWindow(kxstandDefaultWindow()), FALSE);
    kxstandFailCall("ShowCursor", 0);
    EXPECT_EQ(ShowCursor(FALSE), 0);
    EXPECT_EQ(kxstandCursorCounter(), 0);
    kxstandFailCall("Sleep", 0);
    Sleep(500);
    EXPECT_EQ(kxstandClockMs(), 0u);
    kxstandFailCall("lstrcmpA", 0);
    EXPECT_EQ(lstrcmpA("a", "b"), 0);
    kxstandFailCall("OutputDebugStringA", 0);
    OutputDebugStringA("lost\n");
    EXPECT_TRUE(kxstandDebugLines().empty());
    EXPECT_EQ(kxstandCallCount("Sleep"), 1);
}
