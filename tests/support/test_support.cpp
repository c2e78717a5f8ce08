#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "api/kxapi.h"
#include "diag/diag.h"
#include "platform/posix/standin_control.h"
#include "softsgl/softsgl_control.h"

// softsgl and the stand-ins keep their call logs only when asked (a player's
// game and a long run have no use for them); every test program may read them.
static const bool softsglLogOn = (softsglSetCallLogging(true), true);
static const bool standinLogOn = (kxstandSetCallLogging(true), true);

// No settings file: one left beside a build's libraries changes no test. A
// test of the settings names its own file before the driver first reads it.
static const bool noSettingsFile = (setenv("KXPWRVR_INI", "", 1), true);

static std::vector<std::string> messages;

static void collect(const char* message) {
    messages.emplace_back(message);
}

void captureMessages() {
    kxSetDiagnosticSink(collect);
}

const std::vector<std::string>& driverMessages() {
    return messages;
}

void clearMessages() {
    captureMessages();
    messages.clear();
}

bool sawMessage(const std::string& text) {
    return countMessages(text) > 0;
}

int countMessages(const std::string& text) {
    return static_cast<int>(std::count(messages.begin(), messages.end(), text));
}

uint16_t chainPixel(int position, int x, int y) {
    int pitch = 0;
    const uint8_t* base = kxstandChainPixels(position, &pitch);
    if (!base) return 0;
    uint16_t value;
    __builtin_memcpy(&value, base + y * pitch + 2 * x, 2);
    return value;
}

uint16_t ShownFrame::at(int x, int y) const {
    const uint8_t* p = &bytes[(size_t(479 - y) * 640 + size_t(x)) * 3];
    return to565(uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]);
}

int ShownFrame::litIn(int x0, int y0, int x1, int y1) const {
    int lit = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            lit += at(x, y) != 0;
    return lit;
}

const uint32_t* primaryPalette() {
    static const uint32_t palette[256] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    return palette;
}

void drawWhiteQuad(float x, float size) {
    const HostVertex quad[4] = {{x, 0, 0.5f, 1, 0, 0, 0xFFFFFFFF},
                                {x + size, 0, 0.5f, 1, 1, 0, 0xFFFFFFFF},
                                {x + size, size, 0.5f, 1, 1, 1, 0xFFFFFFFF},
                                {x, size, 0.5f, 1, 0, 1, 0xFFFFFFFF}};
    DrawPrimitive(quad, 4);
}

ShownFrame readShownFrame() {
    ShownFrame frame;
    EXPECT_EQ(BltFromCard(frame.bytes.data(), 0, 0, 640, 480, 640 * 3, 2), 1);
    return frame;
}

namespace {

uint32_t widen5(uint32_t v) {
    return v << 3 | v >> 2;
}
uint32_t widen6(uint32_t v) {
    return v << 2 | v >> 4;
}
uint32_t blendChannel(uint32_t s, uint32_t d, uint32_t a) {
    return uint32_t(std::lround((double(s) * a + double(d) * (255 - a)) / 255.0));
}

} // namespace

uint16_t blend565(uint32_t src, uint16_t dst, uint32_t a) {
    uint32_t r = blendChannel((src >> 16) & 255, widen5(dst >> 11), a);
    uint32_t g = blendChannel((src >> 8) & 255, widen6((dst >> 5) & 63), a);
    uint32_t b = blendChannel(src & 255, widen5(dst & 31), a);
    return to565(r << 16 | g << 8 | b);
}

uint16_t blend555(uint32_t src, uint16_t dst, uint32_t a) {
    uint32_t r = blendChannel((src >> 16) & 255, widen5((dst >> 10) & 31), a);
    uint32_t g = blendChannel((src >> 8) & 255, widen5((dst >> 5) & 31), a);
    uint32_t b = blendChannel(src & 255, widen5(dst & 31), a);
    return to555(r << 16 | g << 8 | b);
}
