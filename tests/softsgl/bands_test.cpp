// Frames drawn in bands on several threads are the frames drawn on one, bit
// for bit, whatever the target's size and stride and wherever the rows are
// split: the band scenes (tests/bands) on every target of the list, drawn
// on 1, 2, 3 and 8 threads with the split moved by given band times, with
// the quality settings off and on.
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

// The quality settings a frame is drawn with: off, or filter, antialias
// and dither on (supersampled bands resolve their own rows). `antialias`
// < 0: 3 samples each way on targets of up to 320 x 320 pixels, 2 on the
// larger ones.
struct Quality {
    int filter, antialias, dither;
};
void setQuality(const Quality& q) {
    softsglSetFilter(q.filter);
    softsglSetAntialias(q.antialias);
    softsglSetDither(q.dither);
}

// Band times for the frame before: measured; one band slow; alternating
// fast and slow (the next split moves its rows by up to four times).
const std::vector<double> kMeasured{}, kOneSlow{1e-6, 1e-3, 1e-6}, kAlternating{1e-3, 1e-6};

// The band scenes on every target, `seedsPerTarget` seeds each, on 1
// thread and on 2, 3 and 8 with the split moved by each of `splits`;
// returns the drawn pixels seen, to show the frames compared were not
// frames of black.
int sameOnEveryThreadCountSizeAndSplit(const Quality& q, uint32_t seedsPerTarget,
                                       const std::vector<std::vector<double>>& splits) {
    int drawn = 0;
    for (int i = 0; i < kBandTargetCount; ++i) {
        const BandTarget& t = kBandTargets[i];
        const int antialias = q.antialias >= 0                  ? q.antialias
                              : t.width * t.height <= 320 * 320 ? 3
                                                                : 2;
        setQuality({q.filter, antialias, q.dither});
        for (uint32_t seed = uint32_t(2 * i + 1); seed <= uint32_t(2 * i + seedsPerTarget);
             ++seed) {
            const BandScene s = bandScene(seed, t.width, t.height);
            const std::vector<uint16_t> one = drawOn(1, s, t);
            EXPECT_FALSE(one.empty()) << t.width << " x " << t.height << ": render failed";
            for (int threads : {2, 3, 8}) {
                for (const std::vector<double>& seconds : splits) {
                    softsglSetBandSeconds(seconds.data(), int(seconds.size()));
                    // The first frame leaves the times; the second is split by them.
                    for (int frame = 0; frame < 2; ++frame)
                        EXPECT_EQ(drawOn(threads, s, t), one)
                            << t.width << " x " << t.height << ", stride " << t.stride << ", "
                            << t.bitsPerPixel << " bpp, seed " << seed << ", " << threads
                            << " threads, " << seconds.size() << " band times, frame " << frame
                            << ", filter " << q.filter << ", antialias " << antialias << ", dither "
                            << q.dither;
                    softsglSetBandSeconds(nullptr, 0);
                }
            }
            for (uint16_t p : one)
                drawn += p != 0 && p != 0xBEEF;
            if (::testing::Test::HasFailure()) break;
        }
        if (::testing::Test::HasFailure()) break;
    }
    setQuality({-1, -1, -1});
    return drawn;
}

TEST(SoftsglBands, FramesAreTheSameOnEveryThreadCountSizeAndSplit) {
    EXPECT_GT(sameOnEveryThreadCountSizeAndSplit({0, 1, 0}, 2, {kMeasured, kOneSlow, kAlternating}),
              1000000);
}

// With the quality settings on: filtered texels, supersampled bands (2 and
// 3 samples each way) resolved band by band, dithered: the same frames on
// every thread count too. One seed a target and the split that moves the
// rows most keep it about as fast as the above, with four to nine times the
// samples (it runs under ThreadSanitizer too).
TEST(SoftsglBands, FramesWithFilterAntialiasAndDitherAreTheSameOnEveryThreadCount) {
    EXPECT_GT(sameOnEveryThreadCountSizeAndSplit({1, -1, 1}, 1, {kAlternating}), 500000);
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
