// The span kernels of every level against the plain per-pixel reference:
// random spans, styles, texels and depth contents must give identical
// pixels and depths, bit for bit, with bilinear filtering and dithering on
// and off. The suite also runs under each KXPWRVR_KERNELS cap
// (tests/CMakeLists.txt), where the kernels chosen must be the capped
// level's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "cpu/kernel_level.h"
#include "softsgl/span_kernels.h"

namespace {

using softsgl::Span;
using softsgl::SpanFunction;
using softsgl::SpanStyle;

// A set of span kernels to hold to the reference: a level's, or the
// AVX-512 level's that fetches texels by the gather instruction.
struct KernelSet {
    int level;
    bool gather;
    SpanFunction at(const SpanStyle& st) const { return softsgl::spanKernelAt(level, st, gather); }
    std::string name() const {
        return std::string(kernelLevelName(level)) + (gather ? " gather" : "");
    }
};

// The sets this build has and this processor runs, the SSE2 level's up.
std::vector<KernelSet> kernelSets() {
    std::vector<KernelSet> sets;
    for (int level = kLevelSse2; level < kLevelCount; ++level)
        for (bool gather : {false, true}) {
            if (gather && level != kLevelAvx512) continue;
            if (softsgl::spanKernelAt(level, SpanStyle{}, gather))
                sets.push_back(KernelSet{level, gather});
        }
    return sets;
}

constexpr int kSide = 256;

// Texels of the largest side; smaller maps use their first side x side.
struct Textures {
    std::vector<uint32_t> random;
    // Transparency 0 or 255 with whole 8 x 8 blocks transparent: filtered
    // keyed sprites, neighbourhoods whose summed weight is 0.
    std::vector<uint32_t> keyed;
    // Few values per channel and transparency: weighted sums landing
    // exactly half way, where rounding must go up.
    std::vector<uint32_t> ties;
};

Textures makeTextures(std::mt19937& rng) {
    Textures t;
    t.random.resize(kSide * kSide);
    t.keyed.resize(kSide * kSide);
    t.ties.resize(kSide * kSide);
    const uint32_t few[] = {0, 1, 2, 127, 128, 254, 255};
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const size_t i = size_t(y * kSide + x);
            t.random[i] = rng();
            // The 8 x 8 block's own key, the same for every side (the
            // blocks tile each smaller map too).
            const bool blockKeyed = ((x / 8) * 7 + (y / 8) * 3) % 4 == 0;
            t.keyed[i] = (rng() & 0xFFFFFF) | (blockKeyed || rng() % 4 == 0 ? 0xFF000000u : 0);
            uint32_t v = 0;
            for (int c = 0; c < 4; ++c)
                v |= few[rng() % 7] << (8 * c);
            t.ties[i] = v;
        }
    return t;
}

// The texel coordinate (in texels) of a place in a map, by kinds of place:
// anywhere; a texel border (where the filter's sample point, half a texel
// in, changes texels) give or take a fraction near 0 or near 1, on either
// side of the wrap.
float place(std::mt19937& rng, int side) {
    const float fractions[] = {0.0f,         1.0f / 256,    255.0f / 256,        0.5f,
                               1.0f / 65536, -1.0f / 65536, 1.0f - 1.0f / 65536, 1.0f / 512,
                               511.0f / 512};
    const int border = int(rng() % unsigned(4 * side)) - 2 * side;
    return float(border) + 0.5f + fractions[rng() % 9];
}

struct Round {
    SpanStyle st{};
    Span s{};
    int n = 0;
    bool inTransparentBlock = false; // every pixel's texels are keyed out
};

Round makeRound(std::mt19937& rng, const Textures& textures, int round) {
    auto uni = [&](float lo, float hi) {
        return std::uniform_real_distribution<float>(lo, hi)(rng);
    };
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    Round r;
    SpanStyle& st = r.st;
    Span& s = r.s;
    // Every combination of the kernel's switches, in turn.
    const int combination = round % 64;
    const bool textured = combination & 1;
    st.constantColour = combination & 2;
    st.translucent = combination & 4;
    st.is555 = combination & 8;
    st.bilinear = combination & 16;
    st.dither = combination & 32;
    const int sizeCode = pick(4);
    const int side = 32 << sizeCode;
    const int texelKind = pick(3);
    if (textured) {
        st.texels = texelKind == 0   ? textures.random.data()
                    : texelKind == 1 ? textures.keyed.data()
                                     : textures.ties.data();
        st.mask = side - 1;
        st.shift = 5 + sizeCode;
    }
    st.textureAlpha = textured && pick(3) != 0;
    st.r = rng() & 255, st.g = rng() & 255, st.b = rng() & 255, st.a = rng() & 255;
    if (pick(4) == 0) st.r = st.g = st.b = st.a = 255; // the texel itself
    s.x = pick(1024), s.y = pick(1024);
    // Colours partly out of 0..255 to exercise the clamp.
    auto chan = [&](int32_t& c, int32_t& d) {
        c = int32_t(uni(-20, 280) * 65536.0f);
        d = int32_t(uni(-3, 3) * 65536.0f);
    };
    chan(s.r, s.dr), chan(s.g, s.dg), chan(s.b, s.db), chan(s.a, s.da);
    r.n = pick(8) == 0 ? 1 + pick(300) : 1 + pick(70);
    if (round % 50 == 0) { // ends in range, the steps between wrap 32 bits
        r.n = 5;
        s.r = s.g = s.b = s.a = 100 << 16;
        s.dr = s.dg = s.db = s.da = 1 << 30;
    }
    switch (pick(4)) {
    case 0: // anywhere, in perspective
    case 1:
        s.q = uni(-0.5f, 2.0f);
        s.dq = uni(-0.02f, 0.02f);
        s.u = uni(-300, 300), s.du = uni(-8, 8), s.v = uni(-300, 300), s.dv = uni(-8, 8);
        if (pick(10) == 0) s.q = 0.0f, s.dq = 0.0f; // 1/w of zero: u, v infinite or NaN
        break;
    case 2: { // at texel borders: 1/w of 1, so that u and v are as given
        const float steps[] = {0.0f, 1.0f / 256, -1.0f / 256, 1.0f / 1024, 0.37f, -3.0f};
        s.q = 1.0f, s.dq = 0.0f;
        s.u = place(rng, side), s.du = steps[pick(6)];
        s.v = place(rng, side), s.dv = steps[pick(6)];
        break;
    }
    default: // within one keyed-out 8 x 8 block: every weight 0 where opacity counts
        if (!textured || texelKind != 1) {
            s.q = uni(0.5f, 2.0f), s.dq = 0.0f;
            s.u = uni(-300, 300), s.du = uni(-2, 2), s.v = uni(-300, 300), s.dv = uni(-2, 2);
            break;
        }
        s.q = 1.0f, s.dq = 0.0f;
        // Block (0, 0) is keyed; the filter reaches half a texel beyond the
        // sample, so points 1..7 texels in stay within it.
        s.u = float(8 * side) + 1.0f + uni(0, 5), s.du = 0.0f;
        s.v = float(-side) + 1.0f + uni(0, 5), s.dv = uni(-0.01f, 0.01f);
        r.n = 1 + pick(40);
        r.inTransparentBlock = st.translucent && st.textureAlpha;
    }
    return r;
}

// Agreement with the reference of a level's kernels, or with `chosen` of
// the kernels in use (which are that level's).
void expectAgreement(const KernelSet& set, bool chosen = false) {
    std::mt19937 rng(20240601);
    const Textures textures = makeTextures(rng);
    auto uni = [&](float lo, float hi) {
        return std::uniform_real_distribution<float>(lo, hi)(rng);
    };
    int keyedOut = 0;
    for (int round = 0; round < 6400; ++round) {
        const Round r = makeRound(rng, textures, round);
        std::vector<uint16_t> dst(size_t(r.n) + 8), dstRef;
        std::vector<float> depth(size_t(r.n) + 8), depthRef;
        for (auto& p : dst)
            p = uint16_t(rng());
        for (auto& d : depth)
            d = rng() % 4 == 0 ? -std::numeric_limits<float>::infinity() : uni(-0.5f, 2.0f);
        dstRef = dst;
        depthRef = depth;
        const std::vector<uint16_t> before = dst;
        const std::vector<float> depthBefore = depth;
        const SpanFunction kernel = chosen ? softsgl::spanKernel(r.st) : set.at(r.st);
        kernel(dst.data() + 2, depth.data() + 2, r.n, r.s, r.st);
        softsgl::spanReference(r.st)(dstRef.data() + 2, depthRef.data() + 2, r.n, r.s, r.st);
        ASSERT_EQ(dst, dstRef) << set.name() << ", round " << round << ", " << r.n << " pixels";
        ASSERT_EQ(0, std::memcmp(depth.data(), depthRef.data(), depth.size() * sizeof(float)))
            << set.name() << ", round " << round;
        if (r.inTransparentBlock) {
            // A keyed-out neighbourhood draws nothing.
            ASSERT_EQ(dst, before) << "round " << round;
            ASSERT_EQ(0,
                      std::memcmp(depth.data(), depthBefore.data(), depth.size() * sizeof(float)));
            ++keyedOut;
        }
    }
    EXPECT_GT(keyedOut, 10);
}

TEST(SoftsglSpanKernels, EveryLevelMatchesTheReferenceOnRandomSpans) {
    int tested = 0;
    for (const KernelSet& set : kernelSets()) { // built, and run by this processor
        SCOPED_TRACE(set.name());
        expectAgreement(set);
        ++tested;
    }
    std::printf("span kernel sets compared: %d (the processor runs %s)\n", tested,
                kernelLevelName(processorKernelLevel()));
}

// Dithering of every channel value in every cell of the matrix: a ramp of
// the 256 values (green running down) from each of the 4 x 4 starts, in
// both pixel formats.
TEST(SoftsglSpanKernels, DitheringMatchesTheReferenceForEveryValueInEveryCell) {
    for (const KernelSet& set : kernelSets()) {
        SpanStyle st{};
        st.dither = true;
        for (bool is555 : {false, true})
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x) {
                    st.is555 = is555;
                    Span s{};
                    s.q = 1.0f;
                    s.x = x, s.y = y;
                    s.r = 1 << 15, s.dr = 1 << 16;
                    s.g = (255 << 16) | 1 << 15, s.dg = -(1 << 16);
                    s.b = s.r, s.db = s.dr;
                    std::vector<uint16_t> dst(256, 0), ref(256, 0);
                    std::vector<float> z(256, -1.0f), zRef(256, -1.0f);
                    set.at(st)(dst.data(), z.data(), 256, s, st);
                    softsgl::spanReference(st)(ref.data(), zRef.data(), 256, s, st);
                    ASSERT_EQ(dst, ref)
                        << set.name() << (is555 ? " 555" : " 565") << ", start " << x << ", " << y;
                    ASSERT_EQ(z, zRef);
                }
    }
}

// A filtered span of 256 pixels over the 2 x 2 texels at the map's corner
// (`quad`: (0, 0), (1, 0), (0, 1), (1, 1)): every pixel at column fraction
// fx, pixel i at row fraction i; translucent with their opacity counting,
// or opaque. The level's pixels and depths against the reference's.
void expectSweepAgrees(const KernelSet& set, const uint32_t (&quad)[4], int fx, const char* what,
                       bool opacity = true) {
    std::vector<uint32_t> texels(32 * 32, 0);
    texels[0] = quad[0], texels[1] = quad[1], texels[32] = quad[2], texels[33] = quad[3];
    SpanStyle st{};
    st.texels = texels.data();
    st.mask = 31, st.shift = 5;
    st.bilinear = st.constantColour = true;
    st.textureAlpha = st.translucent = opacity;
    st.r = st.g = st.b = st.a = 255;
    Span s{};
    s.q = 1.0f;
    s.u = 0.5f + float(fx) / 256;  // x = u - 0.5: column 0, fraction fx
    s.v = 0.5f, s.dv = 1.0f / 256; // row 0, fraction i at pixel i (exact floats)
    std::vector<uint16_t> dst(256, 0x5A5A), ref(256, 0x5A5A);
    std::vector<float> z(256, -1.0f), zRef(256, -1.0f);
    set.at(st)(dst.data(), z.data(), 256, s, st);
    softsgl::spanReference(st)(ref.data(), zRef.data(), 256, s, st);
    ASSERT_EQ(dst, ref) << set.name() << ", " << what << ", texels " << std::hex << quad[0] << " "
                        << quad[1] << " " << quad[2] << " " << quad[3] << std::dec << ", fx " << fx;
    ASSERT_EQ(z, zRef);
}

// Quotients exactly half way: two columns of equal opacity, 0 beside 255
// and 1 beside 2, halfway between them, for pairs of row opacities and
// every fraction down the rows; a float quotient alone lands on either side.
TEST(SoftsglSpanKernels, FilteredOpacityQuotientsExactlyHalfWayRoundUp) {
    int compared = 0;
    for (const KernelSet& set : kernelSets()) {
        for (uint32_t a = 1; a < 256; a += 2)
            for (uint32_t b : {a, 256 - a, 1u, 255u}) {
                const uint32_t keyA = (255 - a) << 24, keyB = (255 - b) << 24;
                // r 0, g 255, b 1 beside r 255, g 0, b 2.
                const uint32_t quad[4] = {keyA | 0x01FF00, keyA | 0x0200FF, keyB | 0x01FF00,
                                          keyB | 0x0200FF};
                ASSERT_NO_FATAL_FAILURE(expectSweepAgrees(set, quad, 128, "half way"));
                ++compared;
            }
    }
    std::printf("half-way spans compared: %d\n", compared);
}

// Quotients within 2^-16 of half way, either side, found among random
// texels: where a float quotient rounds across the half, up or down.
TEST(SoftsglSpanKernels, FilteredOpacityQuotientsNearHalfWayRoundAsTheReference) {
    std::mt19937 rng(7);
    int found = 0;
    for (int tries = 0; found < 100 && tries < 100000; ++tries) {
        uint32_t quad[4];
        for (uint32_t& t : quad)
            t = rng();
        const uint64_t fx = rng() % 256;
        bool near = false;
        for (uint64_t fy = 0; fy < 256 && !near; ++fy)
            for (int c = 0; c < 3 && !near; ++c) {
                uint64_t sum = 0, weights = 0;
                for (int k = 0; k < 4; ++k) {
                    const uint64_t w =
                        (k & 1 ? fx : 256 - fx) * (k & 2 ? fy : 256 - fy) * (255 - (quad[k] >> 24));
                    weights += w;
                    sum += w * ((quad[k] >> (8 * c)) & 0xFF);
                }
                // sum / weights + 1/2 = (2 sum + weights) / (2 weights).
                const uint64_t rest = weights ? (2 * sum + weights) % (2 * weights) : 0;
                near = weights && std::min(rest, 2 * weights - rest) * 65536 < 2 * weights;
            }
        if (!near) continue;
        ++found;
        for (const KernelSet& set : kernelSets())
            ASSERT_NO_FATAL_FAILURE(expectSweepAgrees(set, quad, int(fx), "near half way"));
    }
    EXPECT_EQ(found, 100);
}

// Plain weights: every column and row fraction over random texels, so that
// channel sums land on each side of the rounding step ((sum + 32768) >>
// 16 of sums 32767 and 32768 past a multiple of 2^16).
TEST(SoftsglSpanKernels, FilteredSumsAtEveryFractionRoundAsTheReference) {
    std::mt19937 rng(11);
    int steps = 0;
    for (int round = 0; round < 8; ++round) {
        uint32_t quad[4];
        for (uint32_t& t : quad)
            t = rng();
        for (uint32_t fx = 0; fx < 256; ++fx) {
            for (uint32_t fy = 0; fy < 256; ++fy)
                for (int c = 0; c < 3; ++c) {
                    uint32_t sum = 0;
                    for (int k = 0; k < 4; ++k)
                        sum += (k & 1 ? fx : 256 - fx) * (k & 2 ? fy : 256 - fy) *
                               ((quad[k] >> (8 * c)) & 0xFF);
                    steps += sum % 65536 == 32767 || sum % 65536 == 32768;
                }
            for (const KernelSet& set : kernelSets())
                ASSERT_NO_FATAL_FAILURE(
                    expectSweepAgrees(set, quad, int(fx), "plain weights", false));
        }
    }
    EXPECT_GT(steps, 8); // the sweep reached the rounding step
}

// The kernels in use: the level that the cap allows, and agreeing too.
TEST(SoftsglSpanKernels, ChosenKernelsFollowTheCapAndMatchTheReference) {
    int expected = processorKernelLevel();
    if (const char* cap = std::getenv("KXPWRVR_KERNELS"))
        for (int k = 0; k < expected; ++k)
            if (std::string(cap) == kernelLevelName(k)) expected = k;
    EXPECT_EQ(softsgl::spanLevel(), expected);
    // At the AVX-512 level, the set that fetches as this processor does best.
    const KernelSet chosen{expected, expected == kLevelAvx512 && gatherInstructionFast()};
    SpanStyle st{};
    const uint32_t texel = 0;
    st.texels = &texel;
    st.bilinear = true;
    EXPECT_EQ(softsgl::spanKernel(st), chosen.at(st));
    std::printf("spans run %s\n", chosen.name().c_str());
    expectAgreement(chosen, true);
}

} // namespace
