#include "softsgl_helpers.h"

#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "softsgl/softsgl_control.h"
#include "tests/bands/band_scenes.h"

MemoryTarget* currentTarget = nullptr;
int addressCallbacks = 0;
int eorCallbacks = 0;

namespace {

int SGL_CALL fillRecord(AddressCallbackParams* p) {
    ++addressCallbacks;
    if (currentTarget) {
        p->address = currentTarget->pixels.data();
        p->stride = uint16_t(currentTarget->stride);
        p->bitsPerPixel = uint8_t(currentTarget->bitsPerPixel);
    }
    return 0;
}

int SGL_CALL endOfRender() {
    ++eorCallbacks;
    return 0;
}

} // namespace

int setUpScreen(MemoryTarget& t, int w, int h, int bpp, int stride, int rows, uint16_t fill) {
    static int32_t status;
    sgl_use_address_mode(fillRecord, &status);
    sgl_use_eor_callback(endOfRender);
    t.stride = stride ? stride : w * 2;
    t.rows = rows ? rows : h;
    t.bitsPerPixel = bpp;
    t.pixels.assign(size_t(t.stride / 2) * t.rows, fill);
    currentTarget = &t;
    return sgl_create_screen_device(0, w, h, 0, 1);
}

SGLCONTEXT defaultContext() {
    SGLCONTEXT c;
    std::memset(&c, 0, sizeof c);
    c.fogRed = c.fogGreen = c.fogBlue = 0.3f;
    c.fogDensity = 5;
    c.flags = SGLTT_DEFAULT_FLAGS & ~SGLTT_TEXTURE;
    sglContextWord(c, 9) = 1;
    sglContextWord(c, 17) = 1;
    sglContextWord(c, 24) = 255;
    sglContextWord(c, 27) = 2;
    return c;
}

SGLCONTEXT blendingContext() {
    SGLCONTEXT c = defaultContext();
    c.flags = (c.flags & ~SGLTT_NOBLEND) | SGLTT_VERTEXTRANS;
    return c;
}

SGLVERTEX vtx(float x, float y, uint32_t colour, float invW, float u, float v) {
    return SGLVERTEX{x, y, 0.5f, invW, colour, 0, u, v};
}

void drawTriangle(SGLCONTEXT& ctx, SGLVERTEX a, SGLVERTEX b, SGLVERTEX c) {
    SGLVERTEX vs[3] = {a, b, c};
    int32_t idx[1][3] = {{0, 1, 2}};
    sgltri_triangles(&ctx, 1, idx, vs);
}

void drawRect(SGLCONTEXT& ctx, float x0, float y0, float x1, float y1, uint32_t colour, float q) {
    SGLVERTEX a = vtx(x0, y0, colour, q, 0, 0), b = vtx(x1, y0, colour, q, q, 0);
    SGLVERTEX c = vtx(x1, y1, colour, q, q, q), d = vtx(x0, y1, colour, q, 0, q);
    drawTriangle(ctx, a, b, c);
    drawTriangle(ctx, a, c, d);
}

void renderFrame(SGLCONTEXT& ctx) {
    sgltri_render(&ctx);
    sgltri_isrendercomplete(&ctx, 0xFFFFFFFF);
}

int createTexture(int mapType, int sizeCode, const std::vector<uint32_t>& texels) {
    int side = 32 << sizeCode;
    sgl_intermediate_map map{
        {'I', 'M', 'A', 'P'}, side, side, const_cast<uint32_t*>(texels.data())};
    return sgl_create_texture(mapType, sizeCode, 2, 0, &map, nullptr);
}

std::string picture(const MemoryTarget& t, int w, int h,
                    const std::vector<std::pair<uint16_t, char>>& legend) {
    std::string s;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            char ch = '?';
            for (auto& l : legend)
                if (l.first == t.at(x, y)) ch = l.second;
            s += ch;
        }
        s += '\n';
    }
    return s;
}

int settingOnAnyThreadCount(void (*set)(int mode)) {
    const BandTarget& target = kBandTargets[15]; // 640 x 480
    int differing = 0;
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        const BandScene s = bandScene(seed, target.width, target.height);
        softsglSetThreads(1);
        set(0);
        const std::vector<uint16_t> off = drawBandScene(s, target);
        set(1);
        const std::vector<uint16_t> one = drawBandScene(s, target);
        for (int threads : {2, 3}) {
            softsglSetThreads(threads);
            EXPECT_EQ(drawBandScene(s, target), one)
                << "seed " << seed << ", " << threads << " threads";
        }
        for (size_t i = 0; i < one.size(); ++i)
            differing += one[i] != off[i];
    }
    softsglSetThreads(0);
    set(-1);
    return differing;
}

namespace {
const int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
} // namespace

int ditheredLevel(int c, int bits, int x, int y) {
    const int top = (1 << bits) - 1;
    int k = 0;
    while (k < top && widenLevel(k + 1, bits) <= c)
        ++k;
    if (k == top) return k;
    const double n = std::floor(
        16.0 * (c - widenLevel(k, bits)) / (widenLevel(k + 1, bits) - widenLevel(k, bits)) + 0.5);
    return kBayer[y % 4][x % 4] < n ? k + 1 : k;
}

uint16_t ditheredPixel(uint32_t rgb, int x, int y, bool is555) {
    const int r = int(rgb >> 16) & 255, g = int(rgb >> 8) & 255, b = int(rgb) & 255;
    if (is555)
        return uint16_t(ditheredLevel(r, 5, x, y) << 10 | ditheredLevel(g, 5, x, y) << 5 |
                        ditheredLevel(b, 5, x, y));
    return uint16_t(ditheredLevel(r, 5, x, y) << 11 | ditheredLevel(g, 6, x, y) << 5 |
                    ditheredLevel(b, 5, x, y));
}
