// The capability dump and the reporter of DirectDraw results: what a start
// writes to the debugger and the messages it issues.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "api/kxapi.h"
#include "platform/posix/standin_control.h"
#include "tests/support/test_support.h"

namespace {

const std::string kHeading = "*** DirectDraw Driver Caps ***\n";

std::string unknownText(uint32_t code) {
    char text[80];
    std::snprintf(text, sizeof text, "KX: debugDDrawErrMsg, Unknown DDraw error: 0x%08Xl\n", code);
    return text;
}

// Debug lines written by a start of the driver whose display driver has
// these capabilities, or whose capability query fails with `failure`.
std::vector<std::string> startLines(DWORD caps, HRESULT failure = DD_OK) {
    kxstandSetDriverCaps(caps);
    if (failure != DD_OK) kxstandFailCall("IDirectDraw::GetCaps", failure);
    kxstandClearDebugLines();
    clearMessages();
    EXPECT_EQ(Init(), 1);
    std::vector<std::string> lines = kxstandDebugLines();
    Shutdown();
    return lines;
}

// The reporter's messages since the last clearMessages().
std::vector<std::string> reporterMessages() {
    std::vector<std::string> named;
    for (const std::string& m : driverMessages())
        if (m.rfind("KX: debugDDrawErrMsg", 0) == 0) named.push_back(m);
    return named;
}

} // namespace

// What a start writes to the debugger: the heading and the names of the
// capability bits the display driver has, in the dump's own order (not that
// of the bits: DDCAPS_BLTCOLORFILL comes third).
TEST(DisplayDiagnostics, StartNamesTheCapabilitiesOnTheDebuggerOutput) {
    const std::vector<std::string> all = {kHeading,
                                          "DDCAPS_3D\n",
                                          "DDCAPS_BLT\n",
                                          "DDCAPS_BLTCOLORFILL\n",
                                          "DDCAPS_BLTQUEUE\n",
                                          "DDCAPS_BLTFOURCC\n",
                                          "DDCAPS_BLTSTRETCH\n",
                                          "DDCAPS_GDI\n",
                                          "DDCAPS_OVERLAY\n",
                                          "DDCAPS_OVERLAYCANTCLIP\n",
                                          "DDCAPS_OVERLAYFOURCC\n",
                                          "DDCAPS_OVERLAYSTRETCH\n",
                                          "DDCAPS_PALETTE\n",
                                          "DDCAPS_READSCANLINE\n",
                                          "DDCAPS_VBI\n",
                                          "DDCAPS_ZBLTS\n",
                                          "DDCAPS_ZOVERLAYS\n",
                                          "DDCAPS_COLORKEY\n",
                                          "DDCAPS_ALPHA\n",
                                          "DDCAPS_NOHARDWARE\n"};
    const struct {
        DWORD caps;
        std::vector<std::string> lines;
    } drivers[] = {
        {DDCAPS_BLTCOLORFILL | DDCAPS_BLT, {kHeading, "DDCAPS_BLT\n", "DDCAPS_BLTCOLORFILL\n"}},
        {0, {kHeading}},
        {0x3E, {kHeading}}, // the alignment bits have no name
        {0xFFFFFFFF, all}};
    for (const auto& driver : drivers) {
        EXPECT_EQ(startLines(driver.caps), driver.lines) << std::hex << driver.caps;
        EXPECT_EQ(reporterMessages(), std::vector<std::string>{});
    }
}

// The dump makes a DirectDraw object of its own during a start and releases
// it; the start's object stays in use.
TEST(DisplayDiagnostics, CapabilityDumpMakesAnObjectOfItsOwn) {
    kxstandSetDriverCaps(DDCAPS_BLT);
    const int creates = kxstandCallCount("DirectDrawCreate");
    ASSERT_EQ(Init(), 1);
    EXPECT_EQ(kxstandCallCount("DirectDrawCreate"), creates + 2);
    const int flips = kxstandCallCount("IDirectDrawSurface::Flip");
    PageFlip(); // on the start's chain, alive
    EXPECT_EQ(kxstandCallCount("IDirectDrawSurface::Flip"), flips + 1);
    EXPECT_EQ(kxstandDeadCalls(), 0);
    EXPECT_EQ(kxstandLibraryLoads(), 1);
    Shutdown();
    EXPECT_EQ(kxstandLiveObjects(), 0);
    // A dump that cannot make its object writes nothing; the start goes on.
    kxstandFailCall("DirectDrawCreate", DDERR_OUTOFMEMORY);
    EXPECT_EQ(startLines(DDCAPS_3D), std::vector<std::string>{});
    EXPECT_EQ(kxstandLiveObjects(), 0);
}

// The result reporter as a start meets it, through the capability dump: a
// query that fails is named in a message: a code the reporter knows by its
// published name, another by its number; a success value passes without a
// word. Either way nothing is dumped and the start goes on.
TEST(DisplayDiagnostics, FailedQueryIsNamedByNameOrNumber) {
    const struct {
        uint32_t code;
        std::vector<std::string> messages;
    } cases[] = {
        {uint32_t(DDERR_SURFACELOST), {"KX: debugDDrawErrMsg, DDERR_SURFACELOST (0x887601C2)\n"}},
        {uint32_t(DDERR_GENERIC), {"KX: debugDDrawErrMsg, DDERR_GENERIC (0x80004005)\n"}},
        {0x88760078u, {"KX: debugDDrawErrMsg, DDERR_INVALIDMODE (0x88760078)\n"}},
        {0x887602BBu, {"KX: debugDDrawErrMsg, DDERR_DEVICEDOESNTOWNSURFACE (0x887602BB)\n"}},
        {0x8000FFFFu, {"KX: debugDDrawErrMsg, E_UNEXPECTED (0x8000FFFF)\n"}},
        {0x80004001u, {"KX: debugDDrawErrMsg, DDERR_UNSUPPORTED (0x80004001)\n"}},
        {0x80070005u, {"KX: debugDDrawErrMsg, E_ACCESSDENIED (0x80070005)\n"}},
        {0x8007000Eu, {"KX: debugDDrawErrMsg, DDERR_OUTOFMEMORY (0x8007000E)\n"}},
        {0x80070057u, {"KX: debugDDrawErrMsg, DDERR_INVALIDPARAMS (0x80070057)\n"}},
        // Published but not recognised, Direct3D's codes of the same
        // facility, and neighbours of recognised ones.
        {uint32_t(DDERR_NOROTATIONHW), {unknownText(uint32_t(DDERR_NOROTATIONHW))}},
        {uint32_t(DDERR_NOTINITIALIZED), {unknownText(uint32_t(DDERR_NOTINITIALIZED))}},
        {0x887602BCu, {unknownText(0x887602BCu)}},
        {0x80004000u, {unknownText(0x80004000u)}},
        {0x80070058u, {unknownText(0x80070058u)}},
        // Success values and reference counts are not failures.
        {1u, {}},
        {2u, {}},
        {0x7FFFFFFFu, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(startLines(DDCAPS_BLT, HRESULT(c.code)), std::vector<std::string>{})
            << std::hex << c.code;
        EXPECT_EQ(reporterMessages(), c.messages) << std::hex << c.code;
    }
}
