// Mesa as an oracle: a handful of scenes drawn through the driver's exports
// (read back with BltFromCard) and with OpenGL on llvmpipe, which nobody
// here wrote. Interior pixels must agree within one 565 step, up to a small
// count per scene; pixels within a pixel of a silhouette edge differ by fill
// rule and are not counted. Opaque scenes are also compared with the exact
// result, computed per pixel in double precision from the vertices as sent.
// On a failure the test writes side-by-side and difference images.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <vector>

#include "api/kxapi.h"
#include "host/png_writer.h"
#include "bench/mesa_peer.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

struct HostImage {
    int side;
    uint32_t format;             // 1: 8888 (blue, green, red, alpha), 2: 888
    std::vector<uint8_t> pixels; // side x side
};

// One DrawPrimitive call and the blending mode it is drawn under.
struct Step {
    int blendMode;
    int texture; // index into the scene's images, -1: none
    std::vector<HostVertex> fan;
};

struct Scene {
    const char* name;
    std::vector<HostImage> images;
    std::vector<Step> steps;
    bool opaque; // all steps with blending off: compared with the exact result too
    // Interior pixels that may differ from Mesa by more than one step: only
    // at texel-boundary ties, where the last float rounding picks the texel
    // (the floors hit boundaries exactly: 218 and 557 such pixels here).
    int allowedMesa;
};

uint32_t hash(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    return x ^ (x >> 16);
}

// Checks of `check` texels with a grain, so that neighbouring texels differ
// and a texel picked wrongly shows.
HostImage grainyChecks(int side, int check, uint32_t format, bool opaqueTexels = false) {
    HostImage im{side, format, {}};
    int bytes = format == 1 ? 4 : 3;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            uint32_t base = ((x / check + y / check) & 1) ? 0xE0 : 0x40;
            uint32_t c = base + (hash(uint32_t(y * side + x)) & 0x1F);
            uint8_t px[4] = {uint8_t(c / 2), uint8_t(c * 3 / 4), uint8_t(c),
                             uint8_t(opaqueTexels  ? 0xFF
                                     : format == 1 ? 0x80 + (x & 0x7F)
                                                   : 0)};
            im.pixels.insert(im.pixels.end(), px, px + bytes);
        }
    return im;
}

HostVertex hv(double x, double y, double q, double u, double v, uint32_t colour = 0xFFFFFFFF) {
    float fq = float(q);
    return HostVertex{float(x), float(y), 1 - fq, fq, float(u * q), float(v * q), colour};
}

// A quad whose 1/w and texture coordinates are given per corner.
Step quad(int blend, int texture, std::initializer_list<HostVertex> corners) {
    return Step{blend, texture, corners};
}

// A floor seen from above it, from world depth 1 to the horizon: screen
// y = 150 + 330 / Z and x = 320 + 300 X / Z, so 1/w = 1 / Z; one texture
// width per 4 world units. Rows grow geometrically towards the horizon.
Scene checkerFloor() {
    Scene s{"checker_floor", {grainyChecks(64, 8, 2)}, {}, true, 300};
    auto at = [](double X, double Z) {
        return hv(320 + 300 * X / Z, 150 + 330 / Z, 1 / Z, X / 4, Z / 4);
    };
    for (int j = 0; j < 16; ++j) {
        double z0 = std::pow(1.25, j), z1 = std::pow(1.25, j + 1);
        for (int i = -8; i < 8; ++i)
            s.steps.push_back(quad(0, 0, {at(i, z0), at(i + 1, z0), at(i + 1, z1), at(i, z1)}));
    }
    return s;
}

// The benchmark's frame: 500 Gouraud-shaded quads of a receding floor.
Scene benchmarkGrid() {
    Scene s{"benchmark_grid", {grainyChecks(256, 32, 2)}, {}, true, 700};
    auto at = [](int i, int j) {
        float x = float(i) * kWidth / 25, y = float(j) * kHeight / 20;
        float q = 0.2f + 0.8f * y / kHeight;
        uint32_t grey = 128 + hash(uint32_t(j * 97 + i)) % 128;
        return HostVertex{x,
                          y,
                          1.0f - q,
                          q,
                          (x - kWidth / 2) / 160.0f,
                          2.0f,
                          0xFF000000u | grey << 16 | grey << 8 | grey};
    };
    for (int j = 0; j < 20; ++j)
        for (int i = 0; i < 25; ++i)
            s.steps.push_back(quad(0, 0, {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)}));
    return s;
}

// Blending off: overlapping 8888 quads (translucent maps) drawn near first,
// then far, then near again elsewhere; each slants in depth.
Scene opaque8888() {
    Scene s{"opaque_8888_overlap", {grainyChecks(64, 8, 1), grainyChecks(32, 4, 1)}, {}, true, 10};
    s.steps.push_back(quad(0, 0,
                           {hv(60.3, 50.7, 0.9, 0, 0), hv(330.1, 70.2, 0.7, 2, 0),
                            hv(310.6, 300.4, 0.7, 2, 2), hv(80.9, 280.8, 0.9, 0, 2)}));
    s.steps.push_back(quad(0, 1,
                           {hv(200.2, 150.1, 0.3, -1.3, 0.2), hv(560.7, 160.3, 0.45, 1.7, 0.2),
                            hv(590.4, 420.6, 0.45, 1.7, 3.2), hv(180.5, 400.9, 0.3, -1.3, 3.2)}));
    s.steps.push_back(quad(0, 0,
                           {hv(420.4, 300.3, 0.8, 0.1, 0.1), hv(620.2, 320.6, 0.6, 1.1, 0.1),
                            hv(600.8, 470.2, 0.6, 1.1, 1.1), hv(440.1, 460.7, 0.8, 0.1, 1.1)}));
    return s;
}

// Gouraud quads in both depth orders and a textured quad whose u runs
// negative and wraps.
Scene gouraudAndWrap() {
    Scene s{"gouraud_depth_wrap", {grainyChecks(32, 4, 2)}, {}, true, 10};
    s.steps.push_back(
        quad(0, -1,
             {hv(20.2, 20.6, 0.5, 0, 0, 0xFFFF0000), hv(300.7, 30.1, 0.5, 0, 0, 0xFF00FF00),
              hv(290.3, 250.9, 0.5, 0, 0, 0xFF0000FF), hv(30.8, 240.4, 0.5, 0, 0, 0xFFFFFFFF)}));
    s.steps.push_back(
        quad(0, -1,
             {hv(150.1, 100.3, 0.7, 0, 0, 0xFF203040), hv(400.6, 110.8, 0.7, 0, 0, 0xFFF0E0D0),
              hv(390.2, 300.5, 0.7, 0, 0, 0xFF808080), hv(140.9, 290.2, 0.7, 0, 0, 0xFF10F010)}));
    s.steps.push_back(
        quad(0, -1,
             {hv(250.4, 200.6, 0.3, 0, 0, 0xFFFFFF00), hv(500.1, 190.2, 0.3, 0, 0, 0xFF00FFFF),
              hv(510.7, 400.8, 0.3, 0, 0, 0xFFFF00FF), hv(260.3, 410.1, 0.3, 0, 0, 0xFF404040)}));
    s.steps.push_back(quad(0, 0,
                           {hv(40.6, 300.2, 0.9, -3.3, -0.7, 0xFFC0A080),
                            hv(230.1, 310.7, 0.4, 1.7, -0.7, 0xFFC0A080),
                            hv(220.9, 470.3, 0.4, 1.7, 1.6, 0xFFC0A080),
                            hv(50.2, 460.8, 0.9, -3.3, 1.6, 0xFFC0A080)}));
    return s;
}

// Blending on over opaque bars: half vertex alpha, a faded fan and an 8888
// texture whose alpha grows across it, drawn after everything opaque.
Scene blending() {
    Scene s{"blending", {grainyChecks(64, 8, 1)}, {}, false, 10};
    for (int i = 0; i < 8; ++i) {
        uint32_t c = i % 2 ? 0xFFE0C0A0 : 0xFF203060;
        s.steps.push_back(
            quad(0, -1,
                 {hv(80 * i, 0, 0.1, 0, 0, c), hv(80 * i + 80, 0, 0.1, 0, 0, c),
                  hv(80 * i + 80, 480, 0.1, 0, 0, c), hv(80 * i, 480, 0.1, 0, 0, c)}));
    }
    s.steps.push_back(
        quad(1, -1,
             {hv(50.3, 40.2, 0.5, 0, 0, 0x80FF4020), hv(300.8, 60.7, 0.5, 0, 0, 0x80FF4020),
              hv(280.2, 220.4, 0.5, 0, 0, 0x80FF4020), hv(60.6, 200.9, 0.5, 0, 0, 0x80FF4020)}));
    s.steps.push_back(
        quad(1, -1,
             {hv(350.4, 30.1, 0.5, 0, 0, 0xFFFFFFFF), hv(600.2, 50.3, 0.5, 0, 0, 0x00FFFFFF),
              hv(590.7, 230.6, 0.5, 0, 0, 0x00FFFFFF), hv(340.1, 210.2, 0.5, 0, 0, 0xC0FFFFFF)}));
    s.steps.push_back(quad(1, 0,
                           {hv(100.2, 260.5, 0.8, 0, 0), hv(560.9, 270.3, 0.5, 1, 0),
                            hv(540.4, 460.1, 0.5, 1, 1), hv(120.7, 450.8, 0.8, 0, 1)}));
    return s;
}

// Blending on, as hosts leave it for a whole frame: an opaque 8888 quad,
// then a half-transparent one drawn later, farther away, overlapping it.
// The near quad's texels are opaque, so it stays as it is where they overlap.
Scene opaqueTexelsUnderBlending() {
    Scene s{"opaque_texels_under_blending", {grainyChecks(64, 8, 1, true)}, {}, false, 10};
    s.steps.push_back(quad(1, 0,
                           {hv(100.3, 80.6, 0.5, 0, 0), hv(420.2, 90.1, 0.5, 3, 0),
                            hv(410.8, 330.4, 0.5, 3, 2.5), hv(110.1, 320.7, 0.5, 0, 2.5)}));
    s.steps.push_back(
        quad(1, -1,
             {hv(250.6, 180.2, 0.3, 0, 0, 0x80FF8040), hv(580.3, 200.9, 0.3, 0, 0, 0x80FF8040),
              hv(560.1, 440.5, 0.3, 0, 0, 0x80FF8040), hv(240.4, 420.3, 0.3, 0, 0, 0x80FF8040)}));
    return s;
}

// --- What each renderer draws --------------------------------------------

std::vector<uint16_t> drawnByTheDriver(const Scene& s) {
    EXPECT_EQ(Init(), 1);
    std::vector<TextureRecord*> textures;
    for (const HostImage& im : s.images)
        textures.push_back(
            LoadTexture(im.pixels.data(), im.side, im.side, 0, im.format, 0, nullptr));
    for (const Step& st : s.steps) {
        ssAlphaBlend(st.blendMode);
        SelectTexture(st.texture < 0 ? nullptr : textures[size_t(st.texture)]);
        DrawPrimitive(st.fan.data(), int32_t(st.fan.size()));
    }
    PageFlip();
    std::vector<uint8_t> bgr(size_t(kWidth) * kHeight * 3);
    EXPECT_EQ(BltFromCard(bgr.data(), 0, 0, kWidth, kHeight, kWidth * 3, 2), 1);
    Shutdown();
    // The read-back widens 565 by shifting (low bits zero); rows bottom-up.
    std::vector<uint16_t> out(size_t(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const uint8_t* p = &bgr[(size_t(kHeight - 1 - y) * kWidth + size_t(x)) * 3];
            out[size_t(y) * kWidth + size_t(x)] =
                uint16_t((p[2] >> 3) << 11 | (p[1] >> 2) << 5 | p[0] >> 3);
        }
    return out;
}

// Under blending a step is opaque when all its vertex alphas are full and
// its texture has no texel less than opaque (888 has none).
bool drawnOpaque(const Scene& s, const Step& st) {
    if (st.blendMode != 1) return true;
    for (const HostVertex& v : st.fan)
        if ((v.colour >> 24) != 0xFF) return false;
    if (st.texture < 0) return true;
    const HostImage& im = s.images[size_t(st.texture)];
    if (im.format != 1) return true;
    for (size_t i = 3; i < im.pixels.size(); i += 4)
        if (im.pixels[i] != 0xFF) return false;
    return true;
}

std::vector<uint16_t> drawnByMesa(const Scene& s) {
    std::vector<unsigned> textures;
    for (const HostImage& im : s.images)
        textures.push_back(mesaTexture(im.pixels.data(), im.side,
                                       im.format == 1 ? PeerTexels::Bgra : PeerTexels::Bgr));
    mesaClear();
    auto draw = [&](const Step& st, PeerPass pass) {
        mesaState(st.texture < 0 ? 0 : textures[size_t(st.texture)], pass);
        std::vector<SGLVERTEX> fan; // as the driver hands them to SGL
        for (const HostVertex& v : st.fan)
            fan.push_back(SGLVERTEX{v.x, v.y, v.z, v.invW, v.colour, 0, v.u, v.v});
        mesaFan(fan.data(), int(fan.size()));
    };
    // Opaque steps first, then the translucent ones in order, each as its
    // opaque fragments and then its partial ones.
    for (const Step& st : s.steps)
        if (drawnOpaque(s, st)) draw(st, PeerPass::Opaque);
    for (const Step& st : s.steps)
        if (!drawnOpaque(s, st)) {
            draw(st, PeerPass::OpaqueFragments);
            draw(st, PeerPass::PartialFragments);
        }
    mesaFinish();
    return mesaRead565();
}

// The exact result of an opaque scene: per pixel centre, barycentric
// weights in double from the vertices as sent, the nearest (largest 1/w,
// later wins ties) triangle's colour and texel. `tie` marks pixels whose
// exact texel coordinate lies within a hair of a texel boundary.
struct Exact {
    std::vector<uint16_t> pixels;
    std::vector<bool> tie;
};

Exact exactResult(const Scene& s) {
    Exact e{std::vector<uint16_t>(size_t(kWidth) * kHeight, 0),
            std::vector<bool>(size_t(kWidth) * kHeight, false)};
    std::vector<double> depth(e.pixels.size(), -INFINITY);
    for (const Step& st : s.steps) {
        const HostImage* im = st.texture < 0 ? nullptr : &s.images[size_t(st.texture)];
        for (size_t k = 1; k + 1 < st.fan.size(); ++k) {
            const HostVertex* t[3] = {&st.fan[0], &st.fan[k], &st.fan[k + 1]};
            double area = (double(t[1]->x) - t[0]->x) * (double(t[2]->y) - t[0]->y) -
                          (double(t[1]->y) - t[0]->y) * (double(t[2]->x) - t[0]->x);
            if (area == 0) continue;
            int x0 = std::max(0, int(std::floor(std::min({t[0]->x, t[1]->x, t[2]->x}))));
            int x1 = std::min(kWidth - 1, int(std::ceil(std::max({t[0]->x, t[1]->x, t[2]->x}))));
            int y0 = std::max(0, int(std::floor(std::min({t[0]->y, t[1]->y, t[2]->y}))));
            int y1 = std::min(kHeight - 1, int(std::ceil(std::max({t[0]->y, t[1]->y, t[2]->y}))));
            for (int y = y0; y <= y1; ++y)
                for (int x = x0; x <= x1; ++x) {
                    double px = x + 0.5, py = y + 0.5, l[3];
                    for (int i = 0; i < 3; ++i) {
                        const HostVertex &a = *t[(i + 1) % 3], &b = *t[(i + 2) % 3];
                        l[i] =
                            ((double(b.x) - a.x) * (py - a.y) - (double(b.y) - a.y) * (px - a.x)) /
                            area;
                    }
                    if (l[0] < 0 || l[1] < 0 || l[2] < 0) continue;
                    auto mix = [&](auto f) {
                        return l[0] * f(*t[0]) + l[1] * f(*t[1]) + l[2] * f(*t[2]);
                    };
                    double q = mix([](const HostVertex& v) { return double(v.invW); });
                    size_t i = size_t(y) * kWidth + size_t(x);
                    if (!(q >= depth[i])) continue;
                    depth[i] = q;
                    uint32_t rgb[3];
                    for (int c = 0; c < 3; ++c) {
                        int shift = 16 - 8 * c;
                        rgb[c] = uint32_t(std::lround(mix([&](const HostVertex& v) {
                            return double((v.colour >> shift) & 0xFF);
                        })));
                    }
                    e.tie[i] = false;
                    if (im) {
                        double u =
                            mix([](const HostVertex& v) { return double(v.u); }) / q * im->side;
                        double v =
                            mix([](const HostVertex& v) { return double(v.v); }) / q * im->side;
                        auto hair = [](double c) { return std::fabs(c - std::round(c)) < 1e-3; };
                        e.tie[i] = hair(u) || hair(v);
                        int mask = im->side - 1;
                        int tu = int(int64_t(std::floor(u)) & mask),
                            tv = int(int64_t(std::floor(v)) & mask);
                        int bytes = im->format == 1 ? 4 : 3;
                        const uint8_t* p =
                            &im->pixels[(size_t(tv) * im->side + size_t(tu)) * bytes];
                        const uint32_t texel[3] = {p[2], p[1], p[0]};
                        for (int c = 0; c < 3; ++c)
                            rgb[c] = (rgb[c] * texel[c] * 2 + 255) / 510; // round(a b / 255)
                    }
                    e.pixels[i] = uint16_t((rgb[0] >> 3) << 11 | (rgb[1] >> 2) << 5 | rgb[2] >> 3);
                }
        }
    }
    return e;
}

// Pixels whose centre lies within a pixel of a silhouette: an edge of a fan
// that no other fan shares (a floor's inner grid lines are not silhouettes).
std::vector<bool> edgePixels(const Scene& s) {
    std::map<std::array<float, 4>, int> uses;
    auto key = [](const HostVertex& a, const HostVertex& b) {
        std::array<float, 4> k{a.x, a.y, b.x, b.y}, r{b.x, b.y, a.x, a.y};
        return std::min(k, r);
    };
    for (const Step& st : s.steps)
        for (size_t i = 0; i < st.fan.size(); ++i)
            ++uses[key(st.fan[i], st.fan[(i + 1) % st.fan.size()])];
    std::vector<bool> edge(size_t(kWidth) * kHeight, false);
    for (const auto& [k, n] : uses) {
        if (n > 1) continue;
        double ax = k[0], ay = k[1], dx = k[2] - ax, dy = k[3] - ay, len2 = dx * dx + dy * dy;
        int x0 = std::max(0, int(std::floor(std::min(k[0], k[2]))) - 2);
        int x1 = std::min(kWidth - 1, int(std::ceil(std::max(k[0], k[2]))) + 2);
        int y0 = std::max(0, int(std::floor(std::min(k[1], k[3]))) - 2);
        int y1 = std::min(kHeight - 1, int(std::ceil(std::max(k[1], k[3]))) + 2);
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                double px = x + 0.5 - ax, py = y + 0.5 - ay;
                double t = len2 > 0 ? std::clamp((px * dx + py * dy) / len2, 0.0, 1.0) : 0.0;
                double ex = px - t * dx, ey = py - t * dy;
                if (ex * ex + ey * ey <= 1.0) edge[size_t(y) * kWidth + size_t(x)] = true;
            }
    }
    return edge;
}

// More than one 565 step apart in some channel.
bool differ(uint16_t a, uint16_t b) {
    auto far = [](int x, int y) { return x - y > 1 || y - x > 1; };
    return far(a >> 11, b >> 11) || far((a >> 5) & 63, (b >> 5) & 63) || far(a & 31, b & 31);
}

void rgb565(uint16_t p, uint8_t* out) {
    uint32_t r = p >> 11, g = (p >> 5) & 63, b = p & 31;
    out[0] = uint8_t(r << 3 | r >> 2);
    out[1] = uint8_t(g << 2 | g >> 4);
    out[2] = uint8_t(b << 3 | b >> 2);
}

// Side by side (ours left, Mesa right) and the differences: differing
// interior pixels red, uncounted edge pixels blue, the rest a dimmed copy.
std::string writeFailureImages(const Scene& s, const std::vector<uint16_t>& ours,
                               const std::vector<uint16_t>& mesa, const std::vector<bool>& edge) {
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
            if (edge[i]) d[2] = 160;
            if (!edge[i] && differ(ours[i], mesa[i])) d[0] = 255, d[1] = 0, d[2] = 0;
        }
    std::string sideBySide = dir + "/" + s.name + "-ours-mesa.png",
                diffPath = dir + "/" + s.name + "-diff.png";
    std::string error;
    bool ok = writePng(sideBySide, kWidth * 2, kHeight, both.data(), kWidth * 6, error) &&
              writePng(diffPath, kWidth, kHeight, diff.data(), kWidth * 3, error);
    if (!ok) return "(could not write the images: " + error + ")";
    return "\n  ours | Mesa: " + sideBySide + "\n  difference: " + diffPath;
}

TEST(MesaOracle, InteriorPixelsAgreeWithLlvmpipeAndTheExactResult) {
    std::string why;
    const bool haveMesa = mesaOpen(kWidth, kHeight, why);
    if (!haveMesa)
        std::printf("No Mesa oracle (%s): only the exact comparison runs\n", why.c_str());
    const Scene scenes[] = {checkerFloor(),   benchmarkGrid(), opaque8888(),
                            gouraudAndWrap(), blending(),      opaqueTexelsUnderBlending()};
    // Interior pixels more than one step apart: ours and Mesa (also counted
    // away from ties), ours and the exact result, Mesa and the exact result.
    std::printf("%-28s %8s %6s %9s %9s %10s %10s\n", "scene", "interior", "ties", "ours-mesa",
                "off ties", "ours-exact", "mesa-exact");
    for (const Scene& s : scenes) {
        SCOPED_TRACE(s.name);
        std::vector<uint16_t> ours = drawnByTheDriver(s);
        std::vector<uint16_t> mesa = haveMesa ? drawnByMesa(s) : ours;
        std::vector<bool> edge = edgePixels(s);
        Exact exact;
        if (s.opaque) exact = exactResult(s);
        int interior = 0, ties = 0, oursMesa = 0, offTies = 0, oursExact = 0, mesaExact = 0;
        for (size_t i = 0; i < ours.size(); ++i) {
            if (edge[i]) continue;
            ++interior;
            bool apart = differ(ours[i], mesa[i]);
            oursMesa += apart;
            if (!s.opaque) continue;
            if (exact.tie[i]) {
                ++ties;
                continue;
            }
            offTies += apart;
            oursExact += differ(ours[i], exact.pixels[i]);
            mesaExact += differ(mesa[i], exact.pixels[i]);
        }
        std::printf("%-28s %8d %6d %9d %9d %10d %10d\n", s.name, interior, ties, oursMesa, offTies,
                    oursExact, mesaExact);
        EXPECT_LE(oursMesa, s.allowedMesa) << writeFailureImages(s, ours, mesa, edge);
        // Away from texel-boundary ties the exact texel is the one drawn.
        EXPECT_EQ(oursExact, 0);
    }
    mesaClose();
    if (!haveMesa) GTEST_SKIP() << "Mesa oracle skipped: " << why;
}

} // namespace
