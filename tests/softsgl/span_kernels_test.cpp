// The span kernels of every level against the plain per-pixel reference:
// random spans, styles, texels and depth contents must give identical
// pixels and depths, bit for bit. The suite also runs under each
// KXPWRVR_KERNELS cap (tests/CMakeLists.txt), where the kernels chosen must
// be the capped level's.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <random>
#include <vector>

#include "cpu/kernel_level.h"
#include "softsgl/span_kernels.h"

namespace {

using softsgl::Span;
using softsgl::SpanStyle;

// Agreement with the reference of a level's kernels, or with `chosen` of
// the kernels in use (which are that level's).
void expectAgreement(int level, bool chosen = false) {
    std::mt19937 rng(20240601);
    auto uni = [&](float lo, float hi) {
        return std::uniform_real_distribution<float>(lo, hi)(rng);
    };
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    std::vector<uint32_t> texels(256 * 256);
    for (uint32_t& t : texels)
        t = rng();
    for (int round = 0; round < 4000; ++round) {
        SpanStyle st{};
        int sizeCode = pick(4);
        if (pick(4) != 0) {
            st.texels = texels.data();
            st.mask = (32 << sizeCode) - 1;
            st.shift = 5 + sizeCode;
        }
        st.constantColour = pick(3) == 0;
        st.translucent = pick(3) == 0;
        st.textureAlpha = st.texels && pick(2) == 0;
        st.is555 = pick(2) == 0;
        st.r = rng() & 255, st.g = rng() & 255, st.b = rng() & 255, st.a = rng() & 255;
        Span s{};
        s.q = uni(-0.5f, 2.0f);
        s.dq = uni(-0.02f, 0.02f);
        s.u = uni(-300, 300), s.du = uni(-8, 8), s.v = uni(-300, 300), s.dv = uni(-8, 8);
        if (pick(10) == 0) s.q = 0.0f, s.dq = 0.0f; // 1/w of zero: u, v infinite or NaN
        // Colours partly out of 0..255 to exercise the clamp.
        auto chan = [&](int32_t& c, int32_t& d) {
            c = int32_t(uni(-20, 280) * 65536.0f);
            d = int32_t(uni(-3, 3) * 65536.0f);
        };
        chan(s.r, s.dr), chan(s.g, s.dg), chan(s.b, s.db), chan(s.a, s.da);
        int n = 1 + pick(70);
        if (round % 50 == 0) { // ends in range, the steps between wrap 32 bits
            n = 5;
            s.r = s.g = s.b = s.a = 100 << 16;
            s.dr = s.dg = s.db = s.da = 1 << 30;
        }
        std::vector<uint16_t> dst(n + 8), dstRef;
        std::vector<float> depth(n + 8), depthRef;
        for (auto& p : dst)
            p = uint16_t(rng());
        for (auto& d : depth)
            d = pick(4) == 0 ? -std::numeric_limits<float>::infinity() : uni(-0.5f, 2.0f);
        dstRef = dst;
        depthRef = depth;
        (chosen ? softsgl::spanKernel(st)
                : softsgl::spanKernelAt(level, st))(dst.data() + 2, depth.data() + 2, n, s, st);
        softsgl::spanReference(st)(dstRef.data() + 2, depthRef.data() + 2, n, s, st);
        ASSERT_EQ(dst, dstRef) << "level " << level << ", round " << round << ", " << n
                               << " pixels";
        ASSERT_EQ(0, std::memcmp(depth.data(), depthRef.data(), depth.size() * sizeof(float)))
            << "level " << level << ", round " << round;
    }
}

TEST(SoftsglSpanKernels, EveryLevelMatchesTheReferenceOnRandomSpans) {
    int tested = 0;
    for (int level = kLevelSse2; level < kLevelCount; ++level) {
        SpanStyle probe{};
        if (!softsgl::spanKernelAt(level, probe)) continue; // not built, or not this processor
        SCOPED_TRACE(kernelLevelName(level));
        expectAgreement(level);
        ++tested;
    }
    std::printf("span kernel levels compared: %d (the processor runs %s)\n", tested,
                kernelLevelName(processorKernelLevel()));
}

// The kernels in use: the level that the cap allows, and agreeing too.
TEST(SoftsglSpanKernels, ChosenKernelsFollowTheCapAndMatchTheReference) {
    int expected = processorKernelLevel();
    if (const char* cap = std::getenv("KXPWRVR_KERNELS"))
        for (int k = 0; k < expected; ++k)
            if (std::string(cap) == kernelLevelName(k)) expected = k;
    EXPECT_EQ(softsgl::spanLevel(), expected);
    expectAgreement(softsgl::spanLevel(), true);
}

} // namespace
