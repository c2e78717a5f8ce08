// The benchmark frames, made from a hash so that every build draws the same.
#include "bench/frame_scenes.h"

#include <cstddef>

#include "host/hash.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

// Checks of `check` texels with a grain; transparency from `alpha`.
SceneTexture checks(int side, int check, uint32_t seed, bool partialAlpha) {
    SceneTexture t{side, partialAlpha ? SGL_MAP_TRANSLUCENT : SGL_MAP_OPAQUE, {}};
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            uint32_t k = uint32_t(y * side + x);
            uint32_t base = ((x / check) ^ (y / check)) & 1 ? 0xE0 : 0x40;
            uint32_t c = base + (hashOf(k + seed) & 0x1F);
            uint32_t transparency = partialAlpha ? 0x40 + (hashOf(k ^ seed) & 0x7F) : 0;
            t.texels.push_back(c | (c * 3 / 4) << 8 | (c / 2) << 16 | transparency << 24);
        }
    return t;
}

} // namespace

// The light scene: a receding floor of 25 x 20 quads seen from above it.
// 1/w, u/w and v/w are linear on the screen, so u and v are not, and every
// pixel needs the perspective divide.
Scene lightScene() {
    constexpr int kColumns = 25, kRows = 20;
    Scene s;
    s.textures.push_back(checks(256, 32, 0, false));
    auto at = [](int i, int j) {
        float x = float(i) * kWidth / kColumns, y = float(j) * kHeight / kRows;
        float q = 0.2f + 0.8f * y / kHeight;
        uint32_t grey = 128 + hashOf(uint32_t(j * 97 + i)) % 128;
        uint32_t colour = 0xFF000000u | grey << 16 | grey << 8 | grey;
        // u = (x - 320) / (160 q) and v = 2 / q.
        return SGLVERTEX{x, y, 1.0f - q, q, colour, 0, (x - kWidth / 2) / 160.0f, 2.0f};
    };
    for (int j = 0; j < kRows; ++j)
        for (int i = 0; i < kColumns; ++i)
            s.draws.push_back(
                Draw{0, false, false, {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)}});
    return s;
}

namespace {

// A quad centred at (cx, cy) of half-size h, turned by `turn`, at 1/w q
// (tilted by dq across it), texture coordinates `repeat` widths across.
std::vector<SGLVERTEX> quadAt(float cx, float cy, float h, float turn, float q, float dq,
                              float repeat, const uint32_t colours[4]) {
    const float c = 1.0f - turn * turn / 2, s = turn; // near enough a rotation
    const float corner[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    std::vector<SGLVERTEX> fan;
    for (int k = 0; k < 4; ++k) {
        float x = corner[k][0] * h, y = corner[k][1] * h;
        float qk = q + dq * corner[k][0];
        float u = (corner[k][0] + 1) / 2 * repeat, v = (corner[k][1] + 1) / 2 * repeat;
        fan.push_back(SGLVERTEX{cx + c * x - s * y, cy + s * x + c * y, 1.0f - qk, qk, colours[k],
                                0, u * qk, v * qk});
    }
    return fan;
}

} // namespace

// The heavy scene, 10,000 triangles, drawn by material as games do: the floor (1,000, once over the
// screen), 1,500 wall and crate quads of about 20 x 20 pixels in front of
// it at random depths (3,000 triangles, about twice over the screen), 3,500
// debris triangles of 1 to 4 pixels, and 1,250 smoke quads of about
// 14 x 14 pixels, blended (2,500 triangles, under a screen's worth).
Scene heavyScene() {
    Scene s = lightScene();
    s.textures.push_back(checks(64, 8, 1, false));   // 1: walls, 888
    s.textures.push_back(checks(128, 16, 2, false)); // 2: crates, 8888 all opaque: type 1
    s.textures.push_back(checks(64, 4, 3, true));    // 3: smoke, partial alphas
    uint32_t n = 1;
    auto unit = [&] { return float(hashOf(n++) & 0xFFFF) / 65536.0f; };
    auto grey = [&](uint32_t alpha) {
        uint32_t g = 160 + (hashOf(n++) & 0x5F);
        return alpha << 24 | g << 16 | g << 8 | g;
    };
    for (int k = 0; k < 1500; ++k) {
        uint32_t colours[4] = {grey(0xFF), grey(0xFF), grey(0xFF), grey(0xFF)};
        float h = 6.0f + 8.0f * unit(), q = 0.25f + 0.7f * unit();
        s.draws.push_back(Draw{k < 750 ? 1 : 2, true, false,
                               quadAt(-20 + 680 * unit(), -20 + 520 * unit(), h, unit() - 0.5f, q,
                                      0.05f * (unit() - 0.5f), 1 + 2 * unit(), colours)});
    }
    for (int k = 0; k < 3500; ++k) {
        float x = 640 * unit(), y = 480 * unit(), q = 0.3f + 0.7f * unit();
        uint32_t c = grey(0xFF);
        s.draws.push_back(Draw{k < 1200 ? -1 : 1,
                               true,
                               false,
                               {SGLVERTEX{x, y, 1 - q, q, c, 0, 0, 0},
                                SGLVERTEX{x + 2.5f * unit(), y + 0.5f, 1 - q, q, c, 0, 0.1f, 0},
                                SGLVERTEX{x + 0.5f, y + 2.5f * unit(), 1 - q, q, c, 0, 0, 0.1f}}});
    }
    for (int k = 0; k < 1250; ++k) {
        const uint32_t alpha = 0x60 + (hashOf(n++) & 0x7F);
        uint32_t colours[4] = {grey(alpha), grey(alpha), grey(0xFF), grey(alpha / 2)};
        float q = 0.4f + 0.6f * unit();
        s.draws.push_back(Draw{3, true, true,
                               quadAt(640 * unit(), 480 * unit(), 4.0f + 6.0f * unit(),
                                      unit() - 0.5f, q, 0.0f, 1, colours)});
    }
    return s;
}
