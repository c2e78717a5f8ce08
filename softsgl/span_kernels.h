// Span kernels: shading one horizontal run of a triangle's pixels. The
// plain kernel is the reference; the fast one (SSE2, opaque spans) gives
// the very same pixels and depths.
#pragma once

#include <cstdint>

namespace softsgl {

struct SpanStyle {
    const uint32_t* texels; // null: untextured; else side x side, bytes r, g, b, transparency
    int32_t mask;           // side - 1
    int shift;              // log2 side
    bool textureAlpha;      // texel opacity counts (translucent map)
    bool translucent;       // per pixel by alpha: opaque, blended without depth, or nothing
    bool constantColour;    // r, g, b, a below instead of the interpolated ones
    bool is555;
    uint32_t r, g, b, a;
};

// Attributes at the span's first pixel and their steps per pixel. Pixel i
// has q + i dq (float), u + i du, v + i dv, and colour r + i dr (16.16,
// with 0.5 added so that >> 16 rounds), clamped to 0..255.
struct Span {
    float q, dq, u, du, v, dv;
    int32_t r, dr, g, dg, b, db, a, da;
};

using SpanFunction = void (*)(uint16_t* dst, float* depth, int n, const Span& s,
                              const SpanStyle& st);

SpanFunction spanKernel(const SpanStyle& st);
SpanFunction spanReference(const SpanStyle& st);

} // namespace softsgl
