// Span kernels: shading one horizontal run of a triangle's pixels. The
// plain kernel is the reference; the kernels of every instruction-set level
// (cpu/: SSE2, AVX2, AVX-512) give the very same pixels and depths.
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
    bool dither;   // ordered dithering at packing (pixel_ops.h)
    bool bilinear; // textured: four texels filtered
    uint32_t r, g, b, a;
};

// Attributes at the span's first pixel and their steps per pixel. Pixel i
// has q + i dq (float), u + i du, v + i dv, and colour r + i dr (16.16,
// with 0.5 added so that >> 16 rounds), clamped to 0..255.
struct Span {
    float q, dq, u, du, v, dv;
    int32_t r, dr, g, dg, b, db, a, da;
    int32_t x, y; // the first pixel's place in the target, for dithering
};

using SpanFunction = void (*)(uint16_t* dst, float* depth, int n, const Span& s,
                              const SpanStyle& st);

// One level's kernels, indexed [dither][texturing][gouraud][translucent][is555];
// texturing is 0 untextured, 1 nearest texels, 2 bilinear.
struct SpanKernelSet {
    SpanFunction kernel[2][3][2][2][2];
};

// The kernel for a style at the level the spans run at (spanLevel()).
SpanFunction spanKernel(const SpanStyle& st);
// The plain per-pixel kernel: the reference, and the scalar level's.
SpanFunction spanReference(const SpanStyle& st);
// The kernel of one level (KernelLevel), or null where this build or this
// processor has no set of that level. At the AVX-512 level the texels come
// by separate loads, or by the gather instruction where `gatherInstruction`.
SpanFunction spanKernelAt(int level, const SpanStyle& st, bool gatherInstruction = false);
// The level of the spans: the processor's, capped by KXPWRVR_KERNELS as the
// driver's kernels are, lowered to the highest this build has. While the
// variable is set the level is written to the debugger output once, as
// "softsgl: spans <level>\n".
int spanLevel();

// The sets, built where KX_X86_KERNELS (and KX_AVX512_KERNELS) say. The
// spans run the AVX-512 level's gather set where gatherInstructionFast().
extern const SpanKernelSet sse2SpanKernels;
extern const SpanKernelSet avx2SpanKernels;
extern const SpanKernelSet avx512SpanKernels;
extern const SpanKernelSet avx512GatherSpanKernels;

} // namespace softsgl
