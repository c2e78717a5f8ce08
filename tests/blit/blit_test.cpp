// BltToCard, StretchBltToCard, BltFromCard and BltFromCardToCard through the
// exported entry points, on the stand-in's surfaces. Blits are checked on
// every byte of the back buffer, padding included, against the plain
// references of the kernels.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "api/kxapi.h"
#include "platform/posix/standin_control.h"
#include "softsgl/softsgl_control.h"
#include "blit/blit_reference.h"
#include "tests/support/test_support.h"

namespace {

constexpr uint16_t kSentinel = 0xA55A;

// All bytes of a surface of the flipping chain (0 front, 1 back).
struct Surface {
    std::vector<uint8_t> bytes;
    int pitch = 0;
    static Surface capture(int position) {
        Surface s;
        int height = 0;
        const uint8_t* base = kxstandChainPixels(position, &s.pitch, nullptr, &height);
        if (base) s.bytes.assign(base, base + size_t(s.pitch) * height);
        return s;
    }
    uint16_t at(int x, int y) const { return reference::get16(&bytes[size_t(y) * pitch + 2 * x]); }
};

// Every byte of a chain surface set to the sentinel pattern.
void paint(int position) {
    int pitch = 0, height = 0;
    uint8_t* base = kxstandChainPixels(position, &pitch, nullptr, &height);
    for (size_t k = 0; k + 1 < size_t(pitch) * height; k += 2)
        reference::put16(base + k, kSentinel);
}

// A started driver whose first frame a blit of nothing has rendered, with
// the back buffer painted.
void startPainted() {
    ASSERT_EQ(Init(), 1);
    ASSERT_EQ(BltToCard(nullptr, 0, 0, 0, 0, 0, 0, nullptr), 1);
    paint(1);
    clearMessages();
}

std::vector<uint8_t> randomBytes(unsigned seed, size_t n) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v)
        b = uint8_t(rng());
    return v;
}

std::vector<uint32_t> randomPalette(unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint32_t> p(256);
    for (auto& c : p)
        c = rng();
    return p;
}

struct Table {
    uint16_t c[256];
    explicit Table(const std::vector<uint32_t>& palette) {
        for (int k = 0; k < 256; ++k)
            c[k] = to565(palette[k]);
    }
};

// What a blit (or, with sw, sh, a stretch) of a w x h rectangle at (x, y)
// shows: the references drawn into the part inside the screen.
void expectBlit(Surface& s, const uint8_t* src, int pitch, int32_t x, int32_t y, int32_t w,
                int32_t h, const Table& t, bool keyed = false, uint16_t key = 0, int sw = 0,
                int sh = 0) {
    const int64_t left = std::max<int64_t>(0, -int64_t{x}), top = std::max<int64_t>(0, -int64_t{y});
    const int64_t right = std::min<int64_t>(w, 640 - int64_t{x});
    const int64_t bottom = std::min<int64_t>(h, 480 - int64_t{y});
    if (right <= left || bottom <= top) return;
    StretchWindow win = {int32_t(left), int32_t(top), int32_t(right - left), int32_t(bottom - top)};
    uint8_t* d = &s.bytes[size_t(y + top) * s.pitch + 2 * size_t(x + left)];
    if (sw)
        reference::stretch(src, pitch, d, s.pitch, w, h, sw, sh, win, t.c, keyed, key);
    else
        reference::copy(src + top * pitch + left, pitch, d, s.pitch, win.columns, win.rows, t.c,
                        keyed, key);
}

void expectChain(const Surface& expected, int position) {
    Surface actual = Surface::capture(position);
    ASSERT_EQ(actual.bytes.size(), expected.bytes.size());
    auto m = std::mismatch(actual.bytes.begin(), actual.bytes.end(), expected.bytes.begin());
    if (m.first != actual.bytes.end()) {
        size_t k = size_t(m.first - actual.bytes.begin()) & ~size_t(1);
        int x = int(k % expected.pitch / 2), y = int(k / expected.pitch);
        FAIL() << "first difference at x " << x << " y " << y << ": " << actual.at(x, y)
               << " instead of " << expected.at(x, y);
    }
}

} // namespace

// Plain and stretched, keyed and not, through the global palette and a
// palette argument, at odd and even columns, bottom-up sources included.
TEST(Blits, DrawTheReferencePictures) {
    startPainted();
    Surface expected = Surface::capture(1);
    std::vector<uint8_t> src = randomBytes(2, 40 * 16);
    // Before any LoadPalette every index is drawn as 0.
    BltToCard(src.data(), 3, 2, 37, 6, 40, 0, nullptr);
    expectBlit(expected, src.data(), 40, 3, 2, 37, 6, Table(std::vector<uint32_t>(256, 0)));

    const uint32_t key = 0x00808080;
    std::vector<uint32_t> global = randomPalette(3), own = randomPalette(4);
    for (uint32_t& c : global)
        if (to565(c) == to565(key)) c ^= 0x00800000;
    global[5] = 0xFF808080; // another alpha: keyed
    global[6] = 0x00878387; // differs only in bits the conversion drops: keyed
    global[7] = 0x00888080; // differs in a kept red bit: drawn
    for (size_t k = 0; k < src.size(); k += 2)
        src[k] = uint8_t(5 + k / 2 % 3);
    own[9] = key;
    LoadPalette(global.data());
    // The rows of src again, last row first in memory.
    std::vector<uint8_t> upsideDown(src.size());
    for (int r = 0; r < 16; ++r)
        std::copy_n(&src[r * 40], 40, &upsideDown[(15 - r) * 40]);
    const uint8_t* bottomUp = &upsideDown[15 * 40];

    const struct {
        int mode; // ssChromaKey mode; 2 keeps the pair as it is
        bool keyed;
    } modes[] = {{0, false}, {1, true}, {2, true}, {0, false}};
    for (int m = 0; m < 4; ++m) {
        ssChromaKey(modes[m].mode, key);
        const bool k = modes[m].keyed;
        const int y = 20 + 100 * m;
        for (int x = 100; x < 102; ++x) {
            BltToCard(src.data(), x, y + 20 * (x - 100), 37, 6, 40, 0, nullptr);
            expectBlit(expected, src.data(), 40, x, y + 20 * (x - 100), 37, 6, Table(global), k,
                       to565(key));
        }
        BltToCard(src.data(), 150, y, 24, 8, 40, 0, own.data());
        expectBlit(expected, src.data(), 40, 150, y, 24, 8, Table(own), k, to565(key));
        StretchBltToCard(src.data(), 200, y, 48, 20, 24, 8, 40, 0, nullptr);
        expectBlit(expected, src.data(), 40, 200, y, 48, 20, Table(global), k, to565(key), 24, 8);
        StretchBltToCard(src.data(), 260, y, 31, 50, 40, 16, 40, 0, own.data());
        expectBlit(expected, src.data(), 40, 260, y, 31, 50, Table(own), k, to565(key), 40, 16);
        BltToCard(bottomUp, 320, y, 40, 16, -40, 0, nullptr);
        expectBlit(expected, src.data(), 40, 320, y, 40, 16, Table(global), k, to565(key));
        StretchBltToCard(bottomUp, 380, y, 80, 32, 40, 16, -40, 0, nullptr);
        expectBlit(expected, src.data(), 40, 380, y, 80, 32, Table(global), k, to565(key), 40, 16);
    }
    EXPECT_EQ(expected.at(100, 120), kSentinel); // keyed: index 5 kept the sentinel
    EXPECT_EQ(expected.at(102, 120), kSentinel); // index 6 too
    EXPECT_EQ(expected.at(104, 120), to565(global[7]));
    expectChain(expected, 1);
    EXPECT_TRUE(driverMessages().empty());
}

// A column step past 32 bits, (65536 / 2) x 70000: column 1 reads 35000.
// (The steps' truncations at other sizes are the references'.)
TEST(Blits, StretchColumnStepPast32Bits) {
    startPainted();
    std::vector<uint32_t> palette = identityPalette();
    LoadPalette(palette.data());
    std::vector<uint8_t> row(70000, 3);
    row[35000] = 200;
    StretchBltToCard(row.data(), 30, 300, 2, 1, 70000, 1, 70000, 0, nullptr);
    EXPECT_EQ(chainPixel(1, 30, 300), 3);
    EXPECT_EQ(chainPixel(1, 31, 300), 200);
}

TEST(Blits, OtherFormatsNameTheirLayoutAndDrawNothing) {
    startPainted();
    Surface before = Surface::capture(1);
    std::vector<uint8_t> src(64, 1);
    const char* layouts[] = {"8888", "888", "1555", "555", "565"};
    for (int mode = 0; mode < 2; ++mode) {
        ssChromaKey(mode, 0);
        std::string plain = mode ? "bltC: " : "blt: ", stretch = mode ? "stBltC: " : "stBlt: ";
        for (uint32_t format = 1; format <= 5; ++format) {
            clearMessages();
            EXPECT_EQ(BltToCard(src.data(), 1, 1, 8, 8, 8, format, nullptr), 1);
            EXPECT_EQ(StretchBltToCard(src.data(), 1, 1, 16, 16, 8, 8, 8, format, nullptr), 1);
            EXPECT_EQ(driverMessages(),
                      (std::vector<std::string>{plain + layouts[format - 1] + "\n",
                                                stretch + layouts[format - 1] + "\n"}));
        }
        clearMessages();
        for (uint32_t format : {6u, 0x80000000u, 0xFFFFFFFFu}) {
            EXPECT_EQ(BltToCard(src.data(), 1, 1, 8, 8, 8, format, nullptr), 1);
            EXPECT_EQ(StretchBltToCard(src.data(), 1, 1, 16, 16, 8, 8, 8, format, nullptr), 1);
        }
        EXPECT_TRUE(driverMessages().empty());
    }
    expectChain(before, 1);
}

TEST(Blits, RectanglesCrossingTheEdgesAreClipped) {
    startPainted();
    std::vector<uint32_t> palette = identityPalette();
    LoadPalette(palette.data());
    Surface expected = Surface::capture(1);
    const int pitch = 700;
    std::vector<uint8_t> src = randomBytes(8, pitch * 500);
    const struct {
        int x, y, w, h;
    } plain[] = {{600, 10, 100, 5},         {-30, 20, 100, 5},
                 {50, -3, 10, 6},           {300, 470, 20, 30},
                 {-5, 475, 700, 10},        {600, 30, INT_MAX, 2},
                 {INT_MIN + 5, 40, 10, 10}, {0, INT_MAX - 1, 10, INT_MAX},
                 {10, 50, -4, 5},           {10, 50, 5, INT_MIN}};
    for (const auto& r : plain) {
        EXPECT_EQ(BltToCard(src.data(), r.x, r.y, r.w, r.h, pitch, 0, nullptr), 1);
        if (r.w > 0 && r.h > 0)
            expectBlit(expected, src.data(), pitch, r.x, r.y, r.w, r.h, Table(palette));
    }
    // Clipped stretches draw each visible pixel from the source pixel it
    // would read unclipped.
    StretchBltToCard(src.data(), -100, -50, 640, 480, 320, 240, pitch, 0, nullptr);
    expectBlit(expected, src.data(), pitch, -100, -50, 640, 480, Table(palette), false, 0, 320,
               240);
    StretchBltToCard(src.data(), 500, 400, 300, 200, 320, 240, pitch, 0, nullptr);
    expectBlit(expected, src.data(), pitch, 500, 400, 300, 200, Table(palette), false, 0, 320, 240);
    // No image, or one without pixels: nothing to read, nothing drawn.
    BltToCard(nullptr, 0, 0, 8, 8, 8, 0, nullptr);
    StretchBltToCard(nullptr, 0, 0, 8, 8, 8, 8, 8, 0, nullptr);
    StretchBltToCard(src.data(), 0, 0, 8, 8, 0, 8, pitch, 0, nullptr);
    StretchBltToCard(src.data(), 0, 0, 8, 8, 8, -1, pitch, 0, nullptr);
    StretchBltToCard(src.data(), 0, INT_MAX - 5, 10, 100, 8, 8, pitch, 0, nullptr);
    expectChain(expected, 1);
}

TEST(Blits, DrawNothingWithoutAValidBackBuffer) {
    // After a flip the address the last render learned belongs to the front
    // buffer. When the next render cannot lock the back buffer, the frame's
    // blits must draw nowhere: not through that address either.
    ASSERT_EQ(Init(), 1);
    std::vector<uint32_t> palette = identityPalette();
    LoadPalette(palette.data());
    PageFlip();
    paint(0);
    paint(1);
    Surface front = Surface::capture(0), back = Surface::capture(1);
    clearMessages();
    std::vector<uint8_t> src(16 * 16, 4);
    kxstandFailCall("IDirectDrawSurface::Lock", DDERR_SURFACEBUSY);
    EXPECT_EQ(BltToCard(src.data(), 0, 0, 16, 16, 16, 0, nullptr), 1);
    EXPECT_EQ(StretchBltToCard(src.data(), 0, 0, 32, 32, 16, 16, 16, 0, nullptr), 1);
    EXPECT_TRUE(sawMessage("pvr_RenderCallback, ddGetWindowInfo failed\n"));
    expectChain(front, 0);
    expectChain(back, 1);
    // The next frame's render succeeds again.
    PageFlip();
    BltToCard(src.data(), 0, 0, 16, 16, 16, 0, nullptr);
    EXPECT_EQ(chainPixel(1, 15, 15), 4);
}

// The front buffer read back bottom-up as blue, green, red, on 565 and 555
// displays, clipped to the screen, other formats and lock failures copying
// nothing.
TEST(BltFromCard, ReadsTheScreenBottomUp) {
    for (bool is565 : {true, false}) {
        kxstandSetPixelFormat565(is565);
        ASSERT_EQ(Init(), 1);
        int pitch = 0;
        uint8_t* screen = kxstandChainPixels(0, &pitch);
        std::vector<uint8_t> pixels = randomBytes(11, size_t(pitch) * 480);
        std::memcpy(screen, pixels.data(), pixels.size());
        const ScreenPixelFormat f =
            is565 ? ScreenPixelFormat{0xF800, 0x07E0, 0x001F, 8, 3, -3, nullptr}
                  : ScreenPixelFormat{0x7C00, 0x03E0, 0x001F, 7, 2, -3, nullptr};
        // A pitch wider than 3 x width leaves the gap; the second and third
        // arguments move nothing; 700 x 500 reads 640 x 480.
        const struct {
            int w, h, dstPitch;
        } cases[] = {{37, 23, 3 * 37 + 5}, {700, 500, 3 * 700}, {1, 1, 3}};
        for (const auto& c : cases) {
            std::vector<uint8_t> dst = randomBytes(12, size_t(c.dstPitch) * c.h), expected = dst;
            const int w = std::min(c.w, 640), h = std::min(c.h, 480);
            reference::readBack(screen + (h - 1) * pitch, -pitch, expected.data(), c.dstPitch, w, h,
                                f);
            EXPECT_EQ(BltFromCard(dst.data(), 17, -9, c.w, c.h, c.dstPitch, 2), 1);
            EXPECT_EQ(dst, expected) << c.w;
        }
        // Other formats and empty regions lock, copy nothing and succeed.
        std::vector<uint8_t> dst = randomBytes(14, 3 * 8 * 8), before = dst;
        int locks = kxstandCallCount("IDirectDrawSurface::Lock");
        clearMessages();
        for (uint32_t format : {0u, 1u, 3u, 4u, 5u, 6u, 0xFFFFFFFFu})
            EXPECT_EQ(BltFromCard(dst.data(), 0, 0, 8, 8, 24, format), 1);
        EXPECT_EQ(BltFromCard(dst.data(), 0, 0, 0, 5, 24, 2), 1);
        EXPECT_EQ(BltFromCard(dst.data(), 0, 0, 5, INT_MIN, 24, 2), 1);
        EXPECT_EQ(BltFromCard(nullptr, 0, 0, 4, 4, 12, 2), 1);
        EXPECT_EQ(dst, before);
        EXPECT_EQ(kxstandCallCount("IDirectDrawSurface::Lock"), locks + 10);
        EXPECT_EQ(kxstandLockedSurfaces(), 0);
        EXPECT_TRUE(driverMessages().empty());
        // A front buffer that cannot be locked, or none at all: 0, nothing copied.
        kxstandFailCall("IDirectDrawSurface::Lock", DDERR_SURFACELOST);
        EXPECT_EQ(BltFromCard(dst.data(), 0, 0, 4, 4, 12, 2), 0);
        Shutdown();
        EXPECT_EQ(BltFromCard(dst.data(), 0, 0, 4, 4, 12, 2), 0);
        EXPECT_EQ(dst, before);
    }
}

TEST(BltFromCardToCard, ReportsItIsNotServed) {
    ASSERT_EQ(Init(), 1);
    paint(0);
    paint(1);
    Surface front = Surface::capture(0), back = Surface::capture(1);
    clearMessages();
    EXPECT_EQ(BltFromCardToCard(), 0);
    EXPECT_EQ(driverMessages(),
              std::vector<std::string>{"BltFromCardToCard not yet implemented\n"});
    expectChain(front, 0);
    expectChain(back, 1);
}
