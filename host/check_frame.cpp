#include "host/check_frame.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr uint32_t kFormatIndexed = 0, kFormat8888 = 1;
// Edges are left out of the comparison: fill rules and a card's filtering
// may differ there.
constexpr int kMargin = 4;

struct Rect {
    int x0, y0, x1, y1; // x1, y1 exclusive
    bool contains(int x, int y, int margin) const {
        return x >= x0 + margin && x < x1 - margin && y >= y0 + margin && y < y1 - margin;
    }
};

struct FlatQuad {
    Rect rect;
    uint32_t colour;
};
constexpr FlatQuad kFlatQuads[] = {{{40, 40, 300, 220}, 0xFFFF0000u},
                                   {{340, 40, 600, 220}, 0xFF00FF00u},
                                   {{40, 260, 300, 440}, 0xFF0000FFu}};

// A 64 x 64 texture of four quarters, mapped once onto this square.
constexpr Rect kTexturedQuad = {340, 260, 596, 440};
constexpr uint32_t kQuarters[4] = {0xFFFFFFFFu, 0xFFFFFF00u, 0xFF00FFFFu, 0xFFFF00FFu};
constexpr int kTextureSide = 64;

// An indexed image blitted over the scene: bands of four palette colours.
constexpr Rect kBlit = {272, 200, 368, 280};
constexpr uint32_t kBands[4] = {0xFFF8F8F8u, 0xFF808080u, 0xFFF88000u, 0xFF0080F8u};
constexpr int kBandRows = 20;

uint32_t quarterAt(int u, int v) {
    return kQuarters[(v >= kTextureSide / 2 ? 2 : 0) + (u >= kTextureSide / 2 ? 1 : 0)];
}

void drawQuad(const KxEntryPoints& api, const Rect& r, uint32_t colour, bool textured) {
    const float x0 = float(r.x0), y0 = float(r.y0), x1 = float(r.x1), y1 = float(r.y1);
    const float s = textured ? 1.0f : 0.0f;
    HostVertex fan[4] = {{x0, y0, 0.5f, 1.0f, 0, 0, colour},
                         {x1, y0, 0.5f, 1.0f, s, 0, colour},
                         {x1, y1, 0.5f, 1.0f, s, s, colour},
                         {x0, y1, 0.5f, 1.0f, 0, s, colour}};
    api.DrawPrimitive(fan, 4);
}

// The colour the test frame must show at (x, y), as 0xRRGGBB.
uint32_t expectedAt(int x, int y, bool& compared) {
    compared = true;
    if (kBlit.contains(x, y, 0)) return kBands[((y - kBlit.y0) / kBandRows) % 4] & 0xFFFFFF;
    for (const FlatQuad& q : kFlatQuads) {
        if (q.rect.contains(x, y, kMargin)) return q.colour & 0xFFFFFF;
        if (q.rect.contains(x, y, -kMargin)) compared = false;
    }
    const Rect& t = kTexturedQuad;
    if (t.contains(x, y, -kMargin)) {
        const int width = t.x1 - t.x0, height = t.y1 - t.y0;
        const int dx = x - t.x0, dy = y - t.y0;
        // Away from the outer edges and from the seams between quarters.
        compared = t.contains(x, y, kMargin) && std::abs(dx - width / 2) >= kMargin &&
                   std::abs(dy - height / 2) >= kMargin;
        return quarterAt(dx * kTextureSide / width, dy * kTextureSide / height) & 0xFFFFFF;
    }
    return 0;
}

} // namespace

CheckFrameResult drawCheckFrame(const KxEntryPoints& api) {
    CheckFrameResult result;
    api.ssAlphaBlend(0);
    api.ssChromaKey(0, 0);

    std::vector<uint32_t> texels(size_t(kTextureSide) * kTextureSide);
    for (int v = 0; v < kTextureSide; ++v)
        for (int u = 0; u < kTextureSide; ++u)
            texels[size_t(v) * kTextureSide + size_t(u)] = quarterAt(u, v);
    TextureRecord* texture =
        api.LoadTexture(texels.data(), kTextureSide, kTextureSide, 0, kFormat8888, 0, nullptr);

    std::vector<uint32_t> palette(256, 0xFF000000u);
    for (int k = 0; k < 4; ++k)
        palette[size_t(k) + 1] = kBands[k];
    api.LoadPalette(palette.data());
    const int bw = kBlit.x1 - kBlit.x0, bh = kBlit.y1 - kBlit.y0;
    std::vector<uint8_t> bands(size_t(bw) * size_t(bh));
    for (int y = 0; y < bh; ++y)
        for (int x = 0; x < bw; ++x)
            bands[size_t(y) * size_t(bw) + size_t(x)] = uint8_t(1 + (y / kBandRows) % 4);

    api.SelectTexture(nullptr);
    for (const FlatQuad& q : kFlatQuads)
        drawQuad(api, q.rect, q.colour, false);
    if (texture) {
        api.SelectTexture(texture);
        drawQuad(api, kTexturedQuad, 0xFFFFFFFFu, true);
        api.SelectTexture(nullptr);
    }
    const int blitted =
        api.BltToCard(bands.data(), kBlit.x0, kBlit.y0, bw, bh, bw, kFormatIndexed, nullptr);
    api.PageFlip();
    result.image = readBackFrame(api, kWidth, kHeight);
    if (texture) api.UnloadTexture(texture);
    result.drawn = texture && blitted;
    return result;
}

void compareCheckFrame(CheckFrameResult& result) {
    result.checked = result.differing = 0;
    result.firstDifference.clear();
    const RgbImage& image = result.image;
    if (image.width != kWidth || image.height != kHeight) return;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            bool compared = false;
            const uint32_t expected = expectedAt(x, y, compared);
            if (!compared) continue;
            ++result.checked;
            const uint8_t* p = image.rgb.data() + (size_t(y) * kWidth + size_t(x)) * 3;
            const uint32_t read = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
            if (((read ^ expected) & 0xF8F8F8u) == 0) continue;
            if (result.differing++ == 0) {
                char text[96];
                std::snprintf(text, sizeof text, "at (%d, %d): read 0x%06X, expected 0x%06X", x, y,
                              read, expected);
                result.firstDifference = text;
            }
        }
}
