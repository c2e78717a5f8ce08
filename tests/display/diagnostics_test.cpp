// The capability dump and the reporter of DirectDraw results: what a start
// writes to the debugger and the messages it issues.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "api/kxapi.h"
#include "display/display.h"
#include "platform/posix/standin_control.h"
#include "tests/support/test_support.h"

namespace {

const std::string kHeading = "*** DirectDraw Driver Caps ***\n";

// Debug lines written by one dump.
std::vector<std::string> dumpLines(DWORD caps, int* result) {
    kxstandSetDriverCaps(caps);
    size_t before = kxstandDebugLines().size();
    *result = ddDumpDriverCaps();
    return {kxstandDebugLines().begin() + before, kxstandDebugLines().end()};
}

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

bool reporterSilent(uint32_t code) {
    clearMessages();
    debugDDrawErrMsg(static_cast<HRESULT>(code));
    return driverMessages().empty();
}

// The reporter's text for a code it knows: "KX: debugDDrawErrMsg, <published
// name> (0x........)\n"; the name alone, or "" when the text is not of that form.
std::string knownName(const std::string& text, uint32_t code) {
    char tail[24];
    std::snprintf(tail, sizeof tail, " (0x%08X)\n", code);
    const std::string head = "KX: debugDDrawErrMsg, ";
    if (text.rfind(head, 0) != 0 || text.size() < head.size() + std::strlen(tail) ||
        text.compare(text.size() - std::strlen(tail), std::string::npos, tail) != 0)
        return "";
    return text.substr(head.size(), text.size() - head.size() - std::strlen(tail));
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

// The dump's own DirectDraw object, and when it writes nothing.
TEST(DisplayDiagnostics, CapabilityDumpMakesAnObjectOfItsOwn) {
    int result = 0;
    EXPECT_EQ(dumpLines(DDCAPS_BLT, &result), (std::vector<std::string>{kHeading, "DDCAPS_BLT\n"}));
    EXPECT_EQ(result, 1);
    // Each dump used a temporary object, kept none (no blank to wait for)
    // and left the library loaded.
    EXPECT_EQ(ddWaitForVerticalBlank(), 0);
    EXPECT_EQ(kxstandLiveObjects(), 0);
    EXPECT_EQ(kxstandLibraryLoads(), 1);
    EXPECT_EQ(kxstandLibraryLoaded(), 1);

    // Failures write nothing and leave the result behind.
    captureMessages();
    kxstandFailCall("IDirectDraw::GetCaps", DDERR_GENERIC);
    EXPECT_TRUE(dumpLines(DDCAPS_3D, &result).empty());
    EXPECT_EQ(result, 0);
    EXPECT_EQ(reporterMessages(),
              std::vector<std::string>{"KX: debugDDrawErrMsg, DDERR_GENERIC (0x80004005)\n"});
    EXPECT_EQ(kxstandLiveObjects(), 0);
    kxstandFailCall("DirectDrawCreate", DDERR_OUTOFMEMORY);
    EXPECT_TRUE(dumpLines(DDCAPS_3D, &result).empty());
    EXPECT_EQ(ddWaitForVerticalBlank(), 0);

    // During a start the dump makes and releases an object of its own, and
    // a failed query does not stop the start, whose object stays.
    kxstandFailCall("IDirectDraw::GetCaps", DDERR_GENERIC);
    int creates = kxstandCallCount("DirectDrawCreate");
    ASSERT_EQ(ddrawInit(kxstandDefaultWindow()), 1);
    EXPECT_EQ(kxstandCallCount("DirectDrawCreate"), creates + 2);
    const int live = kxstandLiveObjects();
    const int dead = kxstandDeadCalls();
    EXPECT_EQ(dumpLines(DDCAPS_3D, &result), (std::vector<std::string>{kHeading, "DDCAPS_3D\n"}));
    EXPECT_EQ(kxstandLiveObjects(), live);
    // The start's object is still the one in use, alive.
    EXPECT_EQ(ddWaitForVerticalBlank(), 1);
    EXPECT_EQ(kxstandDeadCalls(), dead);
    ddrawShutdown();
}

// The result reporter as a start meets it, through the capability dump: a
// query that fails is named in a message: a code the reporter knows by its
// published name, another by its number; a success value passes without a
// word. Either way nothing is dumped and the start goes on. (Which codes it
// knows: ReporterKnowsAHundredCodesOfTheFacility.)
TEST(DisplayDiagnostics, FailedQueryIsNamedByNameOrNumber) {
    const struct {
        uint32_t code;
        std::vector<std::string> messages;
    } cases[] = {
        {uint32_t(DDERR_SURFACELOST), {"KX: debugDDrawErrMsg, DDERR_SURFACELOST (0x887601C2)\n"}},
        {uint32_t(DDERR_GENERIC), {"KX: debugDDrawErrMsg, DDERR_GENERIC (0x80004005)\n"}},
        // Published but not recognised, Direct3D's codes of the same
        // facility, and neighbours of recognised ones.
        {uint32_t(DDERR_NOROTATIONHW), {unknownText(uint32_t(DDERR_NOROTATIONHW))}},
        {uint32_t(DDERR_NOTINITIALIZED), {unknownText(uint32_t(DDERR_NOTINITIALIZED))}},
        {0x887602BCu, {unknownText(0x887602BCu)}},
        {0x80004000u, {unknownText(0x80004000u)}},
        {0x80070058u, {unknownText(0x80070058u)}},
        // Success values and reference counts are not failures.
        {1u, {}},
        {0x7FFFFFFFu, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(startLines(DDCAPS_BLT, HRESULT(c.code)), std::vector<std::string>{})
            << std::hex << c.code;
        EXPECT_EQ(reporterMessages(), c.messages) << std::hex << c.code;
    }
}

// Of the 65,536 codes of DirectDraw's facility the reporter knows 100, each
// by a name of its own, and numbers every other one; success values it
// passes over.
TEST(DisplayDiagnostics, ReporterKnowsAHundredCodesOfTheFacility) {
    std::set<std::string> names;
    for (uint32_t number = 0; number < 0x10000; ++number) {
        uint32_t code = 0x88760000u + number;
        ASSERT_FALSE(reporterSilent(code)) << std::hex << code;
        ASSERT_EQ(driverMessages().size(), 1u);
        const std::string name = knownName(driverMessages()[0], code);
        if (name.empty())
            ASSERT_EQ(driverMessages()[0], unknownText(code));
        else
            ASSERT_TRUE(names.insert(name).second && name.rfind("DDERR_", 0) == 0) << name;
    }
    EXPECT_EQ(names.size(), 100u);
    const struct {
        uint32_t code;
        const char* name;
    } spots[] = {{0x887601C2u, "DDERR_SURFACELOST"},
                 {0x88760078u, "DDERR_INVALIDMODE"},
                 {0x887602BBu, "DDERR_DEVICEDOESNTOWNSURFACE"},
                 {0x8000FFFFu, "E_UNEXPECTED"},
                 {0x80004001u, "DDERR_UNSUPPORTED"},
                 {0x80004005u, "DDERR_GENERIC"},
                 {0x80070005u, "E_ACCESSDENIED"},
                 {0x8007000Eu, "DDERR_OUTOFMEMORY"},
                 {0x80070057u, "DDERR_INVALIDPARAMS"}};
    for (const auto& spot : spots) {
        reporterSilent(spot.code);
        ASSERT_EQ(driverMessages().size(), 1u);
        EXPECT_EQ(knownName(driverMessages()[0], spot.code), spot.name);
    }
    // DD_OK, other success values and reference counts are no failures.
    for (uint32_t code : {0u, 1u, 2u, 0x7FFFFFFFu})
        EXPECT_TRUE(reporterSilent(code)) << code;
}
