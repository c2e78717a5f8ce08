// Start-up, shut-down, detection and resolution changes, through the entry points.
#include <gtest/gtest.h>

#include <cstring>

#include "display/display.h"
#include "driver/driver_state.h"
#include "driver/kxapi.h"
#include "platform/posix/standin_control.h"
#include "softsgl/softsgl_control.h"
#include "tests/support/test_support.h"
#include "texture/texture.h"

namespace {

std::vector<std::string> sglCallNames() {
    std::vector<std::string> names;
    for (const SoftsglCall& call : softsglCalls())
        names.push_back(call.name);
    return names;
}

const SoftsglCall* lastCall(const char* name) {
    const SoftsglCall* found = nullptr;
    for (const SoftsglCall& call : softsglCalls())
        if (call.name == name) found = &call;
    return found;
}

} // namespace

TEST(Lifecycle, IdentificationNeedsNoStart) {
    const char* id = GetID();
    EXPECT_STREQ(id, "PowerVR PCX-2");
    EXPECT_EQ(id, GetID());
    const GUID* guid = GetGuid();
    ASSERT_NE(guid, nullptr);
    EXPECT_EQ(guid, GetGuid());
    EXPECT_EQ(Pause(), 1);
    EXPECT_EQ(softsglCallCount("sgl_get_win_versions"), 0);
}

TEST(Lifecycle, DetectComparesVersionText) {
    const struct {
        const char* version;
        int expected;
    } cases[] = {{"0045h", 0}, {"0046h", 1}, {"0047h", 1}, {"0100h", 1}, {"0", 0}};
    for (const auto& c : cases) {
        softsglSetVersionText(c.version);
        EXPECT_EQ(Detect(), c.expected) << c.version;
    }
}

TEST(Lifecycle, InitRunsItsSequence) {
    clearMessages();
    HWND window = kxstandDefaultWindow();
    ASSERT_EQ(Init(), 1);
    EXPECT_EQ(hostWindow, window);
    EXPECT_EQ(driverInitialised, 1);

    std::vector<std::string> expected = {"sgl_get_win_versions", "sgl_use_address_mode",
                                         "sgl_use_eor_callback", "sgl_create_screen_device",
                                         "sgltri_startofframe",  "sgl_get_free_texture_mem"};
    EXPECT_EQ(sglCallNames(), expected);
    const SoftsglCall* device = lastCall("sgl_create_screen_device");
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->args, (std::vector<int64_t>{0, 640, 480, 0, 1}));
    EXPECT_EQ(screenWidth, 640);
    EXPECT_EQ(screenHeight, 480);
    EXPECT_GE(sglDevice, 0);

    EXPECT_TRUE(kxstandExclusive());
    EXPECT_TRUE(kxstandDisplayModeSet());
    EXPECT_EQ(kxstandCursorCounter(), -1);
    EXPECT_NE(pFrontBuffer, nullptr);
    EXPECT_EQ(kxstandLockedSurfaces(), 0);
    EXPECT_EQ(textureCache.LastHandle(), -1);
    EXPECT_EQ(textureCache.CurrentFrame(), 1);

    // A second start does nothing at all.
    softsglClearCalls();
    int ddCalls = static_cast<int>(kxstandCallLog().size());
    EXPECT_EQ(Init(), 1);
    EXPECT_TRUE(softsglCalls().empty());
    EXPECT_EQ(static_cast<int>(kxstandCallLog().size()), ddCalls);
    Shutdown();
}

TEST(Lifecycle, ShutdownGivesEverythingBack) {
    Shutdown(); // before any start: nothing happens
    EXPECT_EQ(kxstandCallLog().size(), 0u);
    EXPECT_EQ(softsglCalls().size(), 0u);

    ASSERT_EQ(Init(), 1);
    softsglClearCalls();
    Shutdown();
    std::vector<std::string> names = sglCallNames();
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(names.front(), "sgltri_isrendercomplete");
    EXPECT_EQ(names.back(), "sgl_delete_device");
    EXPECT_EQ(softsglLiveDevices(), 0);
    EXPECT_EQ(kxstandLiveObjects(), 0);
    EXPECT_EQ(kxstandLibraryLoaded(), 0);
    EXPECT_FALSE(kxstandExclusive());
    EXPECT_EQ(kxstandCursorCounter(), 0);
    EXPECT_EQ(driverInitialised, 0);

    softsglClearCalls();
    kxstandClearCallLog();
    Shutdown(); // a second shut-down does nothing
    EXPECT_TRUE(softsglCalls().empty());
    EXPECT_TRUE(kxstandCallLog().empty());

    // Starting again loads ddraw.dll again and runs the whole sequence.
    ASSERT_EQ(Init(), 1);
    EXPECT_EQ(kxstandLibraryLoads(), 2);
    EXPECT_EQ(softsglCallCount("sgl_create_screen_device"), 1);
    EXPECT_EQ(kxstandCursorCounter(), -1);
    Shutdown();
    EXPECT_EQ(kxstandLiveObjects(), 0);
}

TEST(Lifecycle, OldLibraryFailsQuietly) {
    clearMessages();
    softsglSetVersionText("0045h");
    EXPECT_EQ(Init(), 0);
    EXPECT_EQ(hostWindow, kxstandDefaultWindow());
    EXPECT_TRUE(driverMessages().empty());
    EXPECT_EQ(kxstandLibraryLoads(), 0);
    EXPECT_EQ(driverInitialised, 0);
}

// Every failing start gives the display back, so a later start succeeds.
TEST(Lifecycle, FailedStartsReleaseTheDisplay) {
    struct Case {
        const char* what;
        void (*inject)();
        const char* message;
    };
    const Case cases[] = {
        {"ddrawInit", [] { kxstandFailCall("IDirectDraw::SetDisplayMode", DDERR_INVALIDMODE); },
         "Init, ddrawInit failure!\n"},
        {"address mode", [] { softsglFailCall("sgl_use_address_mode", 7); },
         "Init, sgl_use_address mode returned 7!\n"},
        {"screen device", [] { softsglFailCall("sgl_create_screen_device", -3); },
         "sgl_create_screen_device failure: device = -3\n"},
    };
    for (const Case& c : cases) {
        clearMessages();
        c.inject();
        EXPECT_EQ(Init(), 0) << c.what;
        EXPECT_TRUE(sawMessage(c.message)) << c.what;
        EXPECT_EQ(driverInitialised, 0) << c.what;
        EXPECT_EQ(kxstandLiveObjects(), 0) << c.what;
        EXPECT_FALSE(kxstandExclusive()) << c.what;
        EXPECT_EQ(kxstandLibraryLoaded(), 0) << c.what;
        EXPECT_EQ(kxstandCursorCounter(), 0) << c.what;
        Shutdown(); // does nothing: the driver is not started
    }
    ASSERT_EQ(Init(), 1);
    EXPECT_NE(pFrontBuffer, nullptr);
    Shutdown();
}

TEST(Lifecycle, ChangeResolutionRecreatesTheDevice) {
    EXPECT_EQ(ChangeResolution(1), 0); // nothing to resize before a start
    EXPECT_EQ(softsglCallCount("sgl_create_screen_device"), 0);

    ASSERT_EQ(Init(), 1);
    const struct {
        int mode, width, height;
    } cases[] = {{0, 320, 200}, {1, 320, 240},  {2, 512, 384},      {3, 640, 480},
                 {7, 640, 480}, {-1, 640, 480}, {1000000, 640, 480}};
    for (const auto& c : cases) {
        softsglClearCalls();
        int old = sglDevice;
        EXPECT_EQ(ChangeResolution(c.mode), 1) << c.mode;
        const SoftsglCall* deleted = lastCall("sgl_delete_device");
        ASSERT_NE(deleted, nullptr);
        EXPECT_EQ(deleted->args[0], old);
        const SoftsglCall* created = lastCall("sgl_create_screen_device");
        ASSERT_NE(created, nullptr);
        EXPECT_EQ(created->args, (std::vector<int64_t>{0, c.width, c.height, 0, 1}));
        EXPECT_EQ(screenWidth, c.width);
        EXPECT_EQ(screenHeight, c.height);
        EXPECT_EQ(softsglLiveDevices(), 1);
    }
    Shutdown();
}

TEST(Lifecycle, ChangeResolutionFailures) {
    ASSERT_EQ(Init(), 1);
    static uint8_t pixels[32 * 32];
    TextureRecord* record = LoadTexture(pixels, 32, 32, 0, 0, 0, nullptr);

    // 800 x 600 does not fit the 640 x 480 back buffer: refused, nothing changes.
    softsglClearCalls();
    int device = sglDevice;
    EXPECT_EQ(ChangeResolution(4), 0);
    EXPECT_TRUE(softsglCalls().empty());
    EXPECT_EQ(sglDevice, device);
    EXPECT_EQ(screenWidth, 640);
    EXPECT_TRUE(isLiveTexture(record));

    // A device that cannot be created: no device, size and textures kept.
    clearMessages();
    softsglFailCall("sgl_create_screen_device", -1);
    EXPECT_EQ(ChangeResolution(1), 0);
    EXPECT_LT(sglDevice, 0);
    EXPECT_EQ(softsglLiveDevices(), 0);
    EXPECT_EQ(screenWidth, 640);
    EXPECT_EQ(screenHeight, 480);
    EXPECT_TRUE(isLiveTexture(record));
    EXPECT_TRUE(driverMessages().empty());

    // Shut-down does not delete a device that does not exist.
    softsglClearCalls();
    Shutdown();
    EXPECT_EQ(softsglCallCount("sgl_delete_device"), 0);
}

TEST(Lifecycle, RestoreSleepsHalfASecond) {
    uint64_t before = kxstandClockMs();
    EXPECT_EQ(Restore(), 1);
    EXPECT_EQ(kxstandClockMs() - before, 500u);
}

// A global palette loaded before the start, or before a start on another
// display format, colours the blits in the display's format.
TEST(Lifecycle, GlobalPaletteFollowsTheDisplayFormat) {
    static uint32_t palette[256];
    palette[5] = 0x00FF0000;
    LoadPalette(palette);
    ASSERT_EQ(Init(), 1);
    EXPECT_EQ(screenPalette[5], 0xF800);
    Shutdown();
    kxstandSetPixelFormat565(false);
    ASSERT_EQ(Init(), 1);
    EXPECT_EQ(screenPalette[5], 0x7C00);
    static uint8_t fives[4] = {5, 5, 5, 5};
    BltToCard(fives, 3, 3, 2, 2, 2, 0, nullptr);
    PageFlip();
    EXPECT_EQ(chainPixel(0, 3, 3), 0x7C00);
    Shutdown();
}
