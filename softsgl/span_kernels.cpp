// The plain span kernel, the reference, and the choice of a level's set.
#include "softsgl/span_kernels.h"

#include "cpu/kernel_level.h"
#include "softsgl/pixel_ops.h"

namespace softsgl {
namespace {

// Channel of pixel i: base + i step, wrapping like the SSE2 lanes do.
inline uint32_t channel(int32_t base, int i, int32_t step) {
    int32_t c = int32_t(uint32_t(base) + uint32_t(i) * uint32_t(step)) >> 16;
    return uint32_t(c < 0 ? 0 : c > 255 ? 255 : c);
}

// Bilinear filtering (filter = bilinear), as GL_LINEAR with GL_REPEAT: the
// four texels around (u - 0.5, v - 0.5), wrapping, weighted by the
// fractions in 256ths, each channel (sum + 32768) >> 16. With texel opacity
// counting, the colours are weighted by their opacities too and divided by
// the summed opacity (halves up), so that a transparent texel lends no
// colour; the opacity is the filtered one. See README.md, rule 7.
struct Filtered {
    uint32_t r, g, b, opacity;
};

inline uint32_t fraction256(float x, int32_t whole) {
    const int32_t f = floorToInt((x - float(whole)) * 256.0f);
    return uint32_t(f < 0 ? 0 : f > 255 ? 255 : f);
}

template <bool Opacity> Filtered filterTexels(const SpanStyle& st, float u, float v) {
    const float x = u - 0.5f, y = v - 0.5f;
    const int32_t x0 = floorToInt(x), y0 = floorToInt(y);
    const uint32_t fx = fraction256(x, x0), fy = fraction256(y, y0);
    const uint32_t cols[2] = {uint32_t(x0) & uint32_t(st.mask),
                              uint32_t(x0 + 1) & uint32_t(st.mask)};
    const uint32_t rows[2] = {uint32_t(y0) & uint32_t(st.mask),
                              uint32_t(y0 + 1) & uint32_t(st.mask)};
    const uint32_t wx[2] = {256 - fx, fx}, wy[2] = {256 - fy, fy};
    uint64_t sum[3] = {0, 0, 0}, opacity = 0;
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 2; ++i) {
            const uint32_t t = st.texels[(rows[j] << st.shift) | cols[i]];
            uint64_t w = uint64_t(wx[i]) * wy[j];
            if (Opacity) {
                w *= 255 - (t >> 24);
                opacity += w;
            }
            sum[0] += w * (t & 0xFF);
            sum[1] += w * ((t >> 8) & 0xFF);
            sum[2] += w * ((t >> 16) & 0xFF);
        }
    if (!Opacity)
        return Filtered{uint32_t((sum[0] + 32768) >> 16), uint32_t((sum[1] + 32768) >> 16),
                        uint32_t((sum[2] + 32768) >> 16), 255};
    if (opacity == 0) return Filtered{0, 0, 0, 0};
    return Filtered{uint32_t((2 * sum[0] + opacity) / (2 * opacity)),
                    uint32_t((2 * sum[1] + opacity) / (2 * opacity)),
                    uint32_t((2 * sum[2] + opacity) / (2 * opacity)),
                    uint32_t((opacity + 32768) >> 16)};
}

// Pixels first..n-1 of a span, one at a time: the reference. Blend is the
// translucent pass, where each pixel's alpha decides what it writes.
template <bool Textured, bool Gouraud, bool Blend, bool Is555, bool Dither = false,
          bool Bilinear = false>
void plainSpan(uint16_t* dst, float* z, int first, int n, const Span& s, const SpanStyle& st) {
    for (int i = first; i < n; ++i) {
        const float fi = float(i);
        const float q = s.q + fi * s.dq;
        if (!(q >= z[i])) continue;
        uint32_t r = st.r, g = st.g, b = st.b, a = st.a;
        if (Gouraud) {
            r = channel(s.r, i, s.dr);
            g = channel(s.g, i, s.dg);
            b = channel(s.b, i, s.db);
            a = Blend ? channel(s.a, i, s.da) : 255;
        }
        if (Textured && Bilinear) {
            const float w = 1.0f / q;
            const float u = (s.u + fi * s.du) * w, v = (s.v + fi * s.dv) * w;
            const Filtered f = Blend && st.textureAlpha ? filterTexels<true>(st, u, v)
                                                        : filterTexels<false>(st, u, v);
            r = mul255(r, f.r);
            g = mul255(g, f.g);
            b = mul255(b, f.b);
            if (Blend && st.textureAlpha) a = mul255(a, f.opacity);
        } else if (Textured) {
            const float w = 1.0f / q;
            const int32_t tu = floorToInt((s.u + fi * s.du) * w) & st.mask;
            const int32_t tv = floorToInt((s.v + fi * s.dv) * w) & st.mask;
            const uint32_t t = st.texels[(tv << st.shift) | tu];
            r = mul255(r, t & 0xFF);
            g = mul255(g, (t >> 8) & 0xFF);
            b = mul255(b, (t >> 16) & 0xFF);
            if (Blend && st.textureAlpha) a = mul255(a, 255 - (t >> 24));
        }
        if (Blend) {
            // Per pixel: full alpha is opaque (colour and depth), none
            // writes nothing, partial blends without writing depth.
            if (a == 0) continue;
            if (a == 255) {
                z[i] = q;
            } else {
                uint32_t dr, dg, db;
                if (Is555)
                    unpack555(dst[i], dr, dg, db);
                else
                    unpack565(dst[i], dr, dg, db);
                r = blend255(r, dr, a);
                g = blend255(g, dg, a);
                b = blend255(b, db, a);
            }
        } else {
            z[i] = q;
        }
        if (Dither)
            dst[i] =
                Is555 ? ditherPack555(r, g, b, s.x + i, s.y) : ditherPack565(r, g, b, s.x + i, s.y);
        else
            dst[i] = Is555 ? pack555(r, g, b) : pack565(r, g, b);
    }
}

template <bool Textured, bool Gouraud, bool Blend, bool Is555, bool Dither, bool Bilinear>
void plainKernel(uint16_t* dst, float* z, int n, const Span& s, const SpanStyle& st) {
    plainSpan<Textured, Gouraud, Blend, Is555, Dither, Bilinear>(dst, z, 0, n, s, st);
}

template <bool T, bool G, bool D, bool F> SpanFunction plainWith(const SpanStyle& st) {
    if (st.translucent)
        return st.is555 ? plainKernel<T, G, true, true, D, F>
                        : plainKernel<T, G, true, false, D, F>;
    return st.is555 ? plainKernel<T, G, false, true, D, F> : plainKernel<T, G, false, false, D, F>;
}

template <bool T, bool G> SpanFunction plainFor(const SpanStyle& st) {
    const bool filter = T && st.bilinear;
    if (st.dither)
        return filter ? plainWith<T, G, true, true>(st) : plainWith<T, G, true, false>(st);
    return filter ? plainWith<T, G, false, true>(st) : plainWith<T, G, false, false>(st);
}

// The plain kernel serves the scalar level.
KernelSets<SpanKernelSet> kSets = {nullptr, KX_X86_SET(sse2SpanKernels),
                                   KX_X86_SET(avx2SpanKernels), KX_AVX512_SET(avx512SpanKernels)};

SpanFunction fromSet(const SpanKernelSet& set, const SpanStyle& st) {
    const int texturing = !st.texels ? 0 : st.bilinear ? 2 : 1;
    return set.kernel[st.dither][texturing][!st.constantColour][st.translucent][st.is555];
}

} // namespace

SpanFunction spanReference(const SpanStyle& st) {
    if (st.texels) return st.constantColour ? plainFor<true, false>(st) : plainFor<true, true>(st);
    return st.constantColour ? plainFor<false, false>(st) : plainFor<false, true>(st);
}

namespace {

// The set of a level; at the AVX-512 level, the one fetching texels by the
// gather instruction where `gatherInstruction`.
const SpanKernelSet* setAt(int level, bool gatherInstruction) {
    const SpanKernelSet* const set = familyKernelSet(kSets, level);
#if defined(KX_AVX512_KERNELS)
    if (set && level == kLevelAvx512 && gatherInstruction) return &avx512GatherSpanKernels;
#else
    (void)gatherInstruction; // no AVX-512 set here
#endif
    return set;
}

// The set the spans run: chosen with the level, by the caller's thread.
const SpanKernelSet* chosenSet = nullptr;

} // namespace

SpanFunction spanKernelAt(int level, const SpanStyle& st, bool gatherInstruction) {
    if (level == kLevelScalar) return spanReference(st);
    const SpanKernelSet* set = setAt(level, gatherInstruction);
    if (!set) return nullptr;
    return fromSet(*set, st);
}

int spanLevel() {
    static const int level = [] {
        const int chosen = familyKernelLevel(kSets, cappedKernelLevel());
        nameKernelLevel("softsgl: spans", chosen);
        chosenSet = setAt(chosen, gatherInstructionFast()); // none at the scalar level
        return chosen;
    }();
    return level;
}

// Called by the band workers: the level is chosen by renderFrame first.
SpanFunction spanKernel(const SpanStyle& st) {
    spanLevel();
    return chosenSet ? fromSet(*chosenSet, st) : spanReference(st);
}

} // namespace softsgl
