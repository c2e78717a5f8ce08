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

void expectAllGivenBack() {
    EXPECT_EQ(kxstandLiveObjects(), 0);
    EXPECT_EQ(kxstandLockedSurfaces(), 0);
    EXPECT_EQ(kxstandLibraryLoaded(), 0);
    EXPECT_FALSE(hDDrawLibrary || pfnDirectDrawCreate || pDirectDraw || pFrontBuffer ||
                 pBackBuffer);
}

} // namespace

TEST(DisplayStart, TakesTheDisplayOverAndGivesItBackInOrder) {
    uint64_t before = kxstandClockMs();
    EXPECT_EQ(ddrawShutdown(), 1); // nothing made: it only pauses
    EXPECT_EQ(kxstandClockMs() - before, 100u);
    captureMessages();
    for (int round = 1; round <= 2; ++round) {
        ASSERT_EQ(ddrawInit(kxstandDefaultWindow()), 1);
        EXPECT_EQ(kxstandLibraryLoads(), round);
        EXPECT_TRUE(kxstandExclusive() && kxstandDisplayModeSet());
        EXPECT_EQ(logOf({"IDirectDraw::Set"}),
                  (std::vector<std::string>{"IDirectDraw::SetCooperativeLevel(0x11)",
                                            "IDirectDraw::SetDisplayMode(640, 480, 16)"}));
        int pitch = 0;
        ASSERT_NE(kxstandChainPixels(1, &pitch), nullptr);
        EXPECT_EQ(backBufferPitch, pitch);
        EXPECT_EQ(kxstandLockedSurfaces(), 0); // the probe lock was undone
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
        EXPECT_FALSE(kxstandExclusive());
        kxstandClearCallLog();
    }
}

TEST(DisplayStart, FailedStepsStopTheStartAndKeepWhatWasMade) {
    struct Case {
        const char* call;
        int fromCall;
        bool objectKept, chainKept;
    };
    const Case cases[] = {
        {"DirectDrawCreate", 2, false, false},
        {"IDirectDraw::SetCooperativeLevel", 1, true, false},
        {"IDirectDraw::SetDisplayMode", 1, true, false},
        {"IDirectDraw::CreateSurface", 1, true, false},
        {"IDirectDrawSurface::GetAttachedSurface", 1, true, true},
        {"IDirectDrawSurface::GetPixelFormat", 1, true, true},
        {"IDirectDrawSurface::Lock", 1, true, true},
    };
    const HRESULT failure = DDERR_NOROTATIONHW; // outside the known set: the reporter speaks
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        clearMessages();
        kxstandFailCall(c.call, failure, c.fromCall);
        EXPECT_EQ(ddrawInit(kxstandDefaultWindow()), 0);
        EXPECT_EQ(lastDDrawResult, failure);
        EXPECT_EQ(countMessages("KX: debugDDrawErrMsg, Unknown DDraw error: 0x88760122l\n"), 1);
        EXPECT_EQ(pDirectDraw != nullptr, c.objectKept);
        EXPECT_EQ(pFrontBuffer != nullptr, c.chainKept);
        EXPECT_EQ(kxstandLockedSurfaces(), 0);
        // The shut-down that follows a failed start gives it all back, and
        // the next start makes everything afresh.
        ddrawShutdown();
        expectAllGivenBack();
        kxstandClearFailures();
        EXPECT_EQ(ddrawInit(kxstandDefaultWindow()), 1);
        ddrawShutdown();
        expectAllGivenBack();
    }
    // A call that reports success but hands over no object, surface or
    // surface memory fails the start as DDERR_GENERIC instead of being used.
    const Case emptyHanded[] = {
        {"DirectDrawCreate", 1, false, false}, // the capability dump's object
        {"DirectDrawCreate", 2, false, false},
        {"IDirectDraw::CreateSurface", 1, true, false},
        {"IDirectDrawSurface::GetAttachedSurface", 1, true, true},
        {"IDirectDrawSurface::Lock", 1, true, true},
    };
    for (const Case& c : emptyHanded) {
        SCOPED_TRACE(std::string(c.call) + " without a result");
        kxstandFailCall(c.call, DD_OK, c.fromCall);
        const bool dumpOnly = c.fromCall == 1 && std::string(c.call) == "DirectDrawCreate";
        EXPECT_EQ(ddrawInit(kxstandDefaultWindow()), dumpOnly ? 1 : 0);
        if (!dumpOnly) {
            EXPECT_EQ(lastDDrawResult, DDERR_GENERIC);
            EXPECT_EQ(pDirectDraw != nullptr, c.objectKept);
            EXPECT_EQ(pFrontBuffer != nullptr, c.chainKept);
        }
        EXPECT_EQ(kxstandLockedSurfaces(), 0);
        ddrawShutdown();
        expectAllGivenBack();
        kxstandClearFailures();
        EXPECT_EQ(ddrawInit(kxstandDefaultWindow()), 1);
        ddrawShutdown();
        expectAllGivenBack();
    }
    // A mode the display cannot show: object and exclusive level stay; the
    // messages name the result, then the call.
    kxstandSetModeSupported(false);
    clearMessages();
    EXPECT_EQ(ddrawInit(kxstandDefaultWindow()), 0);
    EXPECT_EQ(lastDDrawResult, DDERR_UNSUPPORTED);
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
    kxstandFailCall("FreeLibrary", 0);
    EXPECT_EQ(ddrawShutdown(), 0);
    EXPECT_TRUE(sawMessage("freeDDrawLibrary, failed freeing DDRAW.DLL!\n"));
    EXPECT_TRUE(hDDrawLibrary && pfnDirectDrawCreate);
    EXPECT_EQ(freeDDrawLibrary(), 1);
    expectAllGivenBack();
}
