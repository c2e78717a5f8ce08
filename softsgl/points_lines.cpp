// Points and lines: a point covers the pixel whose square holds it, a line
// steps along its longer axis; both depth-tested and blended per pixel (or
// per sample) as triangles are. See README.md, rule 8.
#include <algorithm>
#include <cmath>

#include "softsgl/pixel_ops.h"
#include "softsgl/raster_parts.h"

namespace softsgl {
namespace {

// Clips a segment to the guard band, as triangles are; false when none of
// it is left.
bool clipSegment(RasterVertex& p, RasterVertex& q) {
    for (int side = 0; side < 4; ++side) {
        const bool yAxis = side >= 2, keepBelow = side % 2 == 1;
        const double limit = keepBelow ? kGuardBand : -kGuardBand;
        auto inside = [&](const RasterVertex& v) {
            const double c = yAxis ? v.y : v.x;
            return keepBelow ? c <= limit : c >= limit;
        };
        const bool pIn = inside(p), qIn = inside(q);
        if (!pIn && !qIn) return false;
        if (!pIn) p = crossing(q, p, yAxis, limit);
        if (!qIn) q = crossing(p, q, yAxis, limit);
    }
    return true;
}
// The colour of a point or line at a pixel that passed the depth test.
void plotColour(int x, int y, float q, uint32_t r, uint32_t g, uint32_t b, uint32_t a,
                const Style& st, const Surface& surf) {
    float& z = surf.depthRow(y)[x];
    if (st.texture) { // points and lines take texel (0, 0)
        uint32_t t = st.texture->texels[0];
        r = mul255(r, t & 0xFF);
        g = mul255(g, (t >> 8) & 0xFF);
        b = mul255(b, (t >> 16) & 0xFF);
        if (st.textureAlpha) a = mul255(a, 255 - (t >> 24));
    }
    uint16_t& p = surf.row(y)[x];
    bool is555 = surf.target->is555;
    if (st.translucent && a == 0) return;
    if (st.translucent && a < 255) {
        uint32_t dr, dg, db;
        if (is555)
            unpack555(p, dr, dg, db);
        else
            unpack565(p, dr, dg, db);
        r = blend255(r, dr, a);
        g = blend255(g, dg, a);
        b = blend255(b, db, a);
    } else {
        z = q;
    }
    if (surf.dither)
        p = is555 ? ditherPack555(r, g, b, x, y) : ditherPack565(r, g, b, x, y);
    else
        p = is555 ? pack555(r, g, b) : pack565(r, g, b);
}

// A pixel of a point or line with supersampling: each of its samples,
// depth-tested on its own, as the pixel would be.
void plotSamples(int x, int y, float q, uint32_t r, uint32_t g, uint32_t b, uint32_t a,
                 const Style& st, const Surface& surf) {
    const int n = surf.scale;
    if (!surf.owns(int64_t(y) * n)) return; // bands start on a pixel's first sample row
    PixelProbe& probe = pixelProbe();
    const bool probed = probe.on && x == probe.x && y == probe.y;
    const uint16_t before = probed ? probedPixel(probe, surf) : 0;
    int passed = 0;
    for (int sy = y * n; sy < (y + 1) * n; ++sy) {
        const float* z = surf.depthRow(sy);
        for (int sx = x * n; sx < (x + 1) * n; ++sx) {
            if (!(q >= z[sx])) continue;
            plotColour(sx, sy, q, r, g, b, a, st, surf);
            ++passed;
        }
    }
    if (probed) probeHit(probe, st.translucent, n * n, passed, before, probedPixel(probe, surf));
}

// One pixel of a point or line, with the primitive's colour at that spot.
void plot(int x, int y, float q, uint32_t r, uint32_t g, uint32_t b, uint32_t a, const Style& st,
          const Surface& surf) {
    if (surf.scale > 1) {
        plotSamples(x, y, q, r, g, b, a, st, surf);
        return;
    }
    if (!surf.owns(y)) return;
    float& z = surf.depthRow(y)[x];
    PixelProbe& probe = pixelProbe();
    if (probe.on && x == probe.x && y == probe.y) {
        const bool drawn = q >= z;
        const uint16_t before = surf.row(y)[x];
        if (drawn) plotColour(x, y, q, r, g, b, a, st, surf);
        probeHit(probe, st.translucent, 1, drawn, before, surf.row(y)[x]);
        return;
    }
    if (!(q >= z)) return;
    plotColour(x, y, q, r, g, b, a, st, surf);
}
uint32_t roundChannel(double c) {
    long v = std::lround(c);
    return uint32_t(v < 0 ? 0 : v > 255 ? 255 : v);
}

} // namespace

// A point covers the pixel whose square holds it.
void drawPoint(const RasterVertex& v, const Style& st, const Surface& surf) {
    double fx = std::floor(v.x), fy = std::floor(v.y);
    if (fx < 0 || fy < 0 || fx >= surf.pixelWidth || fy >= surf.pixelHeight) return;
    plot(int(fx), int(fy), float(v.q), uint32_t(v.r), uint32_t(v.g), uint32_t(v.b), uint32_t(v.a),
         st, surf);
}

// A line steps along its longer axis one pixel column (or row) at a time:
// in each, the point of the line at the column's centre (held to the
// segment) picks the row. Both end pixels are drawn. A line reaching past
// the guard band is clipped to it first, so that the steps keep fractions
// of a pixel.
void drawLine(RasterVertex p, RasterVertex q, const Style& st, const Surface& surf) {
    if (!clipSegment(p, q)) return;
    double dx = q.x - p.x, dy = q.y - p.y;
    if (dx == 0 && dy == 0) {
        drawPoint(p, st, surf);
        return;
    }
    bool xMajor = std::fabs(dx) >= std::fabs(dy);
    double major0 = xMajor ? p.x : p.y, dMajor = xMajor ? dx : dy;
    double minor0 = xMajor ? p.y : p.x, dMinor = xMajor ? dy : dx;
    // The segment's extent from its ends themselves: major0 + dMajor may
    // round below an end on a whole pixel and lose that end's pixel.
    const double major1 = xMajor ? q.x : q.y;
    double lo = std::min(major0, major1), hi = std::max(major0, major1);
    int majorSize = xMajor ? surf.pixelWidth : surf.pixelHeight;
    int minorSize = xMajor ? surf.pixelHeight : surf.pixelWidth;
    double first = std::max(std::floor(lo), 0.0), last = std::min(std::floor(hi), majorSize - 1.0);
    for (double c = first; c <= last; c += 1.0) {
        double m = std::min(std::max(c + 0.5, lo), hi);
        double t = (m - major0) / dMajor;
        double minor = std::floor(minor0 + dMinor * t);
        if (minor < 0 || minor >= minorSize) continue;
        auto mix = [t](double a, double b) { return a + (b - a) * t; };
        uint32_t r = st.r, g = st.g, b = st.b, a = st.a;
        if (!st.constantColour) {
            r = roundChannel(mix(p.r, q.r));
            g = roundChannel(mix(p.g, q.g));
            b = roundChannel(mix(p.b, q.b));
            a = roundChannel(mix(p.a, q.a));
        }
        int x = int(xMajor ? c : minor), y = int(xMajor ? minor : c);
        plot(x, y, float(mix(p.q, q.q)), r, g, b, a, st, surf);
    }
}

} // namespace softsgl
