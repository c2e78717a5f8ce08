#include "tests/oracle/oracle_scene.h"

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "bench/mesa_peer.h"
#include "host/png_writer.h"
#include "softsgl/softsgl_control.h"
#include "tests/support/test_support.h"

namespace oracle {
namespace {

// Texel bytes red, green, blue, transparency of a host colour, after the
// colour key: a colour equal to the key on all 32 bits is black and fully
// transparent.
uint32_t convertColour(uint32_t w, int keyMode, uint32_t keyColour) {
    if (keyMode == 1 && w == keyColour) return 0xFF000000u;
    uint32_t r = (w >> 16) & 0xFF, g = (w >> 8) & 0xFF, b = w & 0xFF, t = 255 - (w >> 24);
    return r | g << 8 | b << 16 | t << 24;
}

uint32_t mul255(uint32_t a, uint32_t b) {
    return (a * b * 2 + 255) / 510; // round(a b / 255)
}

uint32_t roundChannel(double c) {
    double r = std::floor(c + 0.5);
    return uint32_t(r < 0 ? 0 : r > 255 ? 255 : r);
}

uint16_t pack565(uint32_t r, uint32_t g, uint32_t b) {
    return uint16_t((r >> 3) << 11 | (g >> 2) << 5 | b >> 3);
}

void unpack565(uint16_t p, uint32_t& r, uint32_t& g, uint32_t& b) {
    uint32_t r5 = p >> 11, g6 = (p >> 5) & 63, b5 = p & 31;
    r = r5 << 3 | r5 >> 2;
    g = g6 << 2 | g6 >> 4;
    b = b5 << 3 | b5 >> 2;
}

// Where the exact result sits on a knife's edge the renderers may go either
// way: two depths within the hair, a texel coordinate that near a boundary,
// a vertex alpha that near 254.5 (255 is opaque and writes depth, 254 is
// not). Our renderer, which takes its planes from the vertices as sent, is
// held to float precision there: a tie. llvmpipe's planes are off by more:
// seen in random scenes, by as much as a value changes over 1/76 pixel
// (texel coordinates up to 0.02 from a boundary), as if taken from vertices
// snapped to 1/16 pixel. Moving a vertex by d moves a plane inside the
// triangle by at most its change over d, so a near tie allows the change over
// 1/16 pixel each way. A tie is always a near tie.
constexpr double kDepthHair = 2e-5, kTexelHair = 1e-3, kAlphaHair = 0.02;
// Our colours step along a span in 16.16 from its start, itself up to 2^-16
// low: then up to width - 1 steps of at most 2^-17 each.
double roundingHair(int width) {
    return (2 + width - 1) / double(1 << 17);
}
constexpr double kSnapReach = 2.0 / 256;
// Our texel coordinate is (u/w + i du/w) / (1/w) in float, each operation
// rounding to 2^-24 of its value; a span's start and its steps are no larger
// than twice the plane's largest value over the triangle (at a vertex). So
// it is within 2^-24 (6 |u/w|max / q + (6 qmax / q + 2) |u|) of exact, which
// grows with the coordinate and as 1/w shrinks (seen: over 1.3e-3 texels at
// 3,100 texels and 1/w 0.15).
constexpr double kFloatStep = 1.0 / (1 << 24);

// An attribute's plane over the screen: value at the origin and gradients.
struct Plane {
    double at0, dx, dy;
    // How far llvmpipe's planes may be off.
    double snapped() const { return (std::fabs(dx) + std::fabs(dy)) * kSnapReach; }
};

bool nearBoundary(double c, double hair) {
    return std::fabs(c - std::round(c)) < hair;
}

// A filtered sample: the four texels around sample position (x, y), given
// in 256ths of a texel as X = floor(256 x), wrapping, weighted by the
// fractions' 256ths; where opacity counts, by the texels' opacities too,
// the colours divided by the summed weight (halves up) and the opacity the
// filtered one.
struct Sample {
    uint32_t r, g, b, opacity;
};

int64_t floor256(int64_t X) {
    return X >= 0 ? X / 256 : -((255 - X) / 256);
}

// The texels (x0, y0), (x0 + 1, y0), (x0, y0 + 1) and (x0 + 1, y0 + 1).
struct Cell {
    uint32_t texel[4];
};

Cell cellAt(const ModelTexture& t, int64_t x0, int64_t y0) {
    const int64_t mask = t.side - 1;
    Cell c;
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 2; ++i)
            c.texel[j * 2 + i] = t.rgba[size_t(((y0 + j) & mask) * t.side + ((x0 + i) & mask))];
    return c;
}

// A cell's texels weighed at fractions fx, fy (0 to 255).
Sample weigh(const Cell& cell, uint64_t fx, uint64_t fy, bool opacityCounts) {
    uint64_t r = 0, g = 0, b = 0, weights = 0;
    for (int k = 0; k < 4; ++k) {
        const uint32_t texel = cell.texel[k];
        uint64_t w = ((k & 1) ? fx : 256 - fx) * ((k & 2) ? fy : 256 - fy);
        if (opacityCounts) w *= texel >> 24;
        weights += w;
        r += w * (texel & 0xFF);
        g += w * ((texel >> 8) & 0xFF);
        b += w * ((texel >> 16) & 0xFF);
    }
    if (!opacityCounts)
        return Sample{uint32_t((r + 32768) >> 16), uint32_t((g + 32768) >> 16),
                      uint32_t((b + 32768) >> 16), 255};
    if (weights == 0) return Sample{0, 0, 0, 0};
    return Sample{uint32_t((2 * r + weights) / (2 * weights)),
                  uint32_t((2 * g + weights) / (2 * weights)),
                  uint32_t((2 * b + weights) / (2 * weights)), uint32_t((weights + 32768) >> 16)};
}

Sample filteredSample(const ModelTexture& t, int64_t X, int64_t Y, bool opacityCounts) {
    const int64_t x0 = floor256(X), y0 = floor256(Y);
    return weigh(cellAt(t, x0, y0), uint64_t(X - 256 * x0), uint64_t(Y - 256 * y0), opacityCounts);
}

// The least and greatest of each channel and of the opacity of the
// filtered samples at positions X and Y in may[0] to may[1] and may[2] to
// may[3]. Within a texel cell a sample is bilinear in the two fractions
// (with opacity, its colours nearly so), so the extremes lie at the
// corners of the range cut at the cells' bounds; a range over several
// cells is taken as anything.
void sampleRange(const ModelTexture& t, const int64_t* may, bool opacityCounts, Sample& least,
                 Sample& most) {
    least = Sample{0, 0, 0, 0}, most = Sample{255, 255, 255, 255};
    if (may[1] - may[0] > 512 || may[3] - may[2] > 512) return;
    // The range's ends and the last and first position of each cell within.
    auto corners = [](int64_t a, int64_t b, int64_t* at) {
        int n = 0;
        at[n++] = a;
        for (int64_t cell = 256 * (floor256(a) + 1); cell <= b; cell += 256) {
            if (cell - 1 != a) at[n++] = cell - 1;
            if (cell != b) at[n++] = cell;
        }
        if (b != a) at[n++] = b;
        return n;
    };
    int64_t xs[8], ys[8];
    const int nx = corners(may[0], may[1], xs), ny = corners(may[2], may[3], ys);
    least = Sample{255, 255, 255, 255}, most = Sample{0, 0, 0, 0};
    int64_t cellX = 0, cellY = 0;
    Cell cell{};
    bool fetched = false;
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) {
            const int64_t x0 = floor256(xs[i]), y0 = floor256(ys[j]);
            if (!fetched || x0 != cellX || y0 != cellY)
                cell = cellAt(t, x0, y0), cellX = x0, cellY = y0, fetched = true;
            const Sample c =
                weigh(cell, uint64_t(xs[i] - 256 * x0), uint64_t(ys[j] - 256 * y0), opacityCounts);
            least = Sample{std::min(least.r, c.r), std::min(least.g, c.g), std::min(least.b, c.b),
                           std::min(least.opacity, c.opacity)};
            most = Sample{std::max(most.r, c.r), std::max(most.g, c.g), std::max(most.b, c.b),
                          std::max(most.opacity, c.opacity)};
        }
}

// What a pixel of that alpha does: nothing, blends, or is opaque.
int alphaClass(uint32_t alpha) {
    return alpha == 0 ? 0 : alpha == 255 ? 2 : 1;
}

} // namespace

HostVertex hv(double x, double y, double q, double u, double v, uint32_t colour) {
    float fq = float(q);
    return HostVertex{float(x), float(y), 1 - fq, fq, float(u * q), float(v * q), colour};
}

std::vector<ModelTexture> modelTextures(const Scene& s) {
    std::vector<ModelTexture> out(s.images.size());
    int keyMode = s.startKeyMode;
    uint32_t keyColour = s.startKeyColour;
    std::vector<uint32_t> global(256, 0);
    for (size_t i = 0; i < s.globalPalette.size() && i < 256; ++i)
        global[i] = convertColour(s.globalPalette[i], keyMode, keyColour);
    for (const Step& st : s.steps) {
        if (st.keyMode >= 0) keyMode = st.keyMode, keyColour = st.keyColour;
        if (st.texture < 0 || out[size_t(st.texture)].side) continue;
        // First selection: converted under the key in force now.
        const HostImage& im = s.images[size_t(st.texture)];
        ModelTexture& t = out[size_t(st.texture)];
        const size_t n = size_t(im.side) * size_t(im.side);
        std::vector<uint32_t> texels(n);
        bool translucentMap = false;
        if (im.format == 0) {
            std::vector<uint32_t> own(256);
            for (size_t i = 0; i < im.palette.size() && i < 256; ++i)
                own[i] = convertColour(im.palette[i], keyMode, keyColour);
            const std::vector<uint32_t>& palette = im.palette.empty() ? global : own;
            for (size_t i = 0; i < n; ++i)
                texels[i] = palette[im.pixels[i]];
            if (keyMode == 1)
                for (uint32_t x : texels)
                    translucentMap = translucentMap || (x >> 24) != 0;
        } else {
            const int bytes = im.format == 1 ? 4 : 3;
            for (size_t i = 0; i < n; ++i) {
                const uint8_t* p = &im.pixels[i * size_t(bytes)];
                uint32_t alpha = im.format == 1 ? p[3] : 255;
                texels[i] = p[2] | uint32_t(p[1]) << 8 | uint32_t(p[0]) << 16 | (255 - alpha) << 24;
            }
            translucentMap = im.format == 1;
        }
        t.side = im.side;
        t.rgba.resize(n);
        for (size_t i = 0; i < n; ++i) {
            uint32_t transparency = texels[i] >> 24;
            t.anyTransparent = t.anyTransparent || (translucentMap && transparency != 0);
            t.rgba[i] = (texels[i] & 0xFFFFFF) | (translucentMap ? 255 - transparency : 255) << 24;
        }
    }
    return out;
}

bool drawnOpaque(const Step& st, size_t k, const std::vector<ModelTexture>& textures) {
    if (st.blendMode != 1) return true;
    for (size_t i : {size_t(0), k, k + 1})
        if ((st.fan[i].colour >> 24) != 0xFF) return false;
    return st.texture < 0 || !textures[size_t(st.texture)].anyTransparent;
}

// The triangles of every step in drawing order: the opaque ones, then the
// translucent ones, each in queue order.
std::vector<Triangle> drawingOrder(const Scene& s, const std::vector<ModelTexture>& textures) {
    std::vector<Triangle> order;
    for (int pass = 0; pass < 2; ++pass)
        for (const Step& st : s.steps)
            for (size_t k = 1; k + 1 < st.fan.size(); ++k)
                if (drawnOpaque(st, k, textures) == (pass == 0))
                    order.push_back(Triangle{&st, k, pass == 1});
    return order;
}

Scene scaledBy(const Scene& s, int n) {
    Scene big = s;
    big.scale = s.scale * n;
    for (Step& st : big.steps)
        for (HostVertex& v : st.fan)
            v.x *= float(n), v.y *= float(n);
    return big;
}

std::vector<uint16_t> drawnByTheDriver(const Scene& s) {
    std::vector<uint16_t> out(size_t(kWidth) * kHeight);
    if (Init() != 1) return out;
    softsglSetFilter(s.filtered ? 1 : 0);
    softsglSetAntialias(s.antialias);
    ssChromaKey(s.startKeyMode, s.startKeyColour);
    if (!s.globalPalette.empty()) LoadPalette(s.globalPalette.data());
    std::vector<TextureRecord*> textures;
    for (const HostImage& im : s.images)
        textures.push_back(LoadTexture(im.pixels.data(), im.side, im.side, 0, im.format, 0,
                                       im.palette.empty() ? nullptr : im.palette.data()));
    for (const Step& st : s.steps) {
        if (st.keyMode >= 0) ssChromaKey(st.keyMode, st.keyColour);
        ssAlphaBlend(st.blendMode);
        SelectTexture(st.texture < 0 ? nullptr : textures[size_t(st.texture)]);
        DrawPrimitive(st.fan.data(), int32_t(st.fan.size()));
    }
    PageFlip();
    std::vector<uint8_t> bgr(size_t(kWidth) * kHeight * 3);
    BltFromCard(bgr.data(), 0, 0, kWidth, kHeight, kWidth * 3, 2);
    ResetTextures(); // the records: a process draws many scenes
    Shutdown();
    softsglSetFilter(-1);
    softsglSetAntialias(-1);
    // The read-back widens 565 by shifting (low bits zero); rows bottom-up.
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const uint8_t* p = &bgr[(size_t(kHeight - 1 - y) * kWidth + size_t(x)) * 3];
            out[size_t(y) * kWidth + size_t(x)] = pack565(p[2], p[1], p[0]);
        }
    return out;
}

std::vector<uint16_t> drawnByMesa(const Scene& s) {
    const std::vector<ModelTexture> model = modelTextures(s);
    // Filtered, a translucent triangle weighs its map's texels by their
    // opacity (none counts less than opaque in a map without a transparent
    // texel): it samples the map premultiplied.
    std::vector<unsigned> textures, premultiplied;
    const PeerSampling sampling = s.filtered ? PeerSampling::Linear : PeerSampling::Nearest;
    for (const ModelTexture& t : model) {
        textures.push_back(t.side ? mesaTexture(t.rgba.data(), t.side, PeerTexels::Rgba, sampling)
                                  : 0);
        premultiplied.push_back(s.filtered && t.anyTransparent
                                    ? mesaTexture(t.rgba.data(), t.side, PeerTexels::Rgba,
                                                  PeerSampling::LinearPremultiplied)
                                    : 0);
    }
    mesaClear();
    auto draw = [&](const Triangle& t, PeerPass pass) {
        const int texture = t.step->texture;
        unsigned name = texture < 0 ? 0 : textures[size_t(texture)];
        if (texture >= 0 && t.translucent && premultiplied[size_t(texture)])
            name = premultiplied[size_t(texture)];
        mesaState(name, pass);
        SGLVERTEX v[3]; // as the driver hands them to SGL
        for (int i = 0; i < 3; ++i) {
            const HostVertex& h = t.step->fan[i == 0 ? 0 : t.k + size_t(i) - 1];
            v[i] = SGLVERTEX{h.x, h.y, h.z, h.invW, h.colour, 0, h.u, h.v};
        }
        mesaFan(v, 3);
    };
    // Opaque triangles first, then the translucent ones in order, each as
    // its opaque fragments and then its partial ones.
    for (const Triangle& t : drawingOrder(s, model)) {
        if (!t.translucent) {
            draw(t, PeerPass::Opaque);
            continue;
        }
        draw(t, PeerPass::OpaqueFragments);
        draw(t, PeerPass::PartialFragments);
    }
    mesaFinish();
    for (const std::vector<unsigned>* names : {&textures, &premultiplied})
        for (unsigned t : *names)
            if (t) mesaDeleteTexture(t);
    return mesaRead565();
}

// Per pixel centre, barycentric weights in double from the vertices as
// sent; the drawing rules applied exactly: depth test on 1/w, colours
// rounded to 8 bits, the texel picked and modulated, alpha per pixel under
// blending (opaque, blended without depth, or nothing).
Exact exactResult(const Scene& s) {
    const int width = kWidth * s.scale, height = kHeight * s.scale;
    const double roundingReach = roundingHair(width);
    const size_t pixels = size_t(width) * size_t(height);
    // KX_ORACLE_PIXEL=x,y prints what the exact model draws there.
    size_t watched = pixels;
    if (const char* at = std::getenv("KX_ORACLE_PIXEL")) {
        int x = 0, y = 0;
        if (std::sscanf(at, "%d,%d", &x, &y) == 2 && x >= 0 && y >= 0 && x < width && y < height)
            watched = size_t(y) * size_t(width) + size_t(x);
    }
    Exact e{std::vector<uint16_t>(pixels, 0), std::vector<uint8_t>(pixels, 0),
            std::vector<uint8_t>(pixels, 0)};
    std::vector<double> depth(pixels, -INFINITY);
    std::vector<bool> halfWayBelow(pixels, false); // what a blend goes over rounded half way
    std::vector<double> nearestTie(pixels, -INFINITY);
    const std::vector<ModelTexture> model = modelTextures(s);
    for (const Triangle& tri : drawingOrder(s, model)) {
        const Step& st = *tri.step;
        const bool translucent = tri.translucent;
        const ModelTexture* tex = st.texture < 0 ? nullptr : &model[size_t(st.texture)];
        const HostVertex* t[3] = {&st.fan[0], &st.fan[tri.k], &st.fan[tri.k + 1]};
        const double area = (double(t[1]->x) - t[0]->x) * (double(t[2]->y) - t[0]->y) -
                            (double(t[1]->y) - t[0]->y) * (double(t[2]->x) - t[0]->x);
        if (area == 0) continue;
        // The triangle's heights over the sides opposite vertices 1 and 2:
        // the sides from vertex 0 that are diagonals inside the fan.
        double heightOver[3] = {0, 0, 0};
        for (int i = 1; i < 3; ++i)
            heightOver[i] = std::fabs(area) / std::hypot(double(t[3 - i]->x) - t[0]->x,
                                                         double(t[3 - i]->y) - t[0]->y);
        // l_i = (a_i px + b_i py + c_i) / area for the edge opposite vertex i.
        double a[3], b[3], c[3];
        for (int i = 0; i < 3; ++i) {
            const HostVertex &p = *t[(i + 1) % 3], &q = *t[(i + 2) % 3];
            a[i] = -(double(q.y) - p.y) / area;
            b[i] = (double(q.x) - p.x) / area;
            c[i] = -(a[i] * p.x + b[i] * p.y);
        }
        auto plane = [&](auto f) {
            const double f0 = f(*t[0]), f1 = f(*t[1]), f2 = f(*t[2]);
            return Plane{f0 * c[0] + f1 * c[1] + f2 * c[2], f0 * a[0] + f1 * a[1] + f2 * a[2],
                         f0 * b[0] + f1 * b[1] + f2 * b[2]};
        };
        const Plane pq = plane([](const HostVertex& h) { return double(h.invW); });
        const Plane pu = plane([](const HostVertex& h) { return double(h.u); });
        const Plane pv = plane([](const HostVertex& h) { return double(h.v); });
        const Plane pa = plane([](const HostVertex& h) { return double(h.colour >> 24); });
        double largestQ = 0, largestU = 0, largestV = 0; // u and v over w in texels
        for (const HostVertex* h : t) {
            largestQ = std::max(largestQ, std::fabs(double(h->invW)));
            largestU = std::max(largestU, std::fabs(double(h->u)) * (tex ? tex->side : 0));
            largestV = std::max(largestV, std::fabs(double(h->v)) * (tex ? tex->side : 0));
        }
        const double minY = std::min({t[0]->y, t[1]->y, t[2]->y});
        const double maxY = std::max({t[0]->y, t[1]->y, t[2]->y});
        const int y0 = std::max(0, int(std::floor(minY - 0.5)));
        const int y1 = std::min(height - 1, int(std::ceil(maxY)));
        for (int y = y0; y <= y1; ++y) {
            const double py = y + 0.5;
            // The columns where every weight is >= 0, from each edge's bound.
            double lo = -1, hi = width;
            bool empty = false;
            for (int i = 0; i < 3; ++i) {
                double rest = b[i] * py + c[i];
                if (a[i] > 0)
                    lo = std::max(lo, -rest / a[i]);
                else if (a[i] < 0)
                    hi = std::min(hi, -rest / a[i]);
                else if (rest < 0)
                    empty = true;
            }
            if (empty) continue;
            const int x0 = std::max(0, int(std::floor(lo - 0.5)));
            const int x1 = std::min(width - 1, int(std::ceil(hi - 0.5)));
            for (int x = x0; x <= x1; ++x) {
                const double px = x + 0.5;
                double l[3];
                for (int i = 0; i < 3; ++i)
                    l[i] = a[i] * px + b[i] * py + c[i];
                if (l[0] < 0 || l[1] < 0 || l[2] < 0) continue;
                auto mix = [&](auto f) {
                    return l[0] * f(*t[0]) + l[1] * f(*t[1]) + l[2] * f(*t[2]);
                };
                const size_t i = size_t(y) * size_t(width) + size_t(x);
                const double q = mix([](const HostVertex& v) { return double(v.invW); });
                // Ties of this fragment: texel coordinates and vertex alpha
                // are looked at only where they count.
                double u = 0.5, v = 0.5, va = 0;
                uint8_t sampleTie = 0; // filtered: where the sample may go another way
                auto ourHair = [&](double largest, double c) {
                    return kTexelHair +
                           kFloatStep * (6 * largest / q + (6 * largestQ / q + 2) * std::fabs(c));
                };
                // A texel coordinate is side (u/w) / (1/w): its change over
                // the screen, from both planes.
                auto texelPlane = [&](const Plane& p, double c) {
                    const double over = c / tex->side; // (u/w) / (1/w)
                    return Plane{0, tex->side * (p.dx - over * pq.dx) / q,
                                 tex->side * (p.dy - over * pq.dy) / q};
                };
                auto ties = [&] {
                    const double gap = std::fabs(q - depth[i]);
                    const double alphaGap = std::fabs(va - 254.5);
                    // Filtered, a texel boundary is no knife's edge.
                    const bool nearest = tex && !s.filtered;
                    bool tie = gap <= kDepthHair || alphaGap < kAlphaHair ||
                               (nearest && (nearBoundary(u, ourHair(largestU, u)) ||
                                            nearBoundary(v, ourHair(largestV, v))));
                    bool nearTie = tie || gap <= kDepthHair + pq.snapped() ||
                                   alphaGap < kAlphaHair + pa.snapped();
                    if (nearest)
                        nearTie = nearTie ||
                                  nearBoundary(u, kTexelHair + texelPlane(pu, u).snapped()) ||
                                  nearBoundary(v, kTexelHair + texelPlane(pv, v).snapped());
                    return uint8_t((tie ? kTieBit : 0) | (nearTie ? kNearTieBit : 0) | sampleTie);
                };
                // A tie sticks to the pixel until an opaque fragment nearer
                // than every tied one covers it: a tied fragment might have
                // been drawn, and opaque, written its depth.
                auto addTie = [&](uint8_t bits) {
                    if (!bits) return;
                    e.tie[i] |= bits;
                    nearestTie[i] = std::max(nearestTie[i], q);
                };
                if (!(q >= depth[i])) {
                    addTie(ties()); // a depth tie: it might have passed
                    continue;
                }
                // A colour or alpha half way between two 8-bit values may
                // round either way, and a pixel within a pixel of a diagonal
                // inside the fan may fall to the neighbouring triangle, whose
                // colours there differ a little; such a pixel may differ by a
                // step, and a blend over it can make that two.
                bool halfWay = (tri.k > 1 && l[2] * heightOver[2] < 1) ||
                               (tri.k + 2 < st.fan.size() && l[1] * heightOver[1] < 1);
                auto rounded = [&](double c) {
                    halfWay = halfWay || std::fabs(c - std::floor(c) - 0.5) < roundingReach;
                    return roundChannel(c);
                };
                auto channel = [&](int shift) {
                    return rounded(mix([shift](const HostVertex& v) {
                        return double((v.colour >> shift) & 0xFF);
                    }));
                };
                uint32_t r = channel(16), g = channel(8), bl = channel(0), alpha = 255;
                uint32_t opacity = 255;
                // Filtered: the sample positions, in 256ths of a texel, that
                // ours (float) and llvmpipe (coarser planes, weights of its
                // own) may take instead of the exact one; x from, x to, y
                // from, y to.
                int64_t oursMay[4] = {0, 0, 0, 0}, mesaMay[4] = {0, 0, 0, 0};
                Sample oursLeast{}, oursMost{}, mesaLeast{}, mesaMost{}; // the samples there
                if (tex) {
                    u = mix([](const HostVertex& h) { return double(h.u); }) / q * tex->side;
                    v = mix([](const HostVertex& h) { return double(h.v); }) / q * tex->side;
                }
                if (tex && s.filtered) {
                    const double x = (u - 0.5) * 256, y = (v - 0.5) * 256;
                    const Sample f = filteredSample(*tex, int64_t(std::floor(x)),
                                                    int64_t(std::floor(y)), translucent);
                    const uint32_t vertexR = r, vertexG = g, vertexB = bl;
                    r = mul255(r, f.r);
                    g = mul255(g, f.g);
                    bl = mul255(bl, f.b);
                    opacity = f.opacity;
                    const double ourX = 256 * ourHair(largestU, u),
                                 ourY = 256 * ourHair(largestV, v);
                    const double mesaX = ourX + 256 * texelPlane(pu, u).snapped(),
                                 mesaY = ourY + 256 * texelPlane(pv, v).snapped();
                    auto from = [](double c, double hair) { return int64_t(std::floor(c - hair)); };
                    auto to = [](double c, double hair) { return int64_t(std::floor(c + hair)); };
                    oursMay[0] = from(x, ourX), oursMay[1] = to(x, ourX);
                    oursMay[2] = from(y, ourY), oursMay[3] = to(y, ourY);
                    mesaMay[0] = from(x, mesaX) - 1, mesaMay[1] = to(x, mesaX) + 1;
                    mesaMay[2] = from(y, mesaY) - 1, mesaMay[3] = to(y, mesaY) + 1;
                    // Where ours may take another position whose colours or
                    // opacity differ, the pixel may be a step off: a blend
                    // over it two.
                    sampleRange(*tex, oursMay, translucent, oursLeast, oursMost);
                    halfWay = halfWay || oursLeast.r != oursMost.r || oursLeast.g != oursMost.g ||
                              oursLeast.b != oursMost.b || oursLeast.opacity != oursMost.opacity;
                    // llvmpipe's colours there, a unit more either way for
                    // its own weights, packed by dropping bits or rounding:
                    // where they may be two steps from ours, a near tie.
                    sampleRange(*tex, mesaMay, translucent, mesaLeast, mesaMost);
                    auto twoStepsAway = [](uint32_t ours, uint32_t least, uint32_t most, int bits) {
                        const int top = (1 << bits) - 1, at = int(ours >> (8 - bits));
                        const int low = int(least > 0 ? least - 1 : 0) >> (8 - bits);
                        const int high = (int(std::min(most + 1, 255u)) * top * 2 + 255) / 510;
                        return low < at - 1 || high > at + 1;
                    };
                    if (twoStepsAway(r, mul255(vertexR, mesaLeast.r), mul255(vertexR, mesaMost.r),
                                     5) ||
                        twoStepsAway(g, mul255(vertexG, mesaLeast.g), mul255(vertexG, mesaMost.g),
                                     6) ||
                        twoStepsAway(bl, mul255(vertexB, mesaLeast.b), mul255(vertexB, mesaMost.b),
                                     5))
                        sampleTie = kNearTieBit;
                } else if (tex) {
                    const int64_t mask = tex->side - 1;
                    const uint32_t texel =
                        tex->rgba[size_t((int64_t(std::floor(v)) & mask) * tex->side +
                                         (int64_t(std::floor(u)) & mask))];
                    r = mul255(r, texel & 0xFF);
                    g = mul255(g, (texel >> 8) & 0xFF);
                    bl = mul255(bl, (texel >> 16) & 0xFF);
                    opacity = texel >> 24;
                }
                if (translucent) {
                    const double a =
                        mix([](const HostVertex& h) { return double(h.colour >> 24); });
                    if (opacity == 255) va = a;
                    const uint32_t vertexAlpha = rounded(a);
                    alpha = mul255(vertexAlpha, opacity);
                    // Filtered, the opacity varies between the positions the
                    // renderers may take: where it crosses a threshold
                    // (nothing, blended, opaque), either may go either way.
                    auto straddles = [&](const Sample& least, const Sample& most) {
                        return alphaClass(mul255(vertexAlpha, least.opacity)) !=
                               alphaClass(mul255(vertexAlpha, most.opacity));
                    };
                    if (tex && s.filtered && straddles(oursLeast, oursMost))
                        sampleTie |= kTieBit | kNearTieBit | kOpacityTieBit;
                    else if (tex && s.filtered && straddles(mesaLeast, mesaMost))
                        sampleTie |= kNearTieBit | kOpacityTieBit;
                }
                uint8_t tie = ties();
                if (watched == i)
                    std::printf("pixel %d, %d: step %td triangle %zu, 1/w %.9g, colour %u %u %u, "
                                "alpha %u, ties %u, texel %.6f %.6f\n",
                                x, y, tri.step - s.steps.data(), tri.k, q, r, g, bl, alpha, tie, u,
                                v);
                if (alpha == 0) {
                    addTie(tie); // another texel or alpha might have drawn
                    continue;
                }
                if (alpha == 255) {
                    e.pixels[i] = pack565(r, g, bl);
                    depth[i] = q;
                    if (q > nearestTie[i]) e.tie[i] = 0, nearestTie[i] = -INFINITY;
                    addTie(tie);
                    e.layers[i] = 0;
                    halfWayBelow[i] = halfWay;
                    continue;
                }
                if (halfWayBelow[i]) tie |= kTieBit | kNearTieBit;
                halfWayBelow[i] = halfWayBelow[i] || halfWay;
                e.layers[i] = uint8_t(std::min(e.layers[i] + 1, 255));
                e.pixels[i] = blend565(r << 16 | g << 8 | bl, e.pixels[i], alpha);
                addTie(tie);
            }
        }
    }
    return e;
}

std::vector<bool> edgePixels(const Scene& s) {
    using Segment = std::array<float, 4>;
    std::map<Segment, int> uses;
    std::vector<Segment> inner; // inside a fan, yet where pixels go either way
    auto key = [](const HostVertex& a, const HostVertex& b) {
        Segment k{a.x, a.y, b.x, b.y}, r{b.x, b.y, a.x, a.y};
        return std::min(k, r);
    };
    auto full = [](const Step& st, size_t k) {
        return (st.fan[0].colour & st.fan[k].colour & st.fan[k + 1].colour) >> 24 == 0xFF;
    };
    auto sameAlpha = [](const Step& st) {
        for (const HostVertex& v : st.fan)
            if (v.colour >> 24 != st.fan[0].colour >> 24) return false;
        return true;
    };
    for (const Step& st : s.steps) {
        const size_t n = st.fan.size();
        for (size_t i = 0; i < n; ++i)
            ++uses[key(st.fan[i], st.fan[(i + 1) % n])];
        for (size_t k = 1; k + 1 < n; ++k) {
            const HostVertex &a = st.fan[0], &b = st.fan[k], &c = st.fan[k + 1];
            // Under blending, triangles of one fan drawn in different passes,
            // or whose alphas differ: their planes of alpha meet at an angle,
            // and where one rounds to 255 (opaque, depth written) the other
            // may not.
            if (st.blendMode == 1 && k + 2 < n &&
                (full(st, k) != full(st, k + 1) || !sameAlpha(st)))
                inner.push_back(key(a, c));
            // A triangle under two pixels thin: a pixel on it may fall to it
            // or a neighbour, whose planes there differ by a steep gradient.
            double area2 = std::fabs((double(b.x) - a.x) * (double(c.y) - a.y) -
                                     (double(b.y) - a.y) * (double(c.x) - a.x));
            double longest = std::max({std::hypot(double(b.x) - a.x, double(b.y) - a.y),
                                       std::hypot(double(c.x) - b.x, double(c.y) - b.y),
                                       std::hypot(double(a.x) - c.x, double(a.y) - c.y)});
            if (area2 < 2 * longest)
                for (Segment e : {key(a, b), key(b, c), key(c, a)})
                    inner.push_back(e);
        }
    }
    for (const auto& [k, n] : uses)
        if (n == 1) inner.push_back(k); // an outline (shared by two fans: inside a surface)
    const int width = kWidth * s.scale, height = kHeight * s.scale;
    std::vector<bool> edge(size_t(width) * size_t(height), false);
    for (const Segment& k : inner) {
        double ax = k[0], ay = k[1], dx = k[2] - ax, dy = k[3] - ay, len2 = dx * dx + dy * dy;
        int x0 = std::max(0, int(std::floor(std::min(k[0], k[2]))) - 2);
        int x1 = std::min(width - 1, int(std::ceil(std::max(k[0], k[2]))) + 2);
        int y0 = std::max(0, int(std::floor(std::min(k[1], k[3]))) - 2);
        int y1 = std::min(height - 1, int(std::ceil(std::max(k[1], k[3]))) + 2);
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                double px = x + 0.5 - ax, py = y + 0.5 - ay;
                double t = len2 > 0 ? std::clamp((px * dx + py * dy) / len2, 0.0, 1.0) : 0.0;
                double ex = px - t * dx, ey = py - t * dy;
                if (ex * ex + ey * ey <= 1.0) edge[size_t(y) * size_t(width) + size_t(x)] = true;
            }
    }
    return edge;
}

std::vector<uint16_t> resolved(const std::vector<uint16_t>& samples, int n) {
    const std::vector<uint32_t> average = boxAveraged(samples, kWidth, kHeight, n, false);
    std::vector<uint16_t> out(average.size());
    for (size_t i = 0; i < average.size(); ++i)
        out[i] = to565(average[i]);
    return out;
}

namespace {

// Each pixel's samples, as indices into the larger frame.
template <typename F> void forEachSample(int n, F f) {
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            for (int j = 0; j < n; ++j)
                for (int i = 0; i < n; ++i)
                    f(size_t(y) * kWidth + size_t(x),
                      size_t(y * n + j) * size_t(kWidth * n) + size_t(x * n + i));
}

} // namespace

Exact resolved(const Exact& samples, int n) {
    const size_t pixels = size_t(kWidth) * kHeight;
    Exact e{resolved(samples.pixels, n), std::vector<uint8_t>(pixels, 0),
            std::vector<uint8_t>(pixels, 0)};
    forEachSample(n, [&](size_t pixel, size_t sample) {
        e.tie[pixel] |= samples.tie[sample];
        e.layers[pixel] = std::max(e.layers[pixel], samples.layers[sample]);
    });
    return e;
}

std::vector<bool> resolved(const std::vector<bool>& edgeSamples, int n) {
    std::vector<bool> edge(size_t(kWidth) * kHeight, false);
    forEachSample(n, [&](size_t pixel, size_t sample) {
        if (edgeSamples[sample]) edge[pixel] = true;
    });
    return edge;
}

namespace {

// The larger channel difference of two 565 pixels, in steps of that channel.
int stepsApart(uint16_t a, uint16_t b) {
    int r = std::abs((a >> 11) - (b >> 11)), g = std::abs(((a >> 5) & 63) - ((b >> 5) & 63)),
        bl = std::abs((a & 31) - (b & 31));
    return std::max({r, g, bl});
}

void rgb565(uint16_t p, uint8_t* out) {
    uint32_t r, g, b;
    unpack565(p, r, g, b);
    out[0] = uint8_t(r), out[1] = uint8_t(g), out[2] = uint8_t(b);
}

} // namespace

Comparison compare(const std::vector<uint16_t>& ours, const std::vector<uint16_t>& mesa,
                   const Exact& exact, const std::vector<bool>& edge) {
    Comparison c;
    for (size_t i = 0; i < ours.size(); ++i) {
        if (edge[i]) continue;
        ++c.interior;
        // Mesa's 565 blending truncates where the rules round: one step
        // more for each layer blended over the pixel.
        const int mesaSteps = 1 + int(exact.layers[i]);
        const int apart = stepsApart(ours[i], mesa[i]);
        c.oursMesa += apart > mesaSteps;
        c.ties += exact.tie[i] != 0;
        c.opacityTies += (exact.tie[i] & kOpacityTieBit) != 0;
        if (!(exact.tie[i] & kTieBit)) c.oursExact += stepsApart(ours[i], exact.pixels[i]) > 1;
        if (exact.tie[i] & kNearTieBit) continue;
        c.oursMesaOffTies += apart > mesaSteps;
        c.largestStep = std::max(c.largestStep, apart);
        c.mesaExact += stepsApart(mesa[i], exact.pixels[i]) > mesaSteps;
    }
    return c;
}

std::string writeFailureFiles(const std::string& stem, const std::vector<uint16_t>& ours,
                              const std::vector<uint16_t>& mesa, const Exact& exact,
                              const std::vector<bool>& edge, const std::string& draws) {
    const std::string dir = KX_ORACLE_FAILURE_DIR;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    std::vector<uint8_t> both(size_t(kWidth) * 2 * kHeight * 3), diff(size_t(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            size_t i = size_t(y) * kWidth + size_t(x);
            rgb565(ours[i], &both[(size_t(y) * kWidth * 2 + size_t(x)) * 3]);
            rgb565(mesa[i], &both[(size_t(y) * kWidth * 2 + kWidth + size_t(x)) * 3]);
            uint8_t* d = &diff[i * 3];
            rgb565(ours[i], d);
            for (int c = 0; c < 3; ++c)
                d[c] = uint8_t(d[c] / 4);
            if (edge[i]) {
                d[2] = 160;
                continue;
            }
            // Red where a pixel counts against us, yellow where a tie excuses it.
            const bool fromMesa = stepsApart(ours[i], mesa[i]) > 1 + int(exact.layers[i]);
            const bool fromExact = stepsApart(ours[i], exact.pixels[i]) > 1;
            if (!fromMesa && !fromExact) continue;
            const bool counted = (fromMesa && !(exact.tie[i] & kNearTieBit)) ||
                                 (fromExact && !(exact.tie[i] & kTieBit));
            d[0] = 255, d[1] = counted ? 0 : 255, d[2] = 0;
        }
    const std::string sideBySide = dir + "/" + stem + "-ours-mesa.png";
    const std::string diffPath = dir + "/" + stem + "-diff.png";
    std::string error, note;
    bool ok = writePng(sideBySide, kWidth * 2, kHeight, both.data(), kWidth * 6, error) &&
              writePng(diffPath, kWidth, kHeight, diff.data(), kWidth * 3, error);
    if (!ok) return "(could not write the images: " + error + ")";
    note = "\n  ours | Mesa: " + sideBySide + "\n  difference: " + diffPath;
    if (!draws.empty()) {
        const std::string listPath = dir + "/" + stem + "-draws.txt";
        if (FILE* f = std::fopen(listPath.c_str(), "w")) {
            std::fputs(draws.c_str(), f);
            std::fclose(f);
            note += "\n  draw list: " + listPath;
        }
    }
    return note;
}

std::string drawList(const Scene& s) {
    std::string out;
    char line[256];
    auto add = [&](const char* format, auto... args) {
        std::snprintf(line, sizeof line, format, args...);
        out += line;
    };
    static const char* const formats[] = {"indexed", "8888", "888"};
    add("scene %s: %zu images, %zu steps%s\n", s.name.c_str(), s.images.size(), s.steps.size(),
        s.filtered ? ", filtered" : "");
    if (s.antialias != 1 || s.scale != 1)
        add("%d x %d samples a pixel, positions times %d\n", s.antialias, s.antialias, s.scale);
    add("start: ssChromaKey(%d, 0x%08" PRIx32 "), %s\n", s.startKeyMode, s.startKeyColour,
        s.globalPalette.empty() ? "no global palette" : "LoadPalette(global palette)");
    for (size_t i = 0; i < s.images.size(); ++i) {
        const HostImage& im = s.images[i];
        add("image %zu: %d x %d %s%s\n", i, im.side, im.side, formats[im.format % 3],
            im.format == 0 ? (im.palette.empty() ? ", global palette" : ", own palette") : "");
    }
    for (size_t i = 0; i < s.steps.size(); ++i) {
        const Step& st = s.steps[i];
        add("step %zu:", i);
        if (st.keyMode >= 0) add(" ssChromaKey(%d, 0x%08" PRIx32 ");", st.keyMode, st.keyColour);
        add(" ssAlphaBlend(%d); texture %d; %zu vertices (x y 1/w u/w v/w colour):\n", st.blendMode,
            st.texture, st.fan.size());
        for (const HostVertex& v : st.fan)
            add("  %.9g %.9g %.9g %.9g %.9g 0x%08" PRIx32 "\n", double(v.x), double(v.y),
                double(v.invW), double(v.u), double(v.v), v.colour);
    }
    return out;
}

} // namespace oracle
