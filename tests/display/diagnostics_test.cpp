// The capability dump and the reporter of DirectDraw results.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

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

bool reporterSilent(uint32_t code) {
    clearMessages();
    debugDDrawErrMsg(static_cast<HRESULT>(code));
    return driverMessages().empty();
}

} // namespace

TEST(DisplayDiagnostics, CapabilityDumpWritesSetBitsInTableOrder) {
    int result = 0;
    EXPECT_EQ(dumpLines(DDCAPS_BLTCOLORFILL | DDCAPS_BLT, &result),
              (std::vector<std::string>{kHeading, "DDCAPS_BLT\n", "DDCAPS_BLTCOLORFILL\n"}));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(dumpLines(0, &result), std::vector<std::string>{kHeading});
    EXPECT_EQ(dumpLines(0x3E, &result), std::vector<std::string>{kHeading}); // alignment bits
    EXPECT_EQ(dumpLines(0xFFFFFFFF, &result), (std::vector<std::string>{kHeading,
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
                                                                        "DDCAPS_NOHARDWARE\n"}));
    // Each dump used a temporary object and left the library loaded.
    EXPECT_EQ(pDirectDraw, nullptr);
    EXPECT_EQ(kxstandLiveObjects(), 0);
    EXPECT_EQ(kxstandLibraryLoads(), 1);
    EXPECT_EQ(kxstandLibraryLoaded(), 1);
    EXPECT_EQ(driverCaps.dwSize, sizeof(DDCAPS));

    // Failures write nothing and leave the result behind.
    kxstandFailCall("IDirectDraw::GetCaps", DDERR_GENERIC);
    EXPECT_TRUE(dumpLines(DDCAPS_3D, &result).empty());
    EXPECT_EQ(result, 0);
    EXPECT_EQ(lastDDrawResult, DDERR_GENERIC);
    EXPECT_EQ(kxstandLiveObjects(), 0);
    kxstandFailCall("DirectDrawCreate", DDERR_OUTOFMEMORY);
    EXPECT_TRUE(dumpLines(DDCAPS_3D, &result).empty());
    EXPECT_EQ(pDirectDraw, nullptr);

    // An existing object is used and kept; a failed query does not stop a start.
    kxstandFailCall("IDirectDraw::GetCaps", DDERR_GENERIC);
    ASSERT_EQ(ddrawInit(kxstandDefaultWindow()), 1);
    EXPECT_EQ(lastDDrawResult, DD_OK);
    IDirectDraw* kept = pDirectDraw;
    int creates = kxstandCallCount("DirectDrawCreate");
    EXPECT_EQ(dumpLines(DDCAPS_3D, &result), (std::vector<std::string>{kHeading, "DDCAPS_3D\n"}));
    EXPECT_EQ(pDirectDraw, kept);
    EXPECT_EQ(kxstandCallCount("DirectDrawCreate"), creates);
    ddrawShutdown();
}

TEST(DisplayDiagnostics, ReporterNamesOnlyUnrecognisedFailures) {
    // The recognised DirectDraw numbers; every other number of the facility is unknown.
    const std::set<uint32_t> known = {
        5,   10,  20,  40,  55,  90,  95,  100, 110, 120, 130, 145, 150, 160, 170, 180, 205,
        210, 212, 215, 220, 222, 225, 230, 240, 250, 255, 260, 280, 310, 316, 317, 320, 330,
        335, 340, 350, 360, 380, 382, 384, 387, 400, 410, 420, 430, 435, 440, 450, 460, 470,
        480, 490, 510, 520, 537, 540, 560, 561, 562, 563, 564, 565, 566, 567, 568, 569, 570,
        571, 572, 573, 574, 575, 576, 577, 578, 579, 580, 581, 582, 583, 584, 585, 586, 587,
        588, 589, 590, 591, 592, 600, 601, 620, 630, 640, 660, 680, 690, 695, 699};
    ASSERT_EQ(known.size(), 100u);
    lastDDrawResult = DDERR_NOTFOUND;
    for (uint32_t number = 0; number < 0x10000; ++number) {
        uint32_t code = 0x88760000u + number;
        bool isKnown = known.count(number) == 1;
        ASSERT_EQ(reporterSilent(code), isKnown) << std::hex << code;
        ASSERT_TRUE(isKnown || sawMessage(unknownText(code))) << std::hex << code;
    }
    for (uint32_t code : {0x8000FFFFu, 0x80004001u, 0x80004002u, 0x80004003u, 0x80004004u,
                          0x80004005u, 0x80070005u, 0x80070006u, 0x8007000Eu, 0x80070057u})
        EXPECT_TRUE(reporterSilent(code)) << std::hex << code;
    // Published, but not recognised; neighbours of recognised codes neither.
    for (uint32_t code : {0x88760122u, 0x800401F0u, 0x80004000u, 0x80070058u, 0x80000000u}) {
        EXPECT_FALSE(reporterSilent(code));
        EXPECT_EQ(driverMessages(), std::vector<std::string>{unknownText(code)});
    }
    // Success values and reference counts are not failures.
    for (uint32_t code : {0u, 1u, 2u, 12345u, 0x7FFFFFFFu})
        EXPECT_TRUE(reporterSilent(code));
    EXPECT_EQ(lastDDrawResult, DDERR_NOTFOUND);
}
