#include "softsgl/span_kernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
template <bool Textured, bool Gouraud, bool Blend, bool Is555>
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
        dst[i] = Is555 ? pack555(r, g, b) : pack565(r, g, b);
    }
}

template <bool Textured, bool Gouraud, bool Blend, bool Is555>
void plainKernel(uint16_t* dst, float* z, int n, const Span& s, const SpanStyle& st) {
    plainSpan<Textured, Gouraud, Blend, Is555>(dst, z, 0, n, s, st);
}

template <bool T, bool G> SpanFunction plainFor(const SpanStyle& st) {
    if (st.translucent)
        return st.is555 ? plainKernel<T, G, true, true> : plainKernel<T, G, true, false>;
    return st.is555 ? plainKernel<T, G, false, true> : plainKernel<T, G, false, false>;
}

#if defined(__SSE2__)

// floorToInt on four lanes, the same clamping included.
inline __m128i floor4(__m128 f) {
    f = _mm_max_ps(f, _mm_set1_ps(-1073741824.0f)); // NaN becomes the low end
    f = _mm_min_ps(f, _mm_set1_ps(1073741824.0f));
    __m128i i = _mm_cvttps_epi32(f);
    __m128 below = _mm_cmplt_ps(f, _mm_cvtepi32_ps(i));
    return _mm_add_epi32(i, _mm_castps_si128(below));
}

// 32-bit lanes 0x00BBGGRR (8-bit channels) to four 16-bit pixels.
template <bool Is555> inline __m128i pack4(__m128i p) {
    __m128i r, g, b;
    if (Is555) {
        r = _mm_and_si128(_mm_slli_epi32(p, 7), _mm_set1_epi32(0x7C00));
        g = _mm_and_si128(_mm_srli_epi32(p, 6), _mm_set1_epi32(0x03E0));
    } else {
        r = _mm_and_si128(_mm_slli_epi32(p, 8), _mm_set1_epi32(0xF800));
        g = _mm_and_si128(_mm_srli_epi32(p, 5), _mm_set1_epi32(0x07E0));
    }
    b = _mm_and_si128(_mm_srli_epi32(p, 19), _mm_set1_epi32(0x001F));
    __m128i v = _mm_or_si128(_mm_or_si128(r, g), b);
    v = _mm_srai_epi32(_mm_slli_epi32(v, 16), 16); // sign-extend so the signed pack is exact
    return _mm_packs_epi32(v, v);                  // low 64 bits: the four pixels
}

// round(a * b / 255) on 16-bit lanes holding 0..255.
inline __m128i mul255x8(__m128i a, __m128i b) {
    __m128i x = _mm_add_epi16(_mm_mullo_epi16(a, b), _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
}

// Opaque spans four pixels at a time; a last group of 1 to 3 pixels is
// shaded in full lanes and only its own pixels are stored.
template <bool Textured, bool Gouraud, bool Is555>
void sse2Kernel(uint16_t* dst, float* z, int n, const Span& s, const SpanStyle& st) {
    const __m128 lane = _mm_set_ps(3, 2, 1, 0);
    const __m128 dq = _mm_set1_ps(s.dq), du = _mm_set1_ps(s.du), dv = _mm_set1_ps(s.dv);
    const __m128 q0 = _mm_set1_ps(s.q), u0 = _mm_set1_ps(s.u), v0 = _mm_set1_ps(s.v);
    const __m128i mask = _mm_set1_epi32(st.mask);
    const __m128i shift = _mm_cvtsi32_si128(st.shift);
    const __m128i zero = _mm_setzero_si128();
    const __m128i flat = _mm_set1_epi32(int32_t(st.r | st.g << 8 | st.b << 16));
    const __m128i flatPixels = pack4<Is555>(flat);

    // Colour lanes hold base + (i + lane) step in 16.16; adding 4 step per
    // group gives the reference's base + i step exactly (both wrap mod 2^32).
    auto startChannel = [&](int32_t base, int32_t step) {
        alignas(16) int32_t v[4];
        for (int k = 0; k < 4; ++k)
            v[k] = int32_t(uint32_t(base) + uint32_t(k) * uint32_t(step));
        return _mm_load_si128(reinterpret_cast<const __m128i*>(v));
    };
    __m128i rAcc = startChannel(s.r, s.dr), gAcc = startChannel(s.g, s.dg);
    __m128i bAcc = startChannel(s.b, s.db);
    const __m128i r4 = _mm_set1_epi32(int32_t(uint32_t(s.dr) * 4u));
    const __m128i g4 = _mm_set1_epi32(int32_t(uint32_t(s.dg) * 4u));
    const __m128i b4 = _mm_set1_epi32(int32_t(uint32_t(s.db) * 4u));
    // The four pixels from i: their 16-bit values (low 64 bits).
    auto shade = [&](__m128 fi, __m128 q) {
        __m128i colour = flat; // lanes 0x00BBGGRR
        if (Gouraud) {
            __m128i r = _mm_srai_epi32(rAcc, 16), g = _mm_srai_epi32(gAcc, 16);
            __m128i b = _mm_srai_epi32(bAcc, 16);
            // Clamped to 0..255 by the saturating packs, then interleaved.
            __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(r, g), _mm_packs_epi32(b, b));
            __m128i rg = _mm_unpacklo_epi8(bytes, _mm_srli_si128(bytes, 4));
            __m128i bz = _mm_unpacklo_epi8(_mm_srli_si128(bytes, 8), zero);
            colour = _mm_unpacklo_epi16(rg, bz);
        }
        if (Textured) {
            const __m128 w = _mm_div_ps(_mm_set1_ps(1.0f), q);
            const __m128 u = _mm_mul_ps(_mm_add_ps(u0, _mm_mul_ps(fi, du)), w);
            const __m128 v = _mm_mul_ps(_mm_add_ps(v0, _mm_mul_ps(fi, dv)), w);
            const __m128i tu = _mm_and_si128(floor4(u), mask);
            const __m128i tv = _mm_and_si128(floor4(v), mask);
            alignas(16) int32_t index[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(index),
                            _mm_or_si128(_mm_sll_epi32(tv, shift), tu));
            const uint32_t* tx = st.texels;
            const __m128i t = _mm_set_epi32(int32_t(tx[index[3]]), int32_t(tx[index[2]]),
                                            int32_t(tx[index[1]]), int32_t(tx[index[0]]));
            // Channels as 16-bit lanes: pixels 0-1 low, 2-3 high. The colour's
            // top byte is 0, so the transparency byte drops out.
            __m128i tLo = _mm_unpacklo_epi8(t, zero), tHi = _mm_unpackhi_epi8(t, zero);
            __m128i cLo = _mm_unpacklo_epi8(colour, zero), cHi = _mm_unpackhi_epi8(colour, zero);
            colour = _mm_packus_epi16(mul255x8(tLo, cLo), mul255x8(tHi, cHi));
        }
        return (Gouraud || Textured) ? pack4<Is555>(colour) : flatPixels;
    };

    // Pixel indices as floats: exact, as spans are far shorter than 2^24.
    __m128 fi = lane;
    const __m128 four = _mm_set1_ps(4.0f);
    auto advance = [&] {
        fi = _mm_add_ps(fi, four);
        if (Gouraud) {
            rAcc = _mm_add_epi32(rAcc, r4);
            gAcc = _mm_add_epi32(gAcc, g4);
            bAcc = _mm_add_epi32(bAcc, b4);
        }
    };
    int i = 0;
    for (; i + 4 <= n; i += 4, advance()) {
        const __m128 q = _mm_add_ps(q0, _mm_mul_ps(fi, dq));
        const __m128 zOld = _mm_loadu_ps(z + i);
        const __m128 pass = _mm_cmpge_ps(q, zOld);
        const int passBits = _mm_movemask_ps(pass);
        if (passBits == 0) continue;
        const __m128i pixels = shade(fi, q);
        __m128i* out = reinterpret_cast<__m128i*>(dst + i);
        if (passBits == 0xF) {
            _mm_storel_epi64(out, pixels);
            _mm_storeu_ps(z + i, q);
        } else {
            const __m128i keep = _mm_packs_epi32(_mm_castps_si128(pass), _mm_castps_si128(pass));
            const __m128i old = _mm_loadl_epi64(out);
            _mm_storel_epi64(
                out, _mm_or_si128(_mm_and_si128(keep, pixels), _mm_andnot_si128(keep, old)));
            _mm_storeu_ps(z + i, _mm_or_ps(_mm_and_ps(pass, q), _mm_andnot_ps(pass, zOld)));
        }
    }
    if (i == n) return;
    const int rest = n - i;
    alignas(16) float zRest[4];
    for (int k = 0; k < 4; ++k)
        zRest[k] = k < rest ? z[i + k] : 0.0f;
    const __m128 q = _mm_add_ps(q0, _mm_mul_ps(fi, dq));
    const int passBits = _mm_movemask_ps(_mm_cmpge_ps(q, _mm_load_ps(zRest))) & ((1 << rest) - 1);
    if (passBits == 0) return;
    alignas(16) uint16_t pixels[8];
    alignas(16) float qs[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(pixels), shade(fi, q));
    _mm_store_ps(qs, q);
    for (int k = 0; k < rest; ++k) {
        if (!(passBits & (1 << k))) continue;
        dst[i + k] = pixels[k];
        z[i + k] = qs[k];
    }
}

template <bool T, bool G> SpanFunction fastFor(const SpanStyle& st) {
    if (st.translucent) return plainFor<T, G>(st);
    return st.is555 ? sse2Kernel<T, G, true> : sse2Kernel<T, G, false>;
}

#else

template <bool T, bool G> SpanFunction fastFor(const SpanStyle& st) {
    return plainFor<T, G>(st);
}

#endif

} // namespace

SpanFunction spanReference(const SpanStyle& st) {
    if (st.texels) return st.constantColour ? plainFor<true, false>(st) : plainFor<true, true>(st);
    return st.constantColour ? plainFor<false, false>(st) : plainFor<false, true>(st);
}

SpanFunction spanKernel(const SpanStyle& st) {
    if (st.texels) return st.constantColour ? fastFor<true, false>(st) : fastFor<true, true>(st);
    return st.constantColour ? fastFor<false, false>(st) : fastFor<false, true>(st);
}

} // namespace softsgl
