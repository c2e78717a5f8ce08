// Frames drawn in bands on several threads are the frames drawn on one, bit
// for bit, whatever the target's size and stride and wherever the rows are
// split: the band scenes (tests/bands) on every target of the list, drawn
// on 1, 2, 3 and 8 threads with the split moved by given band times.
#include <gtest/gtest.h>

#include <vector>

#include "softsgl/softsgl_control.h"
#include "softsgl_helpers.h"
#include "tests/bands/band_scenes.h"

namespace {

std::vector<uint16_t> drawOn(int threads, const BandScene& s, const BandTarget& t) {
    softsglSetThreads(threads);
    std::vector<uint16_t> pixels = drawBandScene(s, t);
    softsglSetThreads(0);
    return pixels;
}

// A line from far beyond the guard band to a point right of the screen:
// every point of it is off the screen. Its far end's coordinates are so
// large that stepping from that end cancelled the near end's digits and put
// the line on row 0, on one thread, while the bands that own row 0 passed
// it by for the rows noted for it (239 and below): found by the fuzzer on a
// 320 x 320 target.
TEST(SoftsglBands, LinesFromFarBeyondTheGuardBandKeepTheirCourse) {
    const SGLVERTEX nearEnd{61104.0f, 240.0f, 0.5f, 1e-30f, 0xFFCDCDCD, 0, 0, 0};
    const SGLVERTEX farEnds[] = {{1e30f, 1e30f, 0.5f, 1e30f, 0xFFCBCBCB, 0, 0, 0},
                                 {-3.4028235e38f, -3.4028235e38f, 0.5f, 0.4f, 0xFF3CEEEE, 0, 0, 0}};
    for (int threads : {1, 2, 3}) {
        softsglSetThreads(threads);
        MemoryTarget t;
        const int device = setUpScreen(t, 320, 320, 16, 640);
        SGLCONTEXT ctx = defaultContext();
        sgltri_startofframe(&ctx);
        for (const SGLVERTEX& far : farEnds) {
            SGLVERTEX vs[2] = {far, nearEnd};
            uint16_t pair[1][2] = {{0, 1}};
            sgltri_lines(&ctx, 1, pair, vs);
        }
        // The same course as a triangle's edge: clipped to the guard band
        // from its inside end.
        SGLVERTEX tri[3] = {
            farEnds[1], nearEnd, {61104.0f, 241.0f, 0.5f, 0.4f, 0xFF3CEEEE, 0, 0, 0}};
        int32_t triple[1][3] = {{0, 1, 2}};
        sgltri_triangles(&ctx, 1, triple, tri);
        ASSERT_EQ(sgltri_render(&ctx), 0);
        sgl_delete_device(device);
        int lit = 0;
        for (uint16_t p : t.pixels)
            lit += p != 0;
        EXPECT_EQ(lit, 0) << threads << " thread(s): the first row reads "
                          << picture(t, 16, 1, {{0, '.'}});
    }
    softsglSetThreads(0);
}

TEST(SoftsglBands, FramesAreTheSameOnEveryThreadCountSizeAndSplit) {
    // Band times for the frame before: measured; one band slow; alternating
    // fast and slow (the next split moves its rows by up to four times).
    const std::vector<std::vector<double>> splits = {{}, {1e-6, 1e-3, 1e-6}, {1e-3, 1e-6}};
    int drawn = 0;
    for (int i = 0; i < kBandTargetCount; ++i) {
        const BandTarget& t = kBandTargets[i];
        for (uint32_t seed = uint32_t(2 * i + 1); seed <= uint32_t(2 * i + 2); ++seed) {
            const BandScene s = bandScene(seed, t.width, t.height);
            const std::vector<uint16_t> one = drawOn(1, s, t);
            ASSERT_FALSE(one.empty()) << t.width << " x " << t.height << ": render failed";
            for (int threads : {2, 3, 8}) {
                for (const std::vector<double>& seconds : splits) {
                    softsglSetBandSeconds(seconds.data(), int(seconds.size()));
                    // The first frame leaves the times; the second is split by them.
                    for (int frame = 0; frame < 2; ++frame)
                        ASSERT_EQ(drawOn(threads, s, t), one)
                            << t.width << " x " << t.height << ", stride " << t.stride << ", "
                            << t.bitsPerPixel << " bpp, seed " << seed << ", " << threads
                            << " threads, " << seconds.size() << " band times, frame " << frame;
                    softsglSetBandSeconds(nullptr, 0);
                }
            }
            for (uint16_t p : one)
                drawn += p != 0 && p != 0xBEEF;
        }
    }
    // Not frames of black: the comparisons saw drawn pixels.
    EXPECT_GT(drawn, 1000000);
}

TEST(SoftsglBands, ThreadCountCanBeForcedAndWorkersEndWithTheLastDevice) {
    softsglSetThreads(3);
    EXPECT_EQ(softsglThreads(), 3);
    softsglSetThreads(1);
    EXPECT_EQ(softsglThreads(), 1);
    softsglSetThreads(99); // out of range: the default
    softsglSetThreads(0);
    const int byDefault = softsglThreads();
    EXPECT_GE(byDefault, 1);
    EXPECT_LE(byDefault, 8);
    // Workers started, ended with the device, started again by the next
    // device's frame: the frames stay right.
    const BandTarget& t = kBandTargets[15]; // 640 x 480
    const BandScene s = bandScene(7, t.width, t.height);
    const std::vector<uint16_t> first = drawOn(3, s, t);
    EXPECT_EQ(drawOn(2, s, t), first);
    EXPECT_EQ(drawOn(3, s, t), first);
}

} // namespace
