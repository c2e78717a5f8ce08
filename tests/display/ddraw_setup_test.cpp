// Loading DirectDraw and taking the display over at a start, failures on the
// way, and the shut-down that gives everything back, as the platform sees
// them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/kxapi.h"
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

// Everything given back, and nothing of it remembered: a frame calls
// nothing of DirectDraw, and the next start loads the library and looks its
// entry up afresh.
void expectAllGivenBack() {
    EXPECT_EQ(kxstandLiveObjects(), 0);
    EXPECT_EQ(kxstandLockedSurfaces(), 0);
    EXPECT_EQ(kxstandLibraryLoaded(), 0);
    EXPECT_FALSE(kxstandExclusive());
    const int dead = kxstandDeadCalls();
    const int flips = kxstandCallCount("IDirectDrawSurface::Flip");
    PageFlip();
    EXPECT_EQ(kxstandCallCount("IDirectDrawSurface::Flip"), flips);
    EXPECT_EQ(kxstandDeadCalls(), dead);
}

// After a failed start everything is given back, and the next start makes
// everything afresh.
void expectCleanRestart() {
    expectAllGivenBack();
    kxstandClearFailures();
    const int loads = kxstandLibraryLoads();
    const int lookups = kxstandCallCount("GetProcAddress");
    EXPECT_EQ(Init(), 1);
    EXPECT_EQ(kxstandLibraryLoads(), loads + 1);
    EXPECT_EQ(kxstandCallCount("GetProcAddress"), lookups + 1);
    Shutdown();
    expectAllGivenBack();
}

} // namespace

TEST(DisplayStart, TakesTheDisplayOverAndGivesItBackInOrder) {
    captureMessages();
    for (int round = 1; round <= 2; ++round) {
        ASSERT_EQ(Init(), 1);
        EXPECT_EQ(logOf({"IDirectDraw::Set"}),
                  (std::vector<std::string>{"IDirectDraw::SetCooperativeLevel(0x11)",
                                            "IDirectDraw::SetDisplayMode(640, 480, 16)"}));
        // The probe lock was undone.
        EXPECT_EQ(logOf({"IDirectDrawSurface::Lock"}).size(), 1u);
        EXPECT_EQ(kxstandLockedSurfaces(), 0);
        // No DirectDraw result reported, no step failed.
        for (const std::string& m : driverMessages())
            EXPECT_TRUE(m.rfind("KX: ", 0) != 0 && m.find("fail") == std::string::npos) << m;

        kxstandClearCallLog();
        Shutdown();
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

TEST(DisplayStart, FailedStepsStopTheStartAndGiveEverythingBack) {
    // A failure outside the known set (the reporter names its number), or a
    // call that reports success but hands over no object, surface or
    // surface memory: that fails the start as DDERR_GENERIC instead of being
    // used.
    const HRESULT unknown = DDERR_NOROTATIONHW;
    struct Case {
        const char* call;
        int fromCall;
        HRESULT injected;
    };
    const Case cases[] = {
        {"DirectDrawCreate", 2, unknown},
        {"IDirectDraw::SetCooperativeLevel", 1, unknown},
        {"IDirectDraw::SetDisplayMode", 1, unknown},
        {"IDirectDraw::CreateSurface", 1, unknown},
        {"IDirectDrawSurface::GetAttachedSurface", 1, unknown},
        {"IDirectDrawSurface::GetPixelFormat", 1, unknown},
        {"IDirectDrawSurface::Lock", 1, unknown},
        {"DirectDrawCreate", 2, DD_OK},
        {"IDirectDraw::CreateSurface", 1, DD_OK},
        {"IDirectDrawSurface::GetAttachedSurface", 1, DD_OK},
        {"IDirectDrawSurface::Lock", 1, DD_OK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.call) + (c.injected == DD_OK ? " without a result" : ""));
        clearMessages();
        kxstandFailCall(c.call, c.injected, c.fromCall);
        EXPECT_EQ(Init(), 0);
        if (c.injected != DD_OK) {
            EXPECT_EQ(countMessages("KX: debugDDrawErrMsg, Unknown DDraw error: 0x88760122l\n"), 1);
        } else {
            EXPECT_EQ(countMessages("KX: debugDDrawErrMsg, DDERR_GENERIC (0x80004005)\n"), 1);
        }
        EXPECT_TRUE(sawMessage("Init, ddrawInit failure!\n"));
        expectCleanRestart();
    }
    // The capability dump's own object missing stops nothing.
    kxstandFailCall("DirectDrawCreate", DD_OK, 1);
    EXPECT_EQ(Init(), 1);
    Shutdown();
    expectCleanRestart();
    // A mode the display cannot show: the messages name the result, then
    // the call, then the step.
    kxstandSetModeSupported(false);
    clearMessages();
    EXPECT_EQ(Init(), 0);
    EXPECT_EQ(driverMessages(), (std::vector<std::string>{
                                    "KX: debugDDrawErrMsg, DDERR_UNSUPPORTED (0x80004001)\n",
                                    "ddSetDisplayMode, SetDisplayMode 640 x 480 x 16 failure!\n",
                                    "Init, ddrawInit failure!\n"}));
    kxstandSetModeSupported(true);
    expectCleanRestart();
    // Not a window: one message naming the step, then the step; no object.
    HWND gone = kxstandCreateWindow();
    kxstandDestroyWindow(gone);
    kxstandSetActiveWindow(gone);
    clearMessages();
    const int creates = kxstandCallCount("DirectDrawCreate");
    EXPECT_EQ(Init(), 0);
    EXPECT_EQ(driverMessages(), (std::vector<std::string>{
                                    "ddSetDisplayMode, the host's active window is not a window!\n",
                                    "Init, ddrawInit failure!\n"}));
    EXPECT_EQ(kxstandCallCount("DirectDrawCreate"), creates + 1); // the dump's alone
    kxstandSetActiveWindow(kxstandDefaultWindow());
    expectCleanRestart();
}

TEST(DisplayStart, LibraryLoadingFailuresAndReuse) {
    captureMessages();
    kxstandFailCall("LoadLibraryA", 0);
    EXPECT_EQ(Init(), 0);
    EXPECT_TRUE(sawMessage("loadDDrawLibrary, Error loading ddraw.dll\n"));
    kxstandFailCall("GetProcAddress", 0);
    EXPECT_EQ(Init(), 0);
    EXPECT_TRUE(sawMessage("loadDDrawLibrary, Error getting proc address for DirectDrawCreate\n"));
    EXPECT_EQ(kxstandLibraryLoaded(), 0);
    EXPECT_EQ(kxstandCallCount("LoadLibraryA"), 2);
    expectCleanRestart();
    EXPECT_EQ(kxstandCallCount("LoadLibraryA"), 3);
}
