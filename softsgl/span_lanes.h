// The span kernel of every SIMD level, written once over the level's lanes.
// A level's file defines KX_SPAN (its target attribute) and a struct Lanes
// of N lanes (float vectors F, 32-bit integer vectors I, lane masks M, and
// the operations below), then includes this file inside its own anonymous
// namespace, so that each level's copy is compiled for that level only (the
// AVX-512 file includes it twice, in a namespace for each way it fetches
// texels, after dither_lanes.h).
//
// Pixel i of a span takes the reference kernel's operations in the same
// order (q + i dq, a true IEEE divide, no contraction; colours in exact
// integer steps), so every level gives the reference's pixels and depths.
// Colours are held planar, one 8-bit channel per 32-bit lane.
//
// No lambdas here: GCC does not give them the enclosing function's target.

// The level file includes <type_traits> before its namespace.
#include "softsgl/dither_lanes.h"

// Bilinear filtering (Filter) and ordered dithering (Dither) are the plain
// kernel's too, in exact integer lanes: see filter() and dither_lanes.h.
// Opacity: the filter weighs texels by their opacity (translucent spans of
// a map whose texel opacity counts).
template <bool Textured, bool Gouraud, bool Blend, bool Is555, bool Dither, bool Filter,
          bool Opacity>
struct LaneSpan {
    static constexpr bool kTextured = Textured;
    // How a level that fetches ahead hands the prepared group on: a
    // filtered one (four texels and weights) lives in memory, and trading
    // pointers to it spares copying it; a nearest one is copied, which
    // keeps it in registers in x86-64 code and measured faster there (and
    // no slower in i686 code).
    static constexpr bool kTradeAhead = Filter;
    using F = typename Lanes::F;
    using I = typename Lanes::I;
    using M = typename Lanes::M;

    // Per span: starting values and steps per group of N pixels.
    F q0, dq, u0, du, v0, dv;
    I rAcc, gAcc, bAcc, aAcc, rStep, gStep, bStep, aStep;
    I flatR, flatG, flatB, flatA;
    I mask, full;
    I cells; // Dither: 2 m + 1 for each lane's number m in the Bayer matrix
    typename Lanes::Shift shift;
    const uint32_t* texels;
    bool textureAlpha;
    bool inRange; // every colour of the span is in 0..255: no clamping

    template <bool Clamp> KX_SPAN static I channel(I acc) {
        return Clamp ? Lanes::clamp255(Lanes::srai16(acc)) : Lanes::srai16(acc);
    }
    // Whether a channel's n values (base + i step, i < n) are all in 0..255:
    // they lie on a line, so the two ends decide. An end past 32 bits is far
    // outside. 32-bit arithmetic: in i686 code 64-bit products and compares
    // take several instructions each, on every span.
    static bool channelInRange(int32_t base, int32_t step, int n) {
        int32_t travel, last;
        if (__builtin_mul_overflow(n - 1, step, &travel) ||
            __builtin_add_overflow(base, travel, &last))
            return false;
        return uint32_t(base) < (256u << 16) && uint32_t(last) < (256u << 16);
    }

    // round(a b / 255) for lanes of 0..255, as pixel_ops.h's: its (x + (x >>
    // 8)) >> 8 is (257 x) >> 16 for every x below 2^16, one multiply-high
    // of the low half (the high half is 0 and stays 0).
    KX_SPAN static I mul255(I a, I b) {
        const I x = Lanes::add(Lanes::mul16(a, b), Lanes::set1i(128));
        return Lanes::mulHigh16(x, Lanes::set1i(257));
    }
    // round((s a + d (255 - a)) / 255), the same way: x is at most 255 x 255
    // + 128.
    KX_SPAN static I blend255(I s, I d, I a, I full) {
        const I x = Lanes::add(Lanes::add(Lanes::mul16(s, a), Lanes::mul16(d, Lanes::sub(full, a))),
                               Lanes::set1i(128));
        return Lanes::mulHigh16(x, Lanes::set1i(257));
    }
    // floorToInt of pixel_ops.h: NaN and values below -2^30 to -2^30, above 2^30 to 2^30.
    KX_SPAN static I floorLanes(F f) {
        f = Lanes::maxf(f, Lanes::set1(-1073741824.0f)); // NaN gives the second operand
        f = Lanes::minf(f, Lanes::set1(1073741824.0f));
        I i = Lanes::truncate(f);
        return Lanes::add(i, Lanes::lessAsMinusOne(f, Lanes::toFloat(i)));
    }

    // Bilinear filtering: the plain kernel's filterTexels, lane for lane.
    // Without opacity a channel's sum is the two rows' (each two texels
    // weighed by 256ths, below 2^16) weighed by 256ths, below 2^24: both
    // steps multiply 16-bit pairs held in a lane's halves (maddHalves, a
    // signed multiply: a row less 2^15 fits a signed half, and as the row
    // weights sum to 256 the sum is then 2^23 short). With opacity the
    // weights reach 255 x 2^16 and a channel's sum 255 times that, still
    // below 2^32.
    // floorLanes and clamp255 of (x - whole) 256 in fewer steps: held to 0
    // (NaN too, as the max gives its second operand) and to 255 first, so
    // that truncating floors it.
    KX_SPAN static I fraction256(F x, I whole) {
        const F f = Lanes::mul(Lanes::sub(x, Lanes::toFloat(whole)), Lanes::set1(256.0f));
        return Lanes::truncate(Lanes::minf(Lanes::maxf(f, Lanes::set1(0.0f)), Lanes::set1(255.0f)));
    }
    KX_SPAN static I byte(I t, int at) {
        return Lanes::andi(Lanes::srli(t, at), Lanes::set1i(255));
    }
    // A row's three channel pairs: a channel of `left` in a lane's low half,
    // of `right` in its high half.
    struct Pairs {
        I r, g, b;
    };
    KX_SPAN static Pairs pairs(I left, I right) {
        const I low = Lanes::set1i(0xFFFF), bytes = Lanes::set1i(0x00FF00FF);
        const I redGreen = Lanes::ori(Lanes::andi(left, low), Lanes::slli(right, 16));
        const I blue = Lanes::ori(Lanes::srli(left, 16), Lanes::andi(right, Lanes::set1i(-65536)));
        return Pairs{Lanes::andi(redGreen, bytes), Lanes::andi(Lanes::srli(redGreen, 8), bytes),
                     Lanes::andi(blue, bytes)};
    }
    // A channel from its rows' sums (below 2^16) and the rows' weights.
    KX_SPAN static I acrossRows(I top, I bottom, I rowWeights) {
        const I less =
            Lanes::xori(Lanes::ori(top, Lanes::slli(bottom, 16)), Lanes::set1i(0x80008000));
        const I sum = Lanes::maddHalves(less, rowWeights);
        return Lanes::srli(Lanes::add(sum, Lanes::set1i((1 << 23) + 32768)), 16);
    }
    // The opacity-weighted sum of a channel over the summed weight o, halves
    // up: r = floor(sum / o + 1/2), the plain kernel's (2 sum + o) / (2 o).
    // In floats (sum rounded once, o below 2^24 exact, three roundings of
    // 2^-24 on a quotient below 256, one of 2^-17 adding 1/4) k = floor(sum
    // / o + 1/4) comes within 2^-14 of its mark, so k is r or r - 1; the
    // remainder d = sum - k o (exact: -o/2 <= d < 3o/2) says which, r = k +
    // 1 where 2d >= o. Where o is 0 the lane is garbage, and its alpha 0
    // writes nothing.
    KX_SPAN static I divided(const I* t, const I* w, int at, I o, F oInverse) {
        I sum = Lanes::mul32(w[0], byte(t[0], at));
        sum = Lanes::add(sum, Lanes::mul32(w[1], byte(t[1], at)));
        sum = Lanes::add(sum, Lanes::mul32(w[2], byte(t[2], at)));
        sum = Lanes::add(sum, Lanes::mul32(w[3], byte(t[3], at)));
        const F sumF =
            Lanes::add(Lanes::mul(Lanes::toFloat(Lanes::srli(sum, 16)), Lanes::set1(65536.0f)),
                       Lanes::toFloat(Lanes::andi(sum, Lanes::set1i(0xFFFF))));
        const I k = Lanes::truncate(Lanes::add(Lanes::mul(sumF, oInverse), Lanes::set1(0.25f)));
        const I d2 = Lanes::slli(Lanes::sub(sum, Lanes::mul32(o, k)), 1);
        return Lanes::add(Lanes::add(k, Lanes::set1i(1)), Lanes::greaterAsMinusOne(o, d2));
    }
    // A row's r, g, b: each lane's two texels weighed by the column weights.
    KX_SPAN static void sumRow(I left, I right, I columnWeights, I* sums) {
        const Pairs p = pairs(left, right);
        sums[0] = Lanes::maddHalves(p.r, columnWeights);
        sums[1] = Lanes::maddHalves(p.g, columnWeights);
        sums[2] = Lanes::maddHalves(p.b, columnWeights);
    }
    // A row's two texels of each lane, at indices `left` and `right`.
    KX_SPAN void rowTexels(bool sideBySide, I left, I right, I& first, I& second) const {
        if (sideBySide) {
            Lanes::gatherPair(texels, left, first, second);
        } else {
            first = Lanes::gather(texels, left);
            second = Lanes::gather(texels, right);
        }
    }
    // A group's depth test, texel coordinates u, v and texels, found while
    // the group before it is drawn or, for the texels where the level does
    // not fetch ahead, as it is drawn (see laneRun): nearest texels in
    // t[0]; filtered, the four around each pixel, with their weights in
    // 256ths.
    struct Ahead {
        F q, zOld, u, v;
        M pass; // lanes whose depth test passes
        bool any;
        I t[Filter ? 4 : 1];
        I wx1, wy1;
    };
    // The four texels around (u - 0.5, v - 0.5), wrapping, and the weights.
    KX_SPAN void fetchFiltered(F u, F v, Ahead& a) const {
        const F x = Lanes::sub(u, Lanes::set1(0.5f)), y = Lanes::sub(v, Lanes::set1(0.5f));
        const I x0 = floorLanes(x), y0 = floorLanes(y);
        a.wx1 = fraction256(x, x0), a.wy1 = fraction256(y, y0);
        const I one = Lanes::set1i(1);
        const I col0 = Lanes::andi(x0, mask), col1 = Lanes::andi(Lanes::add(x0, one), mask);
        const I row0 = Lanes::sll(Lanes::andi(y0, mask), shift);
        const I row1 = Lanes::sll(Lanes::andi(Lanes::add(y0, one), mask), shift);
        // Where no lane's column wraps, each row's two texels lie side by
        // side: gatherPair loads them together.
        const bool sideBySide = Lanes::none(Lanes::equal(col0, mask));
        rowTexels(sideBySide, Lanes::ori(row0, col0), Lanes::ori(row0, col1), a.t[0], a.t[1]);
        rowTexels(sideBySide, Lanes::ori(row1, col0), Lanes::ori(row1, col1), a.t[2], a.t[3]);
    }
    // r, g, b of the filtered texel, and its opacity when Opacity.
    KX_SPAN void filter(const Ahead& a, I& r, I& g, I& b, I& opacity) const {
        const I* t = a.t;
        const I wx1 = a.wx1, wy1 = a.wy1;
        const I wx0 = Lanes::sub(Lanes::set1i(256), wx1), wy0 = Lanes::sub(Lanes::set1i(256), wy1);
        if (!Opacity) {
            const I columnWeights = Lanes::ori(wx0, Lanes::slli(wx1, 16));
            const I rowWeights = Lanes::ori(wy0, Lanes::slli(wy1, 16));
            I top[3], bottom[3];
            sumRow(t[0], t[1], columnWeights, top);
            sumRow(t[2], t[3], columnWeights, bottom);
            r = acrossRows(top[0], bottom[0], rowWeights);
            g = acrossRows(top[1], bottom[1], rowWeights);
            b = acrossRows(top[2], bottom[2], rowWeights);
            return;
        }
        // Weight times opacity: (256ths x opacity, below 2^16) x 256ths.
        const I w[4] = {
            Lanes::mulShort(wx0, Lanes::mul16(wy0, Lanes::sub(full, Lanes::srli(t[0], 24)))),
            Lanes::mulShort(wx1, Lanes::mul16(wy0, Lanes::sub(full, Lanes::srli(t[1], 24)))),
            Lanes::mulShort(wx0, Lanes::mul16(wy1, Lanes::sub(full, Lanes::srli(t[2], 24)))),
            Lanes::mulShort(wx1, Lanes::mul16(wy1, Lanes::sub(full, Lanes::srli(t[3], 24))))};
        const I o = Lanes::add(Lanes::add(w[0], w[1]), Lanes::add(w[2], w[3]));
        const F oInverse = Lanes::div(Lanes::set1(1.0f), Lanes::toFloat(o));
        r = divided(t, w, 0, o, oInverse);
        g = divided(t, w, 8, o, oInverse);
        b = divided(t, w, 16, o, oInverse);
        opacity = Lanes::srli(Lanes::add(o, Lanes::set1i(32768)), 16);
    }

    // Ordered dithering (dither_lanes.h), each lane in its cell.
    template <int Bits> KX_SPAN I ditherLevel(I c) const {
        return ditherLevelLanes<Bits, Lanes>(c, cells);
    }

    KX_SPAN void start(const Span& s, const SpanStyle& st, int n) {
        inRange =
            !Gouraud || (channelInRange(s.r, s.dr, n) && channelInRange(s.g, s.dg, n) &&
                         channelInRange(s.b, s.db, n) && (!Blend || channelInRange(s.a, s.da, n)));
        q0 = Lanes::set1(s.q), dq = Lanes::set1(s.dq);
        u0 = Lanes::set1(s.u), du = Lanes::set1(s.du);
        v0 = Lanes::set1(s.v), dv = Lanes::set1(s.dv);
        // Lane k holds base + k step, a group later N steps more; both wrap
        // mod 2^32 as the reference's base + i step does.
        rAcc = Lanes::ramp(s.r, s.dr), gAcc = Lanes::ramp(s.g, s.dg);
        bAcc = Lanes::ramp(s.b, s.db), aAcc = Lanes::ramp(s.a, s.da);
        rStep = Lanes::set1i(int32_t(uint32_t(s.dr) * uint32_t(Lanes::N)));
        gStep = Lanes::set1i(int32_t(uint32_t(s.dg) * uint32_t(Lanes::N)));
        bStep = Lanes::set1i(int32_t(uint32_t(s.db) * uint32_t(Lanes::N)));
        aStep = Lanes::set1i(int32_t(uint32_t(s.da) * uint32_t(Lanes::N)));
        flatR = Lanes::set1i(int32_t(st.r)), flatG = Lanes::set1i(int32_t(st.g));
        flatB = Lanes::set1i(int32_t(st.b)), flatA = Lanes::set1i(int32_t(st.a));
        mask = Lanes::set1i(st.mask);
        full = Lanes::set1i(255);
        shift = Lanes::shiftCount(st.shift);
        texels = st.texels;
        textureAlpha = st.textureAlpha;
        if (Dither) {
            // Groups start at multiples of N, a multiple of 4: every group's
            // lane k has the matrix column of the span's pixel k.
            int32_t m[Lanes::N];
            for (int k = 0; k < Lanes::N; ++k)
                m[k] = 2 * kBayer4[s.y & 3][(s.x + k) & 3] + 1;
            cells = Lanes::loadi(m);
        }
    }

    // The depths of the pixels at indices fi.
    KX_SPAN F depths(F fi) const { return Lanes::add(q0, Lanes::mul(fi, dq)); }
    // Their texel coordinates: the perspective divide.
    KX_SPAN void divide(F fi, F q, F& u, F& v) const {
        const F w = Lanes::div(Lanes::set1(1.0f), q);
        u = Lanes::mul(Lanes::add(u0, Lanes::mul(fi, du)), w);
        v = Lanes::mul(Lanes::add(v0, Lanes::mul(fi, dv)), w);
    }
    // The depth test of the N pixels (count of them in a last, partial
    // group) at indices fi, depths q, old depths z; where the level fetches
    // ahead, their texels too if any pixel passes. No other group writes
    // these depths.
    template <bool Whole>
    KX_SPAN void prepare(F fi, F q, const float* z, int count, Ahead& a) const {
        a.q = q;
        a.zOld = Whole ? Lanes::loadDepth(z) : Lanes::loadDepthPart(z, count);
        a.pass = Lanes::greaterEqual(q, a.zOld);
        if (!Whole) a.pass = Lanes::andMask(a.pass, Lanes::firstLanes(count));
        a.any = !Lanes::none(a.pass);
        if (!Lanes::kFetchAhead) return;
        if (!kTradeAhead) { // copied whole from group to group: all set
            a.wx1 = a.wy1 = Lanes::zero();
            a.u = a.v = q;
            for (I& t : a.t)
                t = a.wx1;
        }
        if (Textured && a.any) {
            divide(fi, q, a.u, a.v);
            fetch(a);
        }
    }
    // The texels at the coordinates a.u, a.v.
    KX_SPAN void fetch(Ahead& a) const {
        const F u = a.u, v = a.v;
        if (Filter) return fetchFiltered(u, v, a);
        const I tu = Lanes::andi(floorLanes(u), mask);
        const I tv = Lanes::andi(floorLanes(v), mask);
        a.t[0] = Lanes::gather(texels, Lanes::ori(Lanes::sll(tv, shift), tu));
    }

    KX_SPAN void advance() {
        if (!Gouraud) return;
        rAcc = Lanes::add(rAcc, rStep);
        gAcc = Lanes::add(gAcc, gStep);
        bAcc = Lanes::add(bAcc, bStep);
        if (Blend) aAcc = Lanes::add(aAcc, aStep);
    }

    // The N pixels (count of them in a last, partial group) at d and z,
    // tested (and fetched) by prepare().
    template <bool Whole, bool Clamp>
    KX_SPAN void group(uint16_t* d, float* z, int count, Ahead& ahead) const {
        if (!ahead.any) return;
        const F q = ahead.q, zOld = ahead.zOld;
        M pass = ahead.pass;
        I r = flatR, g = flatG, b = flatB, a = flatA;
        if (Gouraud) {
            r = channel<Clamp>(rAcc), g = channel<Clamp>(gAcc), b = channel<Clamp>(bAcc);
            if (Blend) a = channel<Clamp>(aAcc);
        }
        if (Textured && !Lanes::kFetchAhead) fetch(ahead);
        if (Textured && Filter) {
            I tr, tg, tb, opacity = full;
            filter(ahead, tr, tg, tb, opacity);
            r = mul255(r, tr);
            g = mul255(g, tg);
            b = mul255(b, tb);
            if (Opacity) a = mul255(a, opacity);
        } else if (Textured) {
            const I t = ahead.t[0];
            r = mul255(r, Lanes::andi(t, full));
            g = mul255(g, Lanes::andi(Lanes::srli(t, 8), full));
            b = mul255(b, Lanes::andi(Lanes::srli(t, 16), full));
            if (Blend && textureAlpha) a = mul255(a, Lanes::sub(full, Lanes::srli(t, 24)));
        }
        M depthPass = pass;
        if (Blend) {
            // Full alpha writes colour and depth; partial blends without
            // depth; none writes nothing. Blending with full alpha gives the
            // source itself, so every written pixel takes the blend.
            const I old = Whole ? Lanes::loadPixels(d) : Lanes::loadPixelsPart(d, count);
            I dr, dg, db;
            if (Is555) {
                dr = Lanes::andi(Lanes::srli(old, 10), Lanes::set1i(31));
                dg = Lanes::andi(Lanes::srli(old, 5), Lanes::set1i(31));
            } else {
                dr = Lanes::srli(old, 11);
                dg = Lanes::andi(Lanes::srli(old, 5), Lanes::set1i(63));
                dg = Lanes::ori(Lanes::slli(dg, 2), Lanes::srli(dg, 4));
            }
            db = Lanes::andi(old, Lanes::set1i(31));
            dr = Lanes::ori(Lanes::slli(dr, 3), Lanes::srli(dr, 2));
            if (Is555) dg = Lanes::ori(Lanes::slli(dg, 3), Lanes::srli(dg, 2));
            db = Lanes::ori(Lanes::slli(db, 3), Lanes::srli(db, 2));
            r = blend255(r, dr, a, full);
            g = blend255(g, dg, a, full);
            b = blend255(b, db, a, full);
            pass = Lanes::andMask(pass, Lanes::notEqual(a, Lanes::zero()));
            depthPass = Lanes::andMask(pass, Lanes::equal(a, full));
        }
        // Dithered, or dropping low bits: 565 or 555.
        I pixel;
        if (Dither)
            pixel = Lanes::ori(
                Lanes::ori(Lanes::slli(ditherLevel<5>(r), Is555 ? 10 : 11),
                           Lanes::slli(Is555 ? ditherLevel<5>(g) : ditherLevel<6>(g), 5)),
                ditherLevel<5>(b));
        else if (Is555)
            pixel = Lanes::ori(Lanes::ori(Lanes::slli(Lanes::andi(r, Lanes::set1i(0xF8)), 7),
                                          Lanes::slli(Lanes::andi(g, Lanes::set1i(0xF8)), 2)),
                               Lanes::srli(b, 3));
        else
            pixel = Lanes::ori(Lanes::ori(Lanes::slli(Lanes::andi(r, Lanes::set1i(0xF8)), 8),
                                          Lanes::slli(Lanes::andi(g, Lanes::set1i(0xFC)), 3)),
                               Lanes::srli(b, 3));
        if (Whole) {
            Lanes::storePixels(d, pixel, pass);
            Lanes::storeDepth(z, q, zOld, depthPass);
        } else {
            Lanes::storePixelsPart(d, pixel, pass, count);
            Lanes::storeDepthPart(z, q, depthPass, count);
        }
    }
};

// The prepared groups of a level that fetches ahead, the current one and
// the next: the next is handed on by copying it (Copied), or by trading
// pointers (Traded; see kTradeAhead).
template <class Ahead> struct Copied {
    Ahead cur, nxt;
    KX_SPAN Ahead& current() { return cur; }
    KX_SPAN Ahead& next() { return nxt; }
    KX_SPAN void handOn() { cur = nxt; }
};
template <class Ahead> struct Traded {
    Ahead a, b;
    Ahead* cur = &a;
    Ahead* nxt = &b;
    KX_SPAN Ahead& current() { return *cur; }
    KX_SPAN Ahead& next() { return *nxt; }
    KX_SPAN void handOn() {
        Ahead* const was = cur;
        cur = nxt;
        nxt = was;
    }
};

// Walks the span in place: a copy of the shader's state would live on the
// stack in i686 code, which has too few vector registers to hold it.
template <bool Clamp, class Shader>
KX_SPAN void laneRun(Shader& walk, uint16_t* dst, float* z, int n) {
    // Pixel indices as floats: exact, as spans are far shorter than 2^24.
    using F = typename Lanes::F;
    F fi = Lanes::iota();
    const F step = Lanes::set1(float(Lanes::N));
    constexpr int N = Lanes::N;
    if (!Lanes::kFetchAhead) {
        typename Shader::Ahead ahead;
        // Each group's perspective divide is done while the group before it
        // is drawn, which covers its latency.
        F q = walk.depths(fi), u = Lanes::set1(0.0f), v = u, uNext = u, vNext = u;
        if (Shader::kTextured) walk.divide(fi, q, u, v);
        int i = 0;
        for (; i + N <= n; i += N) {
            const F fiNext = Lanes::add(fi, step), qNext = walk.depths(fiNext);
            if (Shader::kTextured) walk.divide(fiNext, qNext, uNext, vNext);
            walk.template prepare<true>(fi, q, z + i, N, ahead);
            ahead.u = u, ahead.v = v;
            walk.template group<true, Clamp>(dst + i, z + i, N, ahead);
            fi = fiNext, q = qNext, u = uNext, v = vNext;
            walk.advance();
        }
        if (i < n) {
            walk.template prepare<false>(fi, q, z + i, n - i, ahead);
            ahead.u = u, ahead.v = v;
            walk.template group<false, Clamp>(dst + i, z + i, n - i, ahead);
        }
        return;
    }
    // Fetching ahead: each group's depth test, divide and texel loads are
    // done while the group before it is drawn, whose work then covers
    // their latency. With four lanes a group is too short to cover it by
    // itself.
    using Ahead = typename Shader::Ahead;
    std::conditional_t<Shader::kTradeAhead, Traded<Ahead>, Copied<Ahead>> groups;
    if (n >= N)
        walk.template prepare<true>(fi, walk.depths(fi), z, N, groups.current());
    else
        walk.template prepare<false>(fi, walk.depths(fi), z, n, groups.current());
    int i = 0;
    for (; i + 2 * N <= n; i += N) {
        const F fiNext = Lanes::add(fi, step);
        walk.template prepare<true>(fiNext, walk.depths(fiNext), z + i + N, N, groups.next());
        walk.template group<true, Clamp>(dst + i, z + i, N, groups.current());
        fi = fiNext;
        groups.handOn();
        walk.advance();
    }
    if (i + N <= n) { // a whole group, and perhaps a partial one after it
        const int rest = n - i - N;
        const F fiNext = Lanes::add(fi, step);
        if (rest > 0)
            walk.template prepare<false>(fiNext, walk.depths(fiNext), z + i + N, rest,
                                         groups.next());
        walk.template group<true, Clamp>(dst + i, z + i, N, groups.current());
        if (rest == 0) return;
        walk.advance();
        i += N, fi = fiNext;
        groups.handOn();
    }
    if (i < n) walk.template group<false, Clamp>(dst + i, z + i, n - i, groups.current());
}

template <bool Textured, bool Gouraud, bool Blend, bool Is555, bool Dither, bool Filter,
          bool Opacity>
KX_SPAN void laneShade(uint16_t* dst, float* z, int n, const Span& s, const SpanStyle& st) {
    LaneSpan<Textured, Gouraud, Blend, Is555, Dither, Filter, Opacity> span;
    span.start(s, st, n);
    // Spans whose colours stay in range (nearly all) skip the clamping.
    if constexpr (Gouraud) {
        if (!span.inRange) return laneRun<true>(span, dst, z, n);
    }
    laneRun<false>(span, dst, z, n);
}

template <bool Textured, bool Gouraud, bool Blend, bool Is555, bool Dither, bool Filter>
KX_SPAN void laneKernel(uint16_t* dst, float* z, int n, const Span& s, const SpanStyle& st) {
    // Filtered translucent spans weigh texels by opacity where it counts.
    if constexpr (Blend && Filter) {
        if (st.textureAlpha)
            return laneShade<Textured, Gouraud, Blend, Is555, Dither, Filter, true>(dst, z, n, s,
                                                                                    st);
    }
    laneShade<Textured, Gouraud, Blend, Is555, Dither, Filter, false>(dst, z, n, s, st);
}

// The set: [dither][texturing][gouraud][translucent][is555].
#define KX_SPAN_BLEND(D, T, F, G)                                                                  \
    {                                                                                              \
        {laneKernel<T, G, false, false, D, F>, laneKernel<T, G, false, true, D, F>}, {             \
            laneKernel<T, G, true, false, D, F>, laneKernel<T, G, true, true, D, F>                \
        }                                                                                          \
    }
#define KX_SPAN_TEXTURING(D, T, F)                                                                 \
    { KX_SPAN_BLEND(D, T, F, false), KX_SPAN_BLEND(D, T, F, true) }
#define KX_SPAN_DITHER(D)                                                                          \
    {                                                                                              \
        KX_SPAN_TEXTURING(D, false, false), KX_SPAN_TEXTURING(D, true, false),                     \
            KX_SPAN_TEXTURING(D, true, true)                                                       \
    }
constexpr SpanKernelSet kLaneSet = {{KX_SPAN_DITHER(false), KX_SPAN_DITHER(true)}};
#undef KX_SPAN_DITHER
#undef KX_SPAN_TEXTURING
#undef KX_SPAN_BLEND
