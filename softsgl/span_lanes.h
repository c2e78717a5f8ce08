// The span kernel of every SIMD level, written once over the level's lanes.
// A level's file defines KX_SPAN (its target attribute) and a struct Lanes
// of N lanes (float vectors F, 32-bit integer vectors I, lane masks M, and
// the operations below), then includes this file inside its own anonymous
// namespace, so that each level's copy is compiled for that level only.
//
// Pixel i of a span takes the reference kernel's operations in the same
// order (q + i dq, a true IEEE divide, no contraction; colours in exact
// integer steps), so every level gives the reference's pixels and depths.
// Colours are held planar, one 8-bit channel per 32-bit lane.
//
// No lambdas here: GCC does not give them the enclosing function's target.

template <bool Textured, bool Gouraud, bool Blend, bool Is555> struct LaneSpan {
    using F = typename Lanes::F;
    using I = typename Lanes::I;
    using M = typename Lanes::M;

    // Per span: starting values and steps per group of N pixels.
    F q0, dq, u0, du, v0, dv;
    I rAcc, gAcc, bAcc, aAcc, rStep, gStep, bStep, aStep;
    I flatR, flatG, flatB, flatA;
    I mask, full;
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

    // round(a b / 255) for lanes of 0..255.
    KX_SPAN static I mul255(I a, I b) {
        I x = Lanes::add(Lanes::mul16(a, b), Lanes::set1i(128));
        return Lanes::srli(Lanes::add(x, Lanes::srli(x, 8)), 8);
    }
    // round((s a + d (255 - a)) / 255).
    KX_SPAN static I blend255(I s, I d, I a, I full) {
        I x = Lanes::add(Lanes::add(Lanes::mul16(s, a), Lanes::mul16(d, Lanes::sub(full, a))),
                         Lanes::set1i(128));
        return Lanes::srli(Lanes::add(x, Lanes::srli(x, 8)), 8);
    }
    // floorToInt of pixel_ops.h: NaN and values below -2^30 to -2^30, above 2^30 to 2^30.
    KX_SPAN static I floorLanes(F f) {
        f = Lanes::maxf(f, Lanes::set1(-1073741824.0f)); // NaN gives the second operand
        f = Lanes::minf(f, Lanes::set1(1073741824.0f));
        I i = Lanes::truncate(f);
        return Lanes::add(i, Lanes::lessAsMinusOne(f, Lanes::toFloat(i)));
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
    }

    KX_SPAN void advance() {
        if (!Gouraud) return;
        rAcc = Lanes::add(rAcc, rStep);
        gAcc = Lanes::add(gAcc, gStep);
        bAcc = Lanes::add(bAcc, bStep);
        if (Blend) aAcc = Lanes::add(aAcc, aStep);
    }

    // The N pixels (count of them in a last, partial group) from d and z;
    // fi holds their indices in the span as floats.
    template <bool Whole, bool Clamp>
    KX_SPAN void group(uint16_t* d, float* z, int count, F fi) const {
        const F q = Lanes::add(q0, Lanes::mul(fi, dq));
        const F zOld = Whole ? Lanes::loadDepth(z) : Lanes::loadDepthPart(z, count);
        M pass = Lanes::greaterEqual(q, zOld);
        if (!Whole) pass = Lanes::andMask(pass, Lanes::firstLanes(count));
        if (Lanes::none(pass)) return;
        I r = flatR, g = flatG, b = flatB, a = flatA;
        if (Gouraud) {
            r = channel<Clamp>(rAcc), g = channel<Clamp>(gAcc), b = channel<Clamp>(bAcc);
            if (Blend) a = channel<Clamp>(aAcc);
        }
        if (Textured) {
            const F w = Lanes::div(Lanes::set1(1.0f), q);
            const F u = Lanes::mul(Lanes::add(u0, Lanes::mul(fi, du)), w);
            const F v = Lanes::mul(Lanes::add(v0, Lanes::mul(fi, dv)), w);
            const I tu = Lanes::andi(floorLanes(u), mask);
            const I tv = Lanes::andi(floorLanes(v), mask);
            const I t = Lanes::gather(texels, Lanes::ori(Lanes::sll(tv, shift), tu));
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
        // Dropping low bits: 565 or 555.
        I pixel;
        if (Is555)
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

// Walks the span in place: a copy of the shader's state would live on the
// stack in i686 code, which has too few vector registers to hold it.
template <bool Clamp, class Shader>
KX_SPAN void laneRun(Shader& walk, uint16_t* dst, float* z, int n) {
    // Pixel indices as floats: exact, as spans are far shorter than 2^24.
    typename Lanes::F fi = Lanes::iota();
    const typename Lanes::F step = Lanes::set1(float(Lanes::N));
    int i = 0;
    for (; i + Lanes::N <= n; i += Lanes::N) {
        walk.template group<true, Clamp>(dst + i, z + i, Lanes::N, fi);
        fi = Lanes::add(fi, step);
        walk.advance();
    }
    if (i < n) walk.template group<false, Clamp>(dst + i, z + i, n - i, fi);
}

template <bool Textured, bool Gouraud, bool Blend, bool Is555>
KX_SPAN void laneKernel(uint16_t* dst, float* z, int n, const Span& s, const SpanStyle& st) {
    LaneSpan<Textured, Gouraud, Blend, Is555> span;
    span.start(s, st, n);
    // Spans whose colours stay in range (nearly all) skip the clamping.
    if (!Gouraud || span.inRange)
        laneRun<false>(span, dst, z, n);
    else
        laneRun<true>(span, dst, z, n);
}

// The set: [textured][gouraud][translucent][is555].
#define KX_SPAN_SET(T, G)                                                                          \
    {                                                                                              \
        {laneKernel<T, G, false, false>, laneKernel<T, G, false, true>}, {                         \
            laneKernel<T, G, true, false>, laneKernel<T, G, true, true>                            \
        }                                                                                          \
    }
constexpr SpanKernelSet kLaneSet = {{{KX_SPAN_SET(false, false), KX_SPAN_SET(false, true)},
                                     {KX_SPAN_SET(true, false), KX_SPAN_SET(true, true)}}};
#undef KX_SPAN_SET
