// Identification, start-up, shut-down and resolution changes, as a host and
// the platform see them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "api/kxapi.h"
#include "driver/driver_test_control.h"
#include "platform/posix/standin_control.h"
#include "softsgl/softsgl_control.h"
#include "tests/support/test_support.h"

namespace {

// Arguments of the last call of that name, empty without one.
std::vector<int64_t> lastArgs(const char* name) {
    std::vector<int64_t> args;
    for (const SoftsglCall& call : softsglCalls())
        if (call.name == name) args = call.args;
    return args;
}

// Everything a start takes is given back: no object, no exclusive level, no
// library, no SGL device, the cursor shown.
void expectAllGivenBack(const char* what) {
    EXPECT_EQ(kxstandLiveObjects(), 0) << what;
    EXPECT_FALSE(kxstandExclusive()) << what;
    EXPECT_EQ(kxstandLibraryLoaded(), 0) << what;
    EXPECT_EQ(softsglLiveDevices(), 0) << what;
    EXPECT_EQ(kxstandCursorCounter(), 0) << what;
}

} // namespace

TEST(Lifecycle, IdentificationAndDetection) {
    EXPECT_STREQ(GetID(), "PowerVR PCX-2");
    ASSERT_NE(GetGuid(), nullptr);
    EXPECT_EQ(GetGuid(), GetGuid());
    EXPECT_EQ(Pause(), 1);
    EXPECT_EQ(softsglCallCount("sgl_get_win_versions"), 0);
    const struct {
        const char* version;
        int expected;
    } cases[] = {{"0045h", 0}, {"0046h", 1}, {"0047h", 1}, {"0100h", 1}, {"0", 0}};
    for (const auto& c : cases) {
        softsglSetVersionText(c.version);
        EXPECT_EQ(Detect(), c.expected) << c.version;
    }
    // A library that hands over no version record cannot be vouched for.
    softsglSetVersionText("0046h");
    softsglFailCall("sgl_get_win_versions", 0);
    EXPECT_EQ(Detect(), 0);
    EXPECT_EQ(Detect(), 1);
    uint64_t before = kxstandClockMs();
    EXPECT_EQ(Restore(), 1);
    EXPECT_EQ(kxstandClockMs() - before, 500u);
}

TEST(Lifecycle, StartTakesTheDisplayAndShutdownGivesItBack) {
    Shutdown(); // before any start: nothing happens
    EXPECT_TRUE(kxstandCallLog().empty() && softsglCalls().empty());
    for (int round = 1; round <= 2; ++round) {
        ASSERT_EQ(Init(), 1);
        EXPECT_TRUE(kxstandExclusive() && kxstandDisplayModeSet());
        EXPECT_EQ(kxstandCursorCounter(), -1);
        EXPECT_EQ(kxstandLockedSurfaces(), 0);
        EXPECT_EQ(lastArgs("sgl_create_screen_device"), (std::vector<int64_t>{0, 640, 480, 0, 1}));
        EXPECT_EQ(kxstandLibraryLoads(), round);
        // A second start does nothing at all.
        softsglClearCalls();
        kxstandClearCallLog();
        EXPECT_EQ(Init(), 1);
        EXPECT_TRUE(softsglCalls().empty() && kxstandCallLog().empty());
        Shutdown();
        // The accelerator is waited for first, the device goes last.
        ASSERT_FALSE(softsglCalls().empty());
        EXPECT_EQ(softsglCalls().front().name, "sgltri_isrendercomplete");
        EXPECT_EQ(softsglCalls().back().name, "sgl_delete_device");
        expectAllGivenBack("shut-down");
        softsglClearCalls();
        Shutdown(); // a second shut-down does nothing
        EXPECT_TRUE(softsglCalls().empty());
    }
}

// Every failing start gives the display back, so a later start succeeds.
// A host that frees the library without Shutdown: nothing is released as
// it goes, and the next copy's Init gives that session back before it
// starts its own, so that loads and frees in a process keep nothing.
TEST(Lifecycle, TheNextStartEndsTheSessionOfADriverFreedWithoutShutdown) {
    ASSERT_EQ(Init(), 1);
    const int oneSession = kxstandLiveObjects();
    static std::vector<uint8_t> image(64 * 64, 1);
    SelectTexture(LoadTexture(image.data(), 64, 64, 0, 0, 0, primaryPalette()));
    drawWhiteQuad(0, 64);
    PageFlip();
    ASSERT_EQ(softsglLiveTextures(), 1);
    softsglClearCalls();
    kxstandClearCallLog();
    kxLeaveSession();
    EXPECT_TRUE(softsglCalls().empty() && kxstandCallLog().empty());
    EXPECT_TRUE(kxstandExclusive());
    EXPECT_EQ(PageFlip(), 0) << "the driver is no longer started";

    clearMessages();
    ASSERT_EQ(Init(), 1);
    EXPECT_TRUE(sawMessage("Init, ending the session of a driver freed without Shutdown\n"));
    // The texture, then the device, then the display went before the new start.
    std::vector<std::string> sgl;
    for (const SoftsglCall& call : softsglCalls())
        sgl.push_back(call.name);
    ASSERT_GE(sgl.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(sgl.begin(), sgl.begin() + 2),
              (std::vector<std::string>{"sgl_delete_texture", "sgl_delete_device"}));
    EXPECT_EQ(softsglLiveTextures(), 0);
    EXPECT_EQ(softsglLiveDevices(), 1);
    EXPECT_EQ(kxstandLiveObjects(), oneSession);
    EXPECT_EQ(kxstandLibraryLoaded(), 1);
    EXPECT_EQ(kxstandCursorCounter(), -1);
    EXPECT_EQ(std::getenv("KXPWRVR_LEFT_SESSION"), nullptr);
    drawWhiteQuad(0, 64);
    PageFlip();
    EXPECT_EQ(readShownFrame().litIn(0, 0, 64, 64), 64 * 64) << "the new start draws";
    Shutdown();
    expectAllGivenBack("shut-down after a left session");

    // A note another process left (inherited with its environment) is
    // dropped unread; freeing a driver that is not started leaves none.
    setenv("KXPWRVR_LEFT_SESSION", "1 0x10", 1);
    kxLeaveSession();
    ASSERT_EQ(Init(), 1);
    EXPECT_EQ(std::getenv("KXPWRVR_LEFT_SESSION"), nullptr);
    EXPECT_EQ(countMessages("Init, ending the session of a driver freed without Shutdown\n"), 1);
    Shutdown();
    expectAllGivenBack("shut-down after another process's note");
}

TEST(Lifecycle, FailedStartsGiveTheDisplayBack) {
    struct Case {
        const char* what;
        void (*inject)();
        const char* message; // null: none
    };
    const Case cases[] = {
        {"old library", [] { softsglSetVersionText("0045h"); },
         "Init, Detect failure: the SGL library's version is 0045h, 0046h or later needed\n"},
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
        // A library too old stops the start before DirectDraw is touched.
        if (c.what == std::string("old library")) {
            EXPECT_EQ(kxstandLibraryLoads(), 0);
        }
        expectAllGivenBack(c.what);
        Shutdown(); // does nothing: the driver is not started
        softsglSetVersionText("0046h");
    }
    ASSERT_EQ(Init(), 1);
    Shutdown();
    // A library that will not unload is named and stays for the next start.
    ASSERT_EQ(Init(), 1);
    clearMessages();
    kxstandFailCall("FreeLibrary", 0);
    Shutdown();
    EXPECT_EQ(driverMessages(),
              std::vector<std::string>{"freeDDrawLibrary, failed freeing DDRAW.DLL!\n"});
    EXPECT_EQ(kxstandLibraryLoaded(), 1);
    ASSERT_EQ(Init(), 1);
    Shutdown();
    EXPECT_EQ(kxstandLibraryLoaded(), 0);
}

TEST(Lifecycle, ChangeResolutionRecreatesTheDevice) {
    EXPECT_EQ(ChangeResolution(1), 0); // nothing to resize before a start
    ASSERT_EQ(Init(), 1);
    static uint8_t pixels[32 * 32];
    const struct {
        int mode, result, width, height;
    } cases[] = {{0, 1, 320, 200}, {1, 1, 320, 240},  {2, 1, 512, 384},       {3, 1, 640, 480},
                 {7, 1, 640, 480}, {-1, 1, 640, 480}, {1000000, 1, 640, 480}, {4, 0, 0, 0}};
    for (const auto& c : cases) {
        TextureRecord* record = LoadTexture(pixels, 32, 32, 0, 0, 0, nullptr);
        softsglClearCalls();
        EXPECT_EQ(ChangeResolution(c.mode), c.result) << c.mode;
        if (c.result) {
            EXPECT_EQ(lastArgs("sgl_create_screen_device"),
                      (std::vector<int64_t>{0, c.width, c.height, 0, 1}));
            EXPECT_EQ(softsglCallCount("sgl_delete_device"), 1);
            EXPECT_EQ(softsglLiveDevices(), 1);
        } else {
            // 800 x 600 does not fit the 640 x 480 back buffer: nothing changes.
            EXPECT_TRUE(softsglCalls().empty());
        }
        // A successful change frees every texture record.
        clearMessages();
        SelectTexture(record);
        EXPECT_EQ(sawMessage("SelectTexture: not a loaded texture\n"), c.result == 1) << c.mode;
        UnloadTexture(record);
    }
    Shutdown();
}

// A device that cannot be made at the new size is made again at the size in
// force, and the driver keeps drawing there; only when that fails too is
// there none (and shut-down deletes none).
TEST(ResolutionChange, AFailedChangeKeepsTheAreaInForce) {
    ASSERT_EQ(Init(), 1);
    ASSERT_EQ(ChangeResolution(1), 1);
    static uint8_t pixels[32 * 32];
    TextureRecord* record = LoadTexture(pixels, 32, 32, 0, 0, 0, nullptr);
    clearMessages();
    softsglClearCalls();
    softsglFailCall("sgl_create_screen_device", -5);
    EXPECT_EQ(ChangeResolution(2), 0);
    EXPECT_EQ(driverMessages(),
              std::vector<std::string>{"sgl_create_screen_device failure: device = -5\n"});
    EXPECT_EQ(lastArgs("sgl_create_screen_device"), (std::vector<int64_t>{0, 320, 240, 0, 1}));
    EXPECT_EQ(softsglLiveDevices(), 1);
    // The textures stay loaded, and frames are drawn in the old area.
    SelectTexture(record);
    EXPECT_FALSE(sawMessage("SelectTexture: not a loaded texture\n"));
    const HostVertex quad[4] = {{0, 0, 0.5f, 1, 0, 0, 0xFFFFFFFF},
                                {400, 0, 0.5f, 1, 0, 0, 0xFFFFFFFF},
                                {400, 300, 0.5f, 1, 0, 0, 0xFFFFFFFF},
                                {0, 300, 0.5f, 1, 0, 0, 0xFFFFFFFF}};
    SelectTexture(nullptr);
    DrawPrimitive(quad, 4);
    PageFlip();
    EXPECT_EQ(chainPixel(0, 319, 239), 0xFFFF);
    EXPECT_EQ(chainPixel(0, 320, 239), 0);
    EXPECT_EQ(chainPixel(0, 319, 240), 0);

    clearMessages();
    softsglFailCall("sgl_create_screen_device", -5, 1, 2);
    EXPECT_EQ(ChangeResolution(2), 0);
    EXPECT_EQ(countMessages("sgl_create_screen_device failure: device = -5\n"), 2);
    EXPECT_EQ(softsglLiveDevices(), 0);
    softsglClearCalls();
    Shutdown();
    EXPECT_EQ(softsglCallCount("sgl_delete_device"), 0);
}

// A global palette loaded before the start, or before a start on another
// display format, colours the blits in the display's format.
TEST(Lifecycle, GlobalPaletteFollowsTheDisplayFormat) {
    static uint32_t palette[256];
    palette[5] = 0x00FF0000;
    LoadPalette(palette);
    static uint8_t fives[4] = {5, 5, 5, 5};
    for (bool is565 : {true, false}) {
        kxstandSetPixelFormat565(is565);
        ASSERT_EQ(Init(), 1);
        BltToCard(fives, 3, 3, 2, 2, 2, 0, nullptr);
        PageFlip();
        EXPECT_EQ(chainPixel(0, 3, 3), is565 ? 0xF800 : 0x7C00);
        Shutdown();
    }
}
