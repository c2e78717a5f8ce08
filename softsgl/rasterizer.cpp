// The rasterizer. Triangles are set up in 28.4 fixed point with exact
// integer edge functions; each row's span is found from those functions, and
// attributes are stepped across the span (points and lines are
// points_lines.cpp's). A frame is drawn band by band, on the threads and
// rows band_workers.cpp gives. See README.md for the rules.
#include "softsgl/rasterizer.h"

#include <emmintrin.h> // every build of softsgl has SSE2 (sgl.dll's 32-bit float math too)

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "settings/settings.h"
#include "softsgl/band_workers.h"
#include "softsgl/pixel_ops.h"
#include "softsgl/raster_parts.h"
#include "softsgl/span_kernels.h"
#include "softsgl/supersampling.h"

namespace softsgl {
namespace {

// A row of pixels to 0 in 16-byte stores: the memset of Wine's 32-bit
// msvcrt, which sgl.dll calls there, fills with 4-byte ones. The barriers
// keep the compiler from turning the loops back into a call to memset.
void clearRow(uint16_t* row, int width) {
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x), _mm_setzero_si128());
        __asm__("" ::: "memory");
    }
    for (; x < width; ++x) {
        row[x] = 0;
        __asm__("" ::: "memory");
    }
}

std::vector<float> depthBuffer;
// Depth rows are cleared when a primitive first reaches them: a frame with
// little on it (a menu, a blit, a flip with nothing queued) then costs no
// more than the clear of its colours.
std::vector<uint8_t> depthRowReady;
std::vector<float> farRow; // one row of the clear depth, copied from

// floor(n / d) for d > 0.
template <typename Int> Int floorDiv(Int n, Int d) {
    const Int q = n / d;
    return q - ((n % d != 0 && n < 0) ? 1 : 0);
}

// floor(v) for two doubles in the low two int32 lanes: not a number gives
// 0, and values are held to +-2^30 first.
inline __m128i floorPair(__m128d v) {
    v = _mm_and_pd(v, _mm_cmpord_pd(v, v));
    v = _mm_min_pd(_mm_max_pd(v, _mm_set1_pd(-1073741824.0)), _mm_set1_pd(1073741824.0));
    const __m128i i = _mm_cvttpd_epi32(v);
    const __m128d below = _mm_cmplt_pd(v, _mm_cvtepi32_pd(i)); // truncated upwards
    return _mm_add_epi32(i, _mm_shuffle_epi32(_mm_castpd_si128(below), _MM_SHUFFLE(2, 0, 2, 0)));
}
// The same for one double.
inline int32_t floorOne(double v) {
    return _mm_cvtsi128_si32(floorPair(_mm_set1_pd(v)));
}

// Positions inside the guard band snap to within 2^25: 32 bits hold them,
// and the conversion from double stays one instruction in the 32-bit build.
// Their differences fit 32 bits too, so each product of two is one
// 32 x 32 -> 64-bit multiply there, not three. Not std::floor: in the 32-bit
// build that is a library call that switches the x87 rounding mode, and six
// a triangle showed in its profile.
inline int32_t snap(double c) {
    return floorOne(c * 16.0 + 0.5);
}

// An edge from a to b of a triangle wound so that the inside is where
// E = dx * (py - ay) - dy * (px - ax) > 0. Pixels exactly on an edge belong
// to the triangle when the edge is a top edge (horizontal, inside below) or
// a left edge (going up the screen): `bias` is 0 for those and 1 otherwise,
// and a pixel is inside when E >= bias.
//
// At a row centre py, E(c) = C - dy (16 c + 8) with C = dx (py - ay) +
// dy ax, so the edge limits the row to c >= ceil((bias - C - 8k) / 16k)
// where dy = -k < 0, or to c <= floor((C - 8 dy - bias) / 16 dy) where
// dy > 0. Both are floor(N / D) with N growing by 16 dx a row: the walker
// keeps quotient and remainder exactly, with no division per row.
//
// The walkers take x from the triangle's own first column (see drawRows):
// E does not change when pixel and vertices move together, so each limit
// is the same column less that origin. `Int` is int32_t for a triangle
// smaller than kSmallTriangle (nearly all, wherever they lie on a
// supersampled target): then every value fits 32 bits, which spares the
// 32-bit build its paired 64-bit instructions and its division calls.
// Otherwise int64_t.
template <typename Int> struct EdgeWalker {
    int kind = 0;            // -1: limits the left end, +1: the right end, 0: horizontal
    Int q = 0, r = 0, d = 1; // floor(N / d) and N mod d
    Int stepQ = 0, stepR = 0;
    Int constant = 0, constantStep = 0, bias = 0; // horizontal edges: E itself

    // Positions and differences fit 32 bits (see snap), so the products are
    // of 32-bit values.
    void start(int32_t ax, int32_t ay, int32_t bx, int32_t by, int32_t py) {
        const int32_t dx = bx - ax, dy = by - ay;
        bias = (dy < 0 || (dy == 0 && dx > 0)) ? 0 : 1;
        const Int C = Int(dx) * Int(py - ay) + Int(dy) * Int(ax);
        if (dy == 0) {
            kind = 0;
            constant = C;
            constantStep = 16 * Int(dx);
            return;
        }
        kind = dy < 0 ? -1 : 1;
        const Int n = C - 8 * Int(dy) - bias; // the same N serves both ends
        d = 16 * Int(dy < 0 ? -dy : dy);
        q = floorDiv(n, d);
        r = n - q * d;
        stepQ = floorDiv(16 * Int(dx), d);
        stepR = 16 * Int(dx) - stepQ * d;
    }
    void next() {
        if (kind == 0) {
            constant += constantStep;
            return;
        }
        // Without a branch: which rows carry follows the edge's slope, and
        // a mispredicted branch a row cost more than the arithmetic.
        q += stepQ;
        r += stepR;
        const Int carry = Int(r >= d);
        q += carry;
        r -= d & -carry;
    }
    // Narrows [lo, hi) to the columns inside this edge on the current row.
    void clip(Int& lo, Int& hi) const {
        if (kind < 0)
            lo = std::max(lo, Int(-q));
        else if (kind > 0)
            hi = std::min(hi, Int(q + 1));
        else if (constant < bias)
            hi = lo;
    }
};

// A triangle whose snapped positions (28.4) span less than kSmallTriangle
// (1024 pixels) each way, x taken from its first column: then |dx|, |dy|
// and x are below 2^14 + 16 and |py - ay| below 2^15, so |C| < 2^30 and
// |N| stays below 2^31; d and 16 dx are below 2^19; the quotient only
// shrinks N; and a horizontal edge's E, which is C, stays within the same
// bound over the triangle's rows.
constexpr int32_t kSmallTriangle = 1 << 14;

// Plane of one attribute over the screen: value at (x, y) in pixels.
struct Plane {
    double base, dx, dy; // value at (x0, y0) and gradients
    double at(double fx, double fy) const { return base + dx * fx + dy * fy; }
};

// Two planes evaluated at once, each lane with the very operations of
// Plane::at (no contraction), so the values are the same bits.
struct PlanePair {
    __m128d base, dx, dy;
    PlanePair(const Plane& lo, const Plane& hi)
        : base(_mm_set_pd(hi.base, lo.base)), dx(_mm_set_pd(hi.dx, lo.dx)),
          dy(_mm_set_pd(hi.dy, lo.dy)) {}
    __m128d at(__m128d fx, __m128d fy) const {
        return _mm_add_pd(_mm_add_pd(base, _mm_mul_pd(dx, fx)), _mm_mul_pd(dy, fy));
    }
};

} // namespace

uint16_t probedPixel(const PixelProbe& probe, const Surface& surf) {
    if (probe.scale == 1) return surf.row(probe.y)[probe.x];
    return resolvePixel(*surf.target, probe.scale, probe.x, probe.y, surf.target->is555,
                        probe.dither);
}

// A primitive's parts (rows of its samples, triangles of a clipped one) come
// one after another and make one hit.
void probeHit(PixelProbe& probe, bool translucent, int covered, int passed, uint16_t before,
              uint16_t after) {
    if (!probe.hits.empty() && probe.hits.back().primitive == probe.primitive) {
        SoftsglProbeHit& hit = probe.hits.back();
        hit.covered = uint8_t(hit.covered + covered);
        hit.passed = uint8_t(hit.passed + passed);
        hit.drawn = hit.passed > 0;
        hit.pixel = after;
        return;
    }
    SoftsglProbeHit hit;
    hit.primitive = probe.primitive;
    hit.translucent = translucent;
    hit.drawn = passed > 0;
    hit.pixel = after;
    hit.before = before;
    hit.samples = uint8_t(probe.scale * probe.scale);
    hit.covered = uint8_t(covered);
    hit.passed = uint8_t(passed);
    probe.hits.push_back(hit);
}

namespace {

// A span that covers samples of the probed pixel: drawn as any other, and
// recorded with how many of them passed the depth test. The depths the span
// gives them come from the opaque kernel of the same span (every kernel
// computes depths alike) run on a scratch row whose depths no value passes
// but one the span writes (NaN compares false).
void probeSpan(PixelProbe& probe, SpanFunction span, const Span& s, const SpanStyle& ss,
               const Surface& surf, int row, int lo, int hi, bool translucent) {
    const int from = std::max(lo, probe.x0), to = std::min(hi, probe.x1);
    const int n = to - lo;
    std::vector<uint16_t> pixels(size_t(n), 0);
    std::vector<float> depths(size_t(n), -std::numeric_limits<float>::infinity());
    SpanStyle opaque = ss;
    opaque.translucent = false;
    opaque.textureAlpha = false;
    spanKernel(opaque)(pixels.data(), depths.data(), n, s, opaque);
    float* depth = surf.depthRow(row);
    const std::vector<float> before(depth + from, depth + to);
    const uint16_t pixelBefore = probedPixel(probe, surf);
    span(surf.row(row) + lo, depth + lo, hi - lo, s, ss);
    // The scratch depth is minus infinity unless the span wrote it, and a
    // span writes no depth that is not a number.
    int passed = 0;
    for (int c = from; c < to; ++c) {
        const float q = depths[size_t(c - lo)];
        passed += q >= before[size_t(c - from)] && q != -std::numeric_limits<float>::infinity();
    }
    probeHit(probe, translucent, to - from, passed, pixelBefore, probedPixel(probe, surf));
}

void rasterTriangle(RasterVertex v0, RasterVertex v1, RasterVertex v2, const Style& st,
                    const Surface& surf) {
    int32_t X0 = snap(v0.x), Y0 = snap(v0.y), X1 = snap(v1.x), Y1 = snap(v1.y);
    int32_t X2 = snap(v2.x), Y2 = snap(v2.y);
    int64_t area = int64_t(X1 - X0) * (Y2 - Y0) - int64_t(Y1 - Y0) * (X2 - X0);
    if (area == 0) return;
    if (area < 0) { // draw either winding: make it the one the edges expect
        std::swap(v1, v2);
        std::swap(X1, X2);
        std::swap(Y1, Y2);
        area = -area;
    }
    const int W = surf.target->width, H = surf.target->height;
    const int32_t minX = std::min({X0, X1, X2}), maxX = std::max({X0, X1, X2});
    const int32_t minY = std::min({Y0, Y1, Y2}), maxY = std::max({Y0, Y1, Y2});
    // Pixel c's centre is 16 c + 8: the columns and rows whose centres lie
    // in the bounding box, cut to the render area.
    const int32_t cLo = std::max(0, -((8 - minX) >> 4));
    const int32_t cHi = std::min(W - 1, (maxX - 8) >> 4);
    const int32_t rLo = std::max(0, -((8 - minY) >> 4));
    const int32_t rHi = std::min(H - 1, (maxY - 8) >> 4);
    if (cLo > cHi || rLo > rHi) return;

    // Attribute planes from the positions as given: coverage is decided on
    // the snapped ones, but near a horizon one pixel spans several texels,
    // and moving a vertex by up to 1/32 pixel would move u by a good part of
    // a texel. A sliver that snapping changed by half its area or more (or
    // turned over) keeps the snapped positions, whose area is not zero.
    double x0 = v0.x, y0 = v0.y;
    double ax = v1.x - v0.x, ay = v1.y - v0.y, bx = v2.x - v0.x, by = v2.y - v0.y;
    double planeArea = ax * by - ay * bx;
    if (!(planeArea >= double(area) / 512.0)) {
        x0 = X0 / 16.0, y0 = Y0 / 16.0;
        ax = (X1 - X0) / 16.0, ay = (Y1 - Y0) / 16.0;
        bx = (X2 - X0) / 16.0, by = (Y2 - Y0) / 16.0;
        planeArea = double(area) / 256.0;
    }
    const double inv = 1.0 / planeArea;
    auto plane = [&](double a0, double a1, double a2) {
        double d1 = a1 - a0, d2 = a2 - a0;
        return Plane{a0, (d1 * by - d2 * ay) * inv, (d2 * ax - d1 * bx) * inv};
    };
    const bool textured = st.texture != nullptr;
    const bool gouraud = !st.constantColour;
    Plane pq = plane(v0.q, v1.q, v2.q);
    Plane pu{}, pv{}, pr{}, pg{}, pb{}, pa{};
    if (textured) {
        pu = plane(v0.u, v1.u, v2.u);
        pv = plane(v0.v, v1.v, v2.v);
    }
    if (gouraud) {
        pr = plane(v0.r, v1.r, v2.r);
        pg = plane(v0.g, v1.g, v2.g);
        pb = plane(v0.b, v1.b, v2.b);
        pa = plane(v0.a, v1.a, v2.a);
    }
    // 16.16 colours: a channel is 0..255, so the values stay far inside
    // int32; the plane's tiny overshoots at edges are clamped by the kernel.
    auto fixedStep = [](double d) { return floorOne(d * 65536.0 + 0.5); };
    // Each row's colours, two channels at a time.
    auto fixedPair = [](__m128d v) {
        return floorPair(_mm_add_pd(_mm_mul_pd(v, _mm_set1_pd(65536.0)), _mm_set1_pd(32768.0)));
    };
    SpanStyle ss{};
    if (textured) {
        ss.texels = st.texture->texels.data();
        ss.mask = st.texture->side - 1;
        ss.shift = st.texture->shift;
    }
    ss.textureAlpha = st.textureAlpha;
    ss.translucent = st.translucent;
    ss.constantColour = st.constantColour;
    ss.is555 = surf.target->is555;
    ss.dither = surf.dither;
    ss.bilinear = surf.bilinear && textured;
    ss.r = st.r;
    ss.g = st.g;
    ss.b = st.b;
    ss.a = st.a;
    Span s{};
    s.dq = float(pq.dx);
    s.du = float(pu.dx);
    s.dv = float(pv.dx);
    s.dr = fixedStep(pr.dx);
    s.dg = fixedStep(pg.dx);
    s.db = fixedStep(pb.dx);
    s.da = fixedStep(pa.dx);

    const PlanePair puv(pu, pv), prg(pr, pg), pba(pb, pa);

    SpanFunction span = spanKernel(ss);
    PixelProbe& probe = pixelProbe();
    // The rows of this surface's band that the triangle reaches; the edge
    // walkers start at its first (exact integer arithmetic, so they hold what
    // stepping from the triangle's first row would give).
    const int32_t first = std::max(rLo, surf.first);
    const int32_t last = std::min(rHi, surf.end - 1);
    if (first > last) return;
    // Rows are found and set up a batch at a time, then drawn: the walkers
    // and planes stay in registers while no span is called between them.
    constexpr int kBatch = 32;
    struct RowSpan {
        Span s;
        int32_t lo, hi;
    };
    RowSpan batch[kBatch];
    auto drawRows = [&](auto zero) {
        using Int = decltype(zero);
        const int32_t py = first * 16 + 8;
        // Columns counted from the one holding minX, whose left edge is x 0.
        const int32_t origin = minX >> 4, ox = origin * 16;
        EdgeWalker<Int> e[3];
        e[0].start(X0 - ox, Y0, X1 - ox, Y1, py);
        e[1].start(X1 - ox, Y1, X2 - ox, Y2, py);
        e[2].start(X2 - ox, Y2, X0 - ox, Y0, py);
        for (int32_t row = first; row <= last;) {
            int count = 0;
            for (; row <= last && count < kBatch; ++row, e[0].next(), e[1].next(), e[2].next()) {
                Int lo = cLo - origin, hi = Int(cHi) + 1 - origin;
                e[0].clip(lo, hi);
                e[1].clip(lo, hi);
                e[2].clip(lo, hi);
                if (lo >= hi) continue;
                lo += origin, hi += origin;
                RowSpan& rs = batch[count++];
                rs.s = s;
                rs.lo = int32_t(lo);
                rs.hi = int32_t(hi);
                // Inside the area: 32-bit conversions, cheaper in the 32-bit build.
                double fx = double(int32_t(lo)) + 0.5 - x0, fy = double(int32_t(row)) + 0.5 - y0;
                rs.s.q = float(pq.at(fx, fy));
                const __m128d fx2 = _mm_set1_pd(fx), fy2 = _mm_set1_pd(fy);
                if (textured) {
                    const __m128d uv = puv.at(fx2, fy2);
                    rs.s.u = float(_mm_cvtsd_f64(uv));
                    rs.s.v = float(_mm_cvtsd_f64(_mm_unpackhi_pd(uv, uv)));
                }
                if (gouraud) {
                    const __m128i rg = fixedPair(prg.at(fx2, fy2));
                    const __m128i ba = fixedPair(pba.at(fx2, fy2));
                    rs.s.r = _mm_cvtsi128_si32(rg);
                    rs.s.g = _mm_cvtsi128_si32(_mm_shuffle_epi32(rg, 1));
                    rs.s.b = _mm_cvtsi128_si32(ba);
                    if (st.translucent) // only blending uses alpha
                        rs.s.a = _mm_cvtsi128_si32(_mm_shuffle_epi32(ba, 1));
                }
                rs.s.x = int32_t(lo);
                rs.s.y = row;
            }
            for (int k = 0; k < count; ++k) {
                const RowSpan& rs = batch[k];
                const int y = rs.s.y;
                if (probe.on && y >= probe.y0 && y < probe.y1 && rs.lo < probe.x1 &&
                    rs.hi > probe.x0) {
                    probeSpan(probe, span, rs.s, ss, surf, y, rs.lo, rs.hi, st.translucent);
                    continue;
                }
                span(surf.row(y) + rs.lo, surf.depthRow(y) + rs.lo, rs.hi - rs.lo, rs.s, ss);
            }
        }
    };
    if (maxX - minX < kSmallTriangle && maxY - minY < kSmallTriangle)
        drawRows(int32_t(0));
    else
        drawRows(int64_t(0));
}

} // namespace

// Interpolated from the inside end: far vertices (1e30 pixels away, say)
// would otherwise cancel the near one's digits away and put the point
// anywhere. Each edge has one inside end, so two triangles sharing the edge
// get the very same point.
RasterVertex crossing(const RasterVertex& in, const RasterVertex& out, bool yAxis, double limit) {
    const double a = yAxis ? in.y : in.x, b = yAxis ? out.y : out.x;
    const double t = (limit - a) / (b - a);
    auto lerp = [t](double x, double y) { return x + (y - x) * t; };
    RasterVertex c{lerp(in.x, out.x), lerp(in.y, out.y), lerp(in.q, out.q),
                   lerp(in.u, out.u), lerp(in.v, out.v), lerp(in.r, out.r),
                   lerp(in.g, out.g), lerp(in.b, out.b), lerp(in.a, out.a)};
    (yAxis ? c.y : c.x) = limit;
    return c;
}

namespace {

// Clips a polygon to one side of an axis-aligned line.
int clipPolygon(const RasterVertex* in, int n, RasterVertex* out, bool yAxis, double limit,
                bool keepBelow) {
    auto coord = [&](const RasterVertex& v) { return yAxis ? v.y : v.x; };
    auto inside = [&](const RasterVertex& v) {
        return keepBelow ? coord(v) <= limit : coord(v) >= limit;
    };
    int m = 0;
    for (int i = 0; i < n; ++i) {
        const RasterVertex& a = in[i];
        const RasterVertex& b = in[(i + 1) % n];
        if (inside(a)) out[m++] = a;
        if (inside(a) != inside(b))
            out[m++] = inside(a) ? crossing(a, b, yAxis, limit) : crossing(b, a, yAxis, limit);
    }
    return m;
}

void drawTriangle(const RasterVertex v[3], const Style& st, const Surface& surf) {
    bool inGuard = true;
    for (int i = 0; i < 3; ++i)
        inGuard = inGuard && std::fabs(v[i].x) <= kGuardBand && std::fabs(v[i].y) <= kGuardBand;
    if (inGuard) {
        rasterTriangle(v[0], v[1], v[2], st, surf);
        return;
    }
    RasterVertex a[9], b[9];
    int n = 3;
    std::copy(v, v + 3, a);
    n = clipPolygon(a, n, b, false, -kGuardBand, false);
    n = clipPolygon(b, n, a, false, kGuardBand, true);
    n = clipPolygon(a, n, b, true, -kGuardBand, false);
    n = clipPolygon(b, n, a, true, kGuardBand, true);
    for (int i = 1; i + 1 < n; ++i)
        rasterTriangle(a[0], a[i], a[i + 1], st, surf);
}

bool finite(double v) {
    return std::isfinite(v);
}

// The style of a primitive and its vertices in raster form; false when it
// is not drawn at all (a coordinate that is not a finite number).
bool prepare(const SGLCONTEXT& ctx, const SGLVERTEX* in, int n, Style& st, RasterVertex* out) {
    st.texture = (ctx.flags & SGLTT_TEXTURE) ? findTexture(ctx.textureName) : nullptr;
    // With blending off the primitive is opaque, whatever its map and alphas:
    // texel transparency and vertex alpha count only while blending is on.
    // A translucent map none of whose texels is transparent is opaque too,
    // so that the primitive keeps the opaque pass and its fast spans.
    const bool blending = (ctx.flags & SGLTT_NOBLEND) == 0;
    bool vertexAlpha = blending && (ctx.flags & SGLTT_VERTEXTRANS) != 0;
    st.textureAlpha = blending && st.texture && st.texture->mapType == SGL_MAP_TRANSLUCENT &&
                      st.texture->anyTransparent;
    st.translucent = st.textureAlpha;
    double side = st.texture ? st.texture->side : 0;
    uint32_t alphaMask = vertexAlpha ? 0 : 0xFF000000u; // alpha counts only with the flag
    for (int i = 0; i < n; ++i) {
        const SGLVERTEX& v = in[i];
        if (!finite(v.x) || !finite(v.y) || !finite(v.invW)) return false;
        if (st.texture && (!finite(v.uOverW) || !finite(v.vOverW))) return false;
        uint32_t c = v.colour | alphaMask;
        if ((c >> 24) < 255) st.translucent = true;
        out[i] = RasterVertex{v.x,
                              v.y,
                              v.invW,
                              v.uOverW * side,
                              v.vOverW * side,
                              double((c >> 16) & 0xFF),
                              double((c >> 8) & 0xFF),
                              double(c & 0xFF),
                              double(c >> 24)};
    }
    uint32_t c0 = in[0].colour | alphaMask;
    st.constantColour = true;
    for (int i = 1; i < n; ++i)
        st.constantColour &= (in[i].colour | alphaMask) == c0;
    st.r = (c0 >> 16) & 0xFF;
    st.g = (c0 >> 8) & 0xFF;
    st.b = c0 & 0xFF;
    st.a = c0 >> 24;
    return true;
}

// Draws the primitive if it belongs to this pass; true when it belongs to
// the translucent one.
bool drawPrimitive(const Frame& frame, const QueuedPrimitive& p, bool translucentPass,
                   const Surface& surf) {
    const SGLVERTEX* vs = &frame.vertices[p.firstVertex];
    int n = p.kind == PrimitiveKind::Point ? 1 : p.kind == PrimitiveKind::Line ? 2 : 3;
    // Its rows in what is drawn into: with supersampling, all the samples
    // of the pixels' rows noted for it.
    const int32_t top = int32_t(p.top) * surf.scale, end = (int32_t(p.bottom) + 1) * surf.scale;
    if (top >= surf.end || end <= surf.first) return false;
    Style st;
    RasterVertex rv[3];
    if (!prepare(frame.contexts[p.context], vs, n, st, rv)) return false;
    if (st.translucent != translucentPass) return st.translucent;
    // Supersampled triangles are drawn as on a device scale times as large:
    // their positions scaled (exactly: doubles hold every float times 4).
    if (p.kind == PrimitiveKind::Triangle && surf.scale > 1)
        for (RasterVertex& v : rv) {
            v.x *= surf.scale;
            v.y *= surf.scale;
        }
    // The primitive draws inside the rows noted for it, whichever band
    // draws it: a row outside them would be drawn by one thread and passed
    // by on several, so the bounds hold on one thread too.
    Surface own = surf;
    own.first = std::max<int32_t>(surf.first, top);
    own.end = std::min<int32_t>(surf.end, end);
    switch (p.kind) {
    case PrimitiveKind::Point:
        drawPoint(rv[0], st, own);
        break;
    case PrimitiveKind::Line:
        drawLine(rv[0], rv[1], st, own);
        break;
    case PrimitiveKind::Triangle:
        drawTriangle(rv, st, own);
        break;
    }
    return st.translucent;
}

struct BandJob {
    const Frame* frame;
    const RenderTarget* target;
    // What the bands draw into: the target, or its samples (scale > 1),
    // whose rows they then resolve into the target's.
    const RenderTarget* drawn;
    int scale;
    float* depth;
    bool dither, bilinear;
    BandSplit bands;
};

// Dithering as a test sets it (softsglSetDither): 1 on, 0 off, -1 the settings'.
int ditherMode = -1;
bool ditherOn() {
    static const bool bySettings = kxSettings().dither;
    return ditherMode < 0 ? bySettings : ditherMode != 0;
}
// Bilinear filtering likewise (softsglSetFilter).
int filterMode = -1;
bool filterOn() {
    static const bool bySettings = kxSettings().bilinear;
    return filterMode < 0 ? bySettings : filterMode != 0;
}

// The target's rows of band `index`: cleared, then the opaque primitives,
// then the translucent ones noted on the way, in queue order. Each band
// writes only its own rows, so the bands may be drawn at once.
void drawBands(void* data, int index, int) {
    BandJob& job = *static_cast<BandJob*>(data);
    const double start = bandClock();
    const RenderTarget& target = *job.drawn;
    const int n = job.scale;
    // With supersampling the samples are packed plainly: dithering is the
    // resolve's.
    Surface surf{&target,
                 job.depth,
                 depthRowReady.data(),
                 farRow.data(),
                 job.bands.start[index] * n,
                 job.bands.start[index + 1] * n,
                 job.dither && n == 1,
                 job.bilinear,
                 n,
                 job.target->width,
                 job.target->height};
    for (int32_t row = surf.first; row < surf.end; ++row)
        clearRow(surf.row(row), target.width);
    // The probe (on, the frame is drawn by this thread alone) names each
    // primitive as it is drawn.
    PixelProbe& probe = pixelProbe();
    const QueuedPrimitive* queue = job.frame->primitives.data();
    std::vector<const QueuedPrimitive*> translucent;
    for (const QueuedPrimitive& p : job.frame->primitives) {
        if (probe.on) probe.primitive = uint32_t(&p - queue);
        if (drawPrimitive(*job.frame, p, false, surf)) translucent.push_back(&p);
    }
    for (const QueuedPrimitive* p : translucent) {
        if (probe.on) probe.primitive = uint32_t(p - queue);
        drawPrimitive(*job.frame, *p, true, surf);
    }
    if (n > 1)
        resolveRows(*job.target, target, n, job.bands.start[index], job.bands.start[index + 1],
                    job.dither);
    job.bands.seconds[index] = bandClock() - start;
}

} // namespace

void renderFrame(const Frame& frame, const RenderTarget& target) {
    if (target.width <= 0 || target.height <= 0) return;
    // Supersampled, the frame is drawn into N x N samples a pixel, as on a
    // device N times as wide and high; short of memory, without.
    int n = samplesEachWay(antialiasWanted(), target.width, target.height);
    SampleBuffers buffers{nullptr, nullptr};
    if (n > 1 && !sampleBuffers(
                     size_t(target.width) * size_t(n) * size_t(target.height) * size_t(n), buffers))
        n = 1;
    const RenderTarget samples{reinterpret_cast<uint8_t*>(buffers.colours), target.width * n * 2,
                               target.width * n, target.height * n, target.is555};
    const RenderTarget& drawn = n > 1 ? samples : target;
    float* depth = buffers.depths;
    if (n == 1) {
        size_t pixels = size_t(target.width) * target.height;
        if (depthBuffer.size() < pixels) depthBuffer.resize(pixels);
        depth = depthBuffer.data();
    }
    if (farRow.size() < size_t(drawn.width))
        farRow.resize(size_t(drawn.width), -std::numeric_limits<float>::infinity());
    depthRowReady.assign(size_t(drawn.height), 0);
    spanLevel(); // chosen (and named) here, before any band runs
    PixelProbe& probe = pixelProbe();
    probe.hits.clear();
    probe.scale = n;
    probe.dither = ditherOn();
    // Beyond any device, the probed pixel is never drawn; held so that its
    // samples' columns and rows stay inside int.
    probe.x0 = std::min(probe.x, kMaxDeviceSide) * n;
    probe.x1 = probe.x0 + n;
    probe.y0 = std::min(probe.y, kMaxDeviceSide) * n;
    probe.y1 = probe.y0 + n;
    // A frame of fewer than kMinBandRows rows a thread is drawn by fewer; a
    // probed one by one thread, which records its hits in drawing order.
    const int count = readyBandThreads(
        probe.on ? 1 : std::max(1, std::min(bandThreads(), target.height / kMinBandRows)));
    BandJob job{&frame, &target, &drawn, n, depth, ditherOn(), filterOn(), {}};
    job.bands.start[0] = 0;
    job.bands.start[1] = target.height;
    if (count > 1) splitRows(frame, target.height, count, job.bands);
    runBands(count, drawBands, &job);
    noteBandTimes(count, job.bands);
}

} // namespace softsgl

void softsglSetDither(int mode) {
    softsgl::ditherMode = mode < 0 ? -1 : mode != 0;
}

void softsglSetFilter(int mode) {
    softsgl::filterMode = mode < 0 ? -1 : mode != 0;
}
