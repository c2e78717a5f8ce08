// The kernel set the driver runs against the plain references, on random
// sizes, offsets, pitches (bottom-up sources too), palettes and key runs.
// Destinations are wider than the rows drawn; the whole buffer is compared,
// so a byte written past a row or outside the window fails. CTest runs this
// program once per kernel level (KXPWRVR_KERNELS), so every set is checked.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "blit/blit_kernels.h"
#include "platform/posix/standin_control.h"
#include "blit/blit_reference.h"

namespace {

// ---- random surfaces ----

struct Image {
    std::vector<uint8_t> bytes;
    ptrdiff_t pitch;
    size_t origin; // byte of the first row's first pixel
    const uint8_t* first() const { return bytes.data() + origin; }
    uint8_t* first() { return bytes.data() + origin; }
};

// rows x rowBytes, pitch wider by 0..slack bytes (kept even when `even`),
// bottom-up (negative pitch) when asked, starting `offset` bytes in.
Image makeImage(std::mt19937& rng, int rows, int rowBytes, int slack, bool bottomUp, int offset,
                bool even) {
    Image im;
    int extra = slack ? static_cast<int>(rng() % (slack + 1)) : 0;
    int pitch = rowBytes + extra;
    if (even) pitch += pitch & 1;
    im.bytes.resize(offset + static_cast<size_t>(std::max(rows, 1)) * pitch + 8);
    for (auto& b : im.bytes)
        b = static_cast<uint8_t>(rng());
    im.pitch = bottomUp ? -pitch : pitch;
    im.origin = offset + (bottomUp ? static_cast<size_t>(std::max(rows - 1, 0)) * pitch : 0);
    return im;
}

// Random colours; with `repeats`, a few equal to entry 0's, so that its key
// matches several indices.
std::vector<uint16_t> randomTable(std::mt19937& rng, bool repeats = true) {
    std::vector<uint16_t> t(256);
    for (auto& c : t)
        c = static_cast<uint16_t>(rng());
    for (int k = 0; repeats && k < 8; ++k)
        t[rng() % 256] = t[0];
    return t;
}

int between(std::mt19937& rng, int lo, int hi) {
    return lo + static_cast<int>(rng() % (hi - lo + 1));
}

// Runs of index 0 (the key's index in most rounds) over an image of rows x
// width, as sprites have: whole groups keyed, groups cut by a run's edge.
void keyRuns(std::mt19937& rng, Image& im, int rows, int width) {
    for (int i = 0; i < rows && width > 0; ++i) {
        uint8_t* row = im.first() + i * im.pitch;
        for (int run = between(rng, 0, 3); run > 0; --run) {
            int start = between(rng, 0, width - 1);
            std::memset(row + start, 0, between(rng, 1, width - start));
        }
    }
}

} // namespace

// The blits run the level the driver names on the debugger output under a
// cap, so that each capped run of these tests checks the set it says it
// checks; without a cap nothing is named and the processor's level runs.
// Which level a cap gives is tests/cpu's.
TEST(BlitKernels, RunTheLevelTheDriverNames) {
    kxstandClearDebugLines();
    const std::string set = blitKernels().name; // its first use chooses the level
    const std::vector<std::string> named = kxstandDebugLines();
    if (std::getenv("KXPWRVR_KERNELS")) {
        EXPECT_EQ(named, std::vector<std::string>{"kxpwrvr: kernels " + set + "\n"});
    } else {
        EXPECT_TRUE(named.empty());
        EXPECT_EQ(set, kernelLevelName(processorKernelLevel()));
    }
}

TEST(BlitKernels, PlainAndKeyedCopiesMatchTheReference) {
    const BlitKernelSet* set = &blitKernels();
    std::mt19937 rng(1234);
    for (int round = 0; round < 600; ++round) {
        SCOPED_TRACE(std::string(set->name) + " round " + std::to_string(round));
        // Narrow, small, and (every sixth round) large enough for the
        // kernels' per-call tables.
        int w = round % 5 == 0 ? between(rng, 0, 8) : between(rng, 1, 300);
        int h = round % 6 == 3 ? between(rng, 20, 40) : between(rng, 0, 12);
        bool keyed = round & 1;
        Image src = makeImage(rng, h, w, 40, rng() % 3 == 0, between(rng, 0, 3), false);
        if (round % 4 == 1) keyRuns(rng, src, h, w);
        // Destination starts at any even byte, so rows begin on and off
        // 4-byte boundaries.
        Image dst = makeImage(rng, h, 2 * w, 64, false, 2 * between(rng, 0, 3), true);
        Image expected = dst;
        // The key colour usually that of index 0 (alone or with others).
        std::vector<uint16_t> table = randomTable(rng, round % 3 != 0);
        uint16_t key = rng() % 4 ? table[0] : static_cast<uint16_t>(rng());
        reference::copy(src.first(), src.pitch, expected.first(), expected.pitch, w, h,
                        table.data(), keyed, key);
        if (keyed)
            set->copyIndexedKeyed(src.first(), src.pitch, dst.first(), dst.pitch, w, h,
                                  table.data(), key);
        else
            set->copyIndexed(src.first(), src.pitch, dst.first(), dst.pitch, w, h, table.data());
        ASSERT_EQ(expected.bytes, dst.bytes) << "w " << w << " h " << h;
    }
}

TEST(BlitKernels, StretchesMatchTheReferenceInEveryWindow) {
    struct Size {
        int w, h, sw, sh;
    };
    // Enlargements, exact sizes, reductions within and past a 64-column
    // window, and reductions wider than the fast kernel's column span.
    const Size fixed[] = {{640, 480, 320, 240}, {100, 100, 100, 100}, {64, 20, 3000, 7},
                          {50, 9, 9000, 3},     {33, 5, 65, 5},       {1, 1, 1, 1},
                          {640, 4, 1, 1},       {17, 300, 5, 600}};
    const BlitKernelSet* set = &blitKernels();
    std::mt19937 rng(99);
    for (int round = 0; round < 500; ++round) {
        SCOPED_TRACE(std::string(set->name) + " round " + std::to_string(round));
        Size s = round < 8 ? fixed[round]
                           : Size{between(rng, 1, 260), between(rng, 1, 40), between(rng, 1, 400),
                                  between(rng, 1, 60)};
        StretchWindow win{0, 0, s.w, s.h};
        if (round % 3) { // a random part of the rectangle, as clipping leaves it
            win.firstColumn = between(rng, 0, s.w - 1);
            win.columns = between(rng, 1, s.w - win.firstColumn);
            win.firstRow = between(rng, 0, s.h - 1);
            win.rows = between(rng, 1, s.h - win.firstRow);
        }
        bool keyed = round & 1;
        Image src = makeImage(rng, s.sh, s.sw, 24, rng() % 3 == 0, between(rng, 0, 3), false);
        if (round % 4 == 1) keyRuns(rng, src, s.sh, s.sw);
        Image dst =
            makeImage(rng, win.rows, 2 * win.columns, 48, false, 2 * between(rng, 0, 3), true);
        Image expected = dst;
        std::vector<uint16_t> table = randomTable(rng);
        uint16_t key = table[0];
        reference::stretch(src.first(), src.pitch, expected.first(), expected.pitch, s.w, s.h, s.sw,
                           s.sh, win, table.data(), keyed, key);
        set->stretchIndexed(src.first(), src.pitch, dst.first(), dst.pitch, s.w, s.h, s.sw, s.sh,
                            win, table.data(), keyed, key);
        ASSERT_EQ(expected.bytes, dst.bytes)
            << s.w << "x" << s.h << " from " << s.sw << "x" << s.sh;
    }
}

// Destination rows closer together than a row is wide overlap: each row is
// drawn whole after the one before it, as the reference draws them, rows
// that repeat a source row included (no copy that overlapping rows make
// undefined).
TEST(BlitKernels, StretchesOntoOverlappingRowsDrawRowAfterRow) {
    const BlitKernelSet* set = &blitKernels();
    std::mt19937 rng(31);
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(std::string(set->name) + " round " + std::to_string(round));
        const int w = between(rng, 1, 200), h = between(rng, 2, 30);
        const int sw = between(rng, 1, 2 * w), sh = between(rng, 1, h / 2 + 1);
        const ptrdiff_t pitch = 2 * between(rng, 0, w - 1) * (rng() % 4 == 0 ? -1 : 1);
        const StretchWindow win{0, 0, w, h};
        const bool keyed = round % 3 == 0;
        Image src = makeImage(rng, sh, sw, 8, false, 0, false);
        if (keyed) keyRuns(rng, src, sh, sw);
        std::vector<uint8_t> dst(size_t(h) * size_t(std::abs(pitch)) + 2 * size_t(w) + 16);
        for (auto& b : dst)
            b = static_cast<uint8_t>(rng());
        std::vector<uint8_t> expected = dst;
        const size_t origin = pitch < 0 ? size_t(h - 1) * size_t(-pitch) : 0;
        std::vector<uint16_t> table = randomTable(rng);
        reference::stretch(src.first(), src.pitch, expected.data() + origin, pitch, w, h, sw, sh,
                           win, table.data(), keyed, table[0]);
        set->stretchIndexed(src.first(), src.pitch, dst.data() + origin, pitch, w, h, sw, sh, win,
                            table.data(), keyed, table[0]);
        ASSERT_EQ(expected, dst) << w << "x" << h << " from " << sw << "x" << sh << ", pitch "
                                 << pitch;
    }
}

// Sizes whose steps overflow 32 bits stay exact in 64 (the truncations at
// other sizes are the references').
TEST(BlitKernels, StretchSteppingPast32BitsStaysExact) {
    EXPECT_EQ(stretchColumnStep(1, 70000), 65536LL * 70000);
    EXPECT_EQ(stretchSourceRow(40000, 50000, 100000), (40000LL * 65536 / 50000 * 100000) >> 16);
}

TEST(BlitKernels, ReadBackMatchesTheReferenceForAnyMasks) {
    const ScreenPixelFormat formats[] = {
        {0xF800, 0x07E0, 0x001F, 8, 3, -3, nullptr},
        {0x7C00, 0x03E0, 0x001F, 7, 2, -3, nullptr},
        {0x000F, 0x00F0, 0x0F00, -4, 0, 4, nullptr}, // shifts of either sign and zero
        {0xFFFF, 0x0000, 0x0003, 8, -7, -6, nullptr},
    };
    const BlitKernelSet* set = &blitKernels();
    std::mt19937 rng(7);
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE(std::string(set->name) + " round " + std::to_string(round));
        const ScreenPixelFormat& f = formats[round % 4];
        int w = round % 7 == 0 ? between(rng, 0, 5) : between(rng, 1, 200);
        int h = between(rng, 0, 10);
        Image src = makeImage(rng, h, 2 * w, 40, rng() % 2 == 0, 2 * between(rng, 0, 2), true);
        Image dst = makeImage(rng, h, 3 * w, 30, rng() % 4 == 0, between(rng, 0, 5), false);
        Image expected = dst;
        reference::readBack(src.first(), src.pitch, expected.first(), expected.pitch, w, h, f);
        set->readBack888(src.first(), src.pitch, dst.first(), dst.pitch, w, h, f);
        ASSERT_EQ(expected.bytes, dst.bytes) << "w " << w << " h " << h;
    }
}
