// Loading DirectDraw, taking the display over, failures on the way, and the
// shut-down that gives everything back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/display.h"
#include "platform/posix/standin_control.h"
#include "tests/support/test_support.h"

namespace {

// The log lines of calls whose names start with one of `prefixes`.
std::vector<std::string> logOf(std::initializer_list<const char*> prefixes) {
    std::vector<std::string> lines;
    for (const std::string& line : kxstandCallLog())
        for (const char* prefix : prefixes)
            if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    return lines;
}

// Everything given back, and nothing of it remembered: without a chain or an
// object, a flip and a blank wait fail without a call, and the next use of
// the library loads it and looks its entry up afresh.
void expectAllGivenBack() {
    EXPECT_EQ(kxstandLiveObjects(), 0);
    EXPECT_EQ(kxstandLockedSurfaces(), 0);
    EXPECT_EQ(kxstandLibraryLoaded(), 0);
    EXPECT_EQ(ddHasFrontBuffer(), 0);
    const int dead = kxstandDeadCalls();
    EXPECT_EQ(ddFlip(), 0);
    EXPECT_EQ(ddWaitForVerticalBlank(), 0);
    EXPECT_EQ(kxstandDeadCalls(), dead);
    const int loads = kxstandLibraryLoads();
    const int lookups = kxstandCallCount("GetProcAddress");
    EXPECT_EQ(loadDDrawLibrary(), 1);
    EXPECT_EQ(kxstandLibraryLoads(), loads + 1);
    EXPECT_EQ(kxstandCallCount("GetProcAddress"), lookups + 1);
    EXPECT_EQ(freeDDrawLibrary(), 1);
    EXPECT_EQ(kxstandLibraryLoaded(), 0);
}

// The shut-down after a failed start gives it all back, and the next start
// makes everything afresh.
void expectCleanRestart() {
    ddrawShutdown();
    expectAllGivenBack();
    kxstandClearFailures();
    EXPECT_EQ(ddrawInit(kxstandDefaultWindow()), 1);
    ddrawShutdown();
    expectAllGivenBack();
}

} // namespace

TEST(DisplayStart, TakesTheDisplayOverAndGivesItBackInOrder) {
    uint64_t before = kxstandClockMs();
    EXPECT_EQ(ddrawShutdown(), 1); // nothing made: it only pauses
    EXPECT_EQ(kxstandClockMs() - before, 100u);
    captureMessages();
    for (int round = 1; round <= 2; ++round) {
        ASSERT_EQ(ddrawInit(kxstandDefaultWindow()), 1);
        EXPECT_EQ(logOf({"IDirectDraw::Set"}),
                  (std::vector<std::string>{"IDirectDraw::SetCooperativeLevel(0x11)",
                                            "IDirectDraw::SetDisplayMode(640, 480, 16)"}));
        // The probe lock was undone.
        EXPECT_EQ(logOf({"IDirectDrawSurface::Lock"}).size(), 1u);
        EXPECT_EQ(kxstandLockedSurfaces(), 0);
        EXPECT_TRUE(driverMessages().empty());

        kxstandClearCallLog();
        EXPECT_EQ(ddrawShutdown(), 1);
        // The chain goes first, then the object, each right after a blank
        // edge (the stand-in's blank starts the first round at its end).
        if (round == 1) {
            EXPECT_EQ(
                logOf({"Sleep", "IDirectDraw::WaitForVerticalBlank", "IDirectDrawSurface::Release",
                       "IDirectDraw::Release", "FreeLibrary"}),
                (std::vector<std::string>{"Sleep(100)", "IDirectDraw::WaitForVerticalBlank(0x1)",
                                          "IDirectDrawSurface::Release -> 0",
                                          "IDirectDraw::WaitForVerticalBlank(0x4)",
                                          "IDirectDraw::WaitForVerticalBlank(0x1)",
                                          "IDirectDraw::Release -> 0", "FreeLibrary"}));
        }
        expectAllGivenBack();
        kxstandClearCallLog();
    }
}

TEST(DisplayStart, FailedStepsStopTheStartAndKeepWhatWasMade) {
    // A failure outside the known set (the reporter names its number), or a
    // call that reports success but hands over no object, surface or
    // surface memory: that fails the start as DDERR_GENERIC instead of being
    // used.
    const HRESULT unknown = DDERR_NOROTATIONHW;
    struct Case {
        const char* call;
        int fromCall;
        HRESULT injected;
        bool objectKept, chainKept;
    };
    const Case cases[] = {
        {"DirectDrawCreate", 2, unknown, false, false},
        {"IDirectDraw::SetCooperativeLevel", 1, unknown, true, false},
        {"IDirectDraw::SetDisplayMode", 1, unknown, true, false},
        {"IDirectDraw::CreateSurface", 1, unknown, true, false},
        {"IDirectDrawSurface::GetAttachedSurface", 1, unknown, true, true},
        {"IDirectDrawSurface::GetPixelFormat", 1, unknown, true, true},
        {"IDirectDrawSurface::Lock", 1, unknown, true, true},
        {"DirectDrawCreate", 2, DD_OK, false, false},
        {"IDirectDraw::CreateSurface", 1, DD_OK, true, false},
        {"IDirectDrawSurface::GetAttachedSurface", 1, DD_OK, true, true},
        {"IDirectDrawSurface::Lock", 1, DD_OK, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.call) + (c.injected == DD_OK ? " without a result" : ""));
        clearMessages();
        kxstandFailCall(c.call, c.injected, c.fromCall);
        EXPECT_EQ(ddrawInit(kxstandDefaultWindow()), 0);
        if (c.injected != DD_OK) {
            EXPECT_EQ(countMessages("KX: debugDDrawErrMsg, Unknown DDraw error: 0x88760122l\n"), 1);
        } else {
            EXPECT_EQ(countMessages("KX: debugDDrawErrMsg, DDERR_GENERIC (0x80004005)\n"), 1);
        }
        // A kept object still waits for the blank; a kept chain still flips.
        const int dead = kxstandDeadCalls();
        EXPECT_EQ(ddWaitForVerticalBlank(), c.objectKept ? 1 : 0);
        EXPECT_EQ(ddHasFrontBuffer(), c.chainKept ? 1 : 0);
        EXPECT_EQ(ddFlip(), c.chainKept ? 1 : 0);
        EXPECT_EQ(kxstandDeadCalls(), dead);
        EXPECT_EQ(kxstandLockedSurfaces(), 0);
        expectCleanRestart();
    }
    // The capability dump's own object missing stops nothing.
    kxstandFailCall("DirectDrawCreate", DD_OK, 1);
    EXPECT_EQ(ddrawInit(kxstandDefaultWindow()), 1);
    expectCleanRestart();
    // A mode the display cannot show: object and exclusive level stay; the
    // messages name the result, then the call.
    kxstandSetModeSupported(false);
    clearMessages();
    EXPECT_EQ(ddrawInit(kxstandDefaultWindow()), 0);
    EXPECT_EQ(driverMessages(), (std::vector<std::string>{
                                    "KX: debugDDrawErrMsg, DDERR_UNSUPPORTED (0x80004001)\n",
                                    "ddSetDisplayMode, SetDisplayMode 640 x 480 x 16 failure!\n"}));
    EXPECT_TRUE(kxstandExclusive());
    ddrawShutdown();
    expectAllGivenBack();
    kxstandSetModeSupported(true);
    // Not a window: one message naming the step, no object, the library stays.
    HWND gone = kxstandCreateWindow();
    kxstandDestroyWindow(gone);
    clearMessages();
    EXPECT_EQ(ddrawInit(gone), 0);
    EXPECT_EQ(
        driverMessages(),
        std::vector<std::string>{"ddSetDisplayMode, the host's active window is not a window!\n"});
    EXPECT_EQ(kxstandLibraryLoaded(), 1);
    EXPECT_EQ(kxstandLiveObjects(), 0);
}

TEST(DisplayStart, LibraryLoadingFailuresAndReuse) {
    captureMessages();
    kxstandFailCall("LoadLibraryA", 0);
    EXPECT_EQ(ddrawInit(kxstandDefaultWindow()), 0);
    EXPECT_TRUE(sawMessage("loadDDrawLibrary, Error loading ddraw.dll\n"));
    kxstandFailCall("GetProcAddress", 0);
    EXPECT_EQ(loadDDrawLibrary(), 0);
    EXPECT_TRUE(sawMessage("loadDDrawLibrary, Error getting proc address for DirectDrawCreate\n"));
    EXPECT_EQ(kxstandLibraryLoaded(), 0);
    EXPECT_EQ(loadDDrawLibrary(), 1);
    EXPECT_EQ(loadDDrawLibrary(), 1);
    EXPECT_EQ(kxstandCallCount("LoadLibraryA"), 3);
    EXPECT_EQ(freeDDrawLibrary(), 1);
    expectAllGivenBack();
}
