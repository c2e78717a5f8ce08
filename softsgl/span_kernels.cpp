// The plain span kernel, the reference, and the choice of a level's set.
#include "softsgl/span_kernels.h"

#include <cstdio>
#include <cstdlib>

#include "cpu/kernel_level.h"
#include "platform/win32.h"
#include "settings/settings.h"
#include "softsgl/pixel_ops.h"

namespace softsgl {
namespace {

// Channel of pixel i: base + i step, wrapping like the SSE2 lanes do.
inline uint32_t channel(int32_t base, int i, int32_t step) {
    int32_t c = int32_t(uint32_t(base) + uint32_t(i) * uint32_t(step)) >> 16;
    return uint32_t(c < 0 ? 0 : c > 255 ? 255 : c);
}

// Pixels first..n-1 of a span, one at a time: the reference. Blend is the
// translucent pass, where each pixel's alpha decides what it writes.
template <bool Textured, bool Gouraud, bool Blend, bool Is555, bool Dither = false>
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
        if (Textured) {
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

template <bool Textured, bool Gouraud, bool Blend, bool Is555, bool Dither>
void plainKernel(uint16_t* dst, float* z, int n, const Span& s, const SpanStyle& st) {
    plainSpan<Textured, Gouraud, Blend, Is555, Dither>(dst, z, 0, n, s, st);
}

template <bool T, bool G, bool D> SpanFunction plainFor(const SpanStyle& st) {
    if (st.translucent)
        return st.is555 ? plainKernel<T, G, true, true, D> : plainKernel<T, G, true, false, D>;
    return st.is555 ? plainKernel<T, G, false, true, D> : plainKernel<T, G, false, false, D>;
}

const SpanKernelSet* setAt(int level) {
    if (level < kLevelScalar || level > processorKernelLevel()) return nullptr;
    switch (level) {
#if defined(KX_X86_KERNELS)
    case kLevelSse2:
        return &sse2SpanKernels;
    case kLevelAvx2:
        return &avx2SpanKernels;
#endif
#if defined(KX_AVX512_KERNELS)
    case kLevelAvx512:
        return &avx512SpanKernels;
#endif
    default:
        return nullptr;
    }
}

SpanFunction fromSet(const SpanKernelSet& set, const SpanStyle& st) {
    return set.kernel[st.texels != nullptr][!st.constantColour][st.translucent][st.is555];
}

} // namespace

SpanFunction spanReference(const SpanStyle& st) {
    if (st.dither) {
        if (st.texels)
            return st.constantColour ? plainFor<true, false, true>(st)
                                     : plainFor<true, true, true>(st);
        return st.constantColour ? plainFor<false, false, true>(st)
                                 : plainFor<false, true, true>(st);
    }
    if (st.texels)
        return st.constantColour ? plainFor<true, false, false>(st)
                                 : plainFor<true, true, false>(st);
    return st.constantColour ? plainFor<false, false, false>(st) : plainFor<false, true, false>(st);
}

SpanFunction spanKernelAt(int level, const SpanStyle& st) {
    if (level == kLevelScalar) return spanReference(st);
    const SpanKernelSet* set = setAt(level);
    if (!set) return nullptr;
    return st.dither ? spanReference(st) : fromSet(*set, st);
}

int spanLevel() {
    static const int level = [] {
        int chosen = cappedKernelLevel();
        while (chosen > kLevelScalar && !setAt(chosen))
            --chosen;
        if (kxSettings().source[kSettingKernels] != kFromDefault) {
            char line[48];
            std::snprintf(line, sizeof line, "softsgl: spans %s\n", kernelLevelName(chosen));
            OutputDebugStringA(line);
        }
        return chosen;
    }();
    return level;
}

SpanFunction spanKernel(const SpanStyle& st) {
    static const SpanKernelSet* const set = setAt(spanLevel());
    // Dithered spans have no set of their own yet: the plain kernel serves
    // every level.
    return set && !st.dither ? fromSet(*set, st) : spanReference(st);
}

} // namespace softsgl
