#include "host/art.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "host/font.h"

namespace {

uint32_t rgb(int r, int g, int b) {
    auto clamp = [](int v) { return uint32_t(v < 0 ? 0 : v > 255 ? 255 : v); };
    return 0xFF000000u | clamp(r) << 16 | clamp(g) << 8 | clamp(b);
}

uint32_t mix(uint32_t a, uint32_t b, float t) {
    int r = int(((a >> 16) & 0xFF) + (float(int((b >> 16) & 0xFF) - int((a >> 16) & 0xFF)) * t));
    int g = int(((a >> 8) & 0xFF) + (float(int((b >> 8) & 0xFF) - int((a >> 8) & 0xFF)) * t));
    int bl = int((a & 0xFF) + (float(int(b & 0xFF) - int(a & 0xFF)) * t));
    return rgb(r, g, bl);
}

uint32_t hsv(float h, float s, float v) {
    h = h - std::floor(h);
    float f = h * 6;
    int i = int(f);
    float frac = f - float(i);
    float p = v * (1 - s), q = v * (1 - s * frac), t = v * (1 - s * (1 - frac));
    float r, g, b;
    switch (i % 6) {
    case 0:
        r = v, g = t, b = p;
        break;
    case 1:
        r = q, g = v, b = p;
        break;
    case 2:
        r = p, g = v, b = t;
        break;
    case 3:
        r = p, g = q, b = v;
        break;
    case 4:
        r = t, g = p, b = v;
        break;
    default:
        r = v, g = p, b = q;
        break;
    }
    return rgb(int(r * 255), int(g * 255), int(b * 255));
}

void ramp(std::vector<uint32_t>& palette, int first, int count, uint32_t from, uint32_t to) {
    for (int i = 0; i < count; ++i)
        palette[first + i] = mix(from, to, count > 1 ? float(i) / float(count - 1) : 0);
}

uint32_t hash(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

// 0..1 from a lattice point.
float lattice(int x, int y, uint32_t seed) {
    return float(hash(uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u ^ seed * 83492791u) &
                 0xFFFF) /
           65535.0f;
}

// Smooth value noise that tiles with the given period (in lattice cells).
float valueNoise(float x, float y, int period, uint32_t seed) {
    int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    float fx = x - float(x0), fy = y - float(y0);
    fx = fx * fx * (3 - 2 * fx);
    fy = fy * fy * (3 - 2 * fy);
    auto at = [&](int xi, int yi) {
        return lattice(((xi % period) + period) % period, ((yi % period) + period) % period, seed);
    };
    float a = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * fx;
    float b = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * fx;
    return a + (b - a) * fy;
}

// Three octaves over a 256-pixel tile, 0..1.
float fractal(int px, int py, int size, uint32_t seed) {
    float sum = 0, weight = 0.5f;
    int cells = 8;
    for (int octave = 0; octave < 3; ++octave) {
        float scale = float(cells) / float(size);
        sum += weight * valueNoise(float(px) * scale, float(py) * scale, cells, seed + octave);
        weight *= 0.5f;
        cells *= 2;
    }
    return sum / 0.875f;
}

HostImage blank(int width, int height, uint32_t format, bool ownPalette) {
    HostImage image;
    image.width = width;
    image.height = height;
    image.format = format;
    int bytes = format == kFormatIndexed ? 1 : format == kFormat8888 ? 4 : 3;
    image.pixels.assign(size_t(width) * size_t(height) * size_t(bytes), 0);
    if (ownPalette) image.palette.assign(256, 0xFF000000u);
    return image;
}

void putDirect(HostImage& image, int x, int y, uint32_t colour) {
    int bytes = image.format == kFormat8888 ? 4 : 3;
    uint8_t* p =
        image.pixels.data() + (size_t(y) * size_t(image.width) + size_t(x)) * size_t(bytes);
    p[0] = uint8_t(colour);
    p[1] = uint8_t(colour >> 8);
    p[2] = uint8_t(colour >> 16);
    if (bytes == 4) p[3] = uint8_t(colour >> 24);
}

uint8_t shade(int base, int range, float t) {
    int v = base + int(t * float(range - 1) + 0.5f);
    return uint8_t(v < base ? base : v > base + range - 1 ? base + range - 1 : v);
}

void text(HostImage& image, int x, int y, const char* s, int scale, int index) {
    drawText(image.pixels.data(), image.width, image.height, image.width, x, y, s, scale,
             uint8_t(index));
}

} // namespace

std::vector<uint32_t> makeGlobalPalette(int cycleStep) {
    std::vector<uint32_t> p(256, 0xFF000000u);
    p[kPaletteKey] = kKeyColour;
    ramp(p, kPaletteHull, 15, rgb(38, 46, 78), rgb(176, 196, 232));
    ramp(p, kPaletteCockpit, 8, rgb(16, 70, 112), rgb(190, 244, 255));
    ramp(p, kPaletteEngine, 8, rgb(196, 56, 0), rgb(255, 236, 130));
    ramp(p, kPaletteOutline, 32, rgb(14, 14, 24), rgb(210, 210, 220));
    ramp(p, kPaletteStone, 64, rgb(34, 31, 30), rgb(196, 184, 166));
    ramp(p, kPalettePaint, 8, rgb(160, 130, 30), rgb(252, 218, 84));
    ramp(p, 136, 56, rgb(10, 12, 30), rgb(60, 70, 120));
    for (int i = 0; i < kCycleLength; ++i) {
        float t = float((i + cycleStep) % kCycleLength) / float(kCycleLength);
        // Magenta through blue and cyan and back: a plasma glow.
        p[kPaletteCycle + i] = hsv(0.55f + 0.35f * std::sin(t * 6.2831853f), 0.75f,
                                   0.55f + 0.45f * std::sin(t * 12.566371f + 1.0f) * 0.5f + 0.22f);
    }
    return p;
}

HostImage makeSignTexture(int number) {
    HostImage image = blank(256, 256, kFormatIndexed, true);
    uint32_t base = hsv(float(number) * 0.137f + 0.03f, 0.62f, 0.92f);
    ramp(image.palette, 0, 64, mix(rgb(0, 0, 0), base, 0.35f), base);
    ramp(image.palette, 64, 8, rgb(40, 34, 30), rgb(150, 140, 128));
    image.palette[72] = rgb(250, 246, 232);
    image.palette[73] = rgb(20, 18, 24);
    image.palette[74] = rgb(250, 200, 40);
    uint32_t seed = uint32_t(number) * 977u + 5u;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            int edge = std::min(std::min(x, 255 - x), std::min(y, 255 - y));
            uint8_t index;
            if (edge < 14) {
                // A bevelled frame: light on the top and left, dark on the bottom and right.
                bool lit = (x < 14 && x <= y && x <= 255 - y) || (y < 14 && y <= x && y <= 255 - x);
                index = uint8_t(lit ? 70 - edge / 5 : 65 + edge / 7);
            } else {
                float t =
                    0.9f - 0.45f * float(y) / 255.0f + 0.25f * (fractal(x, y, 256, seed) - 0.5f);
                index = shade(0, 64, t);
            }
            image.pixels[size_t(y) * 256 + size_t(x)] = index;
        }
    for (int y = 204; y < 232; ++y)
        for (int x = 24; x < 232; ++x)
            image.pixels[size_t(y) * 256 + size_t(x)] = ((x + y) / 14) % 2 ? 74 : 73;
    char label[8];
    std::snprintf(label, sizeof label, "%02d", number % 100);
    int scale = 12, w = textWidth(label, scale);
    text(image, (256 - w) / 2 + 5, 82 + 5, label, scale, 73);
    text(image, (256 - w) / 2, 82, label, scale, 72);
    int zw = textWidth("ZONE", 4);
    text(image, (256 - zw) / 2 + 2, 34 + 2, "ZONE", 4, 73);
    text(image, (256 - zw) / 2, 34, "ZONE", 4, 72);
    return image;
}

HostImage makeRoadTexture() {
    HostImage image = blank(256, 256, kFormatIndexed, false);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            int row = y / 32;
            int sx = x + (row % 2) * 32;
            int col = (sx / 64) % 4;
            int inX = sx % 64, inY = y % 32;
            float n = fractal(x, y, 256, 11);
            uint8_t index;
            if (inX < 3 || inY < 3) {
                index = uint8_t(kPaletteStone + 2 + int(n * 6));
            } else {
                float stone = 0.35f + 0.3f * lattice(col, row, 3);
                float bevel = (inX < 6 || inY < 6) ? 0.12f : (inX > 59 || inY > 28) ? -0.1f : 0;
                index = shade(kPaletteStone, 64, stone + bevel + 0.3f * (n - 0.5f));
            }
            // A worn centre line, dashed along the road.
            if (x >= 120 && x < 136 && y < 150 && n < 0.72f) index = shade(kPalettePaint, 8, n);
            image.pixels[size_t(y) * 256 + size_t(x)] = index;
        }
    return image;
}

HostImage makeGrassTexture() {
    HostImage image = blank(256, 256, kFormat888, false);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            float n = fractal(x, y, 256, 21);
            float blade = lattice(x, y / 4, 22) > 0.82f ? 0.18f : 0;
            float v = 0.55f + 0.5f * (n - 0.5f) + blade;
            uint32_t c = rgb(int(70 * v), int(132 * v + 10), int(40 * v));
            uint32_t h = hash(uint32_t(x * 256 + y) * 2654435761u);
            if ((h & 0x3FF) == 0) c = (h & 0x400) ? rgb(250, 240, 120) : rgb(240, 240, 250);
            putDirect(image, x, y, c);
        }
    return image;
}

HostImage makeCrateTexture() {
    HostImage image = blank(128, 128, kFormatIndexed, true);
    ramp(image.palette, 0, 64, rgb(58, 34, 16), rgb(214, 160, 92));
    image.palette[64] = rgb(30, 18, 10);
    ramp(image.palette, 65, 8, rgb(70, 70, 76), rgb(200, 200, 210));
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            float grain = valueNoise(float(x) / 24.0f, float(y) / 3.0f, 64, 31);
            int edge = std::min(std::min(x, 127 - x), std::min(y, 127 - y));
            uint8_t index;
            if (edge < 2) {
                index = 64;
            } else if (edge < 14) {
                index = shade(0, 64, 0.55f + 0.3f * (grain - 0.5f) - (edge < 4 ? 0.2f : 0));
                if ((x < 14 || x > 113) && (y < 14 || y > 113))
                    index = shade(65, 8, float(edge) / 14.0f);
            } else {
                int plank = (y - 14) / 25;
                int inPlank = (y - 14) % 25;
                bool brace = std::abs((x - 14) - (113 - y)) < 9;
                if (brace)
                    index = shade(0, 64, 0.7f + 0.3f * (grain - 0.5f));
                else if (inPlank == 0)
                    index = 64;
                else
                    index = shade(0, 64, 0.35f + 0.08f * float(plank % 3) + 0.3f * (grain - 0.5f));
            }
            image.pixels[size_t(y) * 128 + size_t(x)] = index;
        }
    return image;
}

HostImage makePlasmaTexture() {
    HostImage image = blank(128, 128, kFormatIndexed, false);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            float fx = float(x), fy = float(y);
            float v = std::sin(fx / 11.0f) + std::sin(fy / 7.0f) + std::sin((fx + fy) / 13.0f) +
                      std::sin(std::sqrt((fx - 64) * (fx - 64) + (fy - 64) * (fy - 64)) / 6.0f);
            int k = int((v + 4.0f) / 8.0f * float(kCycleLength) * 2.0f) % kCycleLength;
            image.pixels[size_t(y) * 128 + size_t(x)] = uint8_t(kPaletteCycle + k);
        }
    return image;
}

HostImage makeMetalTexture() {
    HostImage image = blank(128, 128, kFormat888, false);
    const int rivets[8][2] = {{10, 10},  {64, 10},  {117, 10}, {10, 64},
                              {117, 64}, {10, 117}, {64, 117}, {117, 117}};
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            float streak = valueNoise(float(x) / 40.0f, float(y) / 1.5f, 128, 41) - 0.5f;
            float v = 150 + 40 * streak;
            bool inPanel = x >= 24 && x < 104 && y >= 24 && y < 104;
            if (inPanel) v += 14;
            if ((x >= 22 && x < 26 && y >= 22 && y < 106) ||
                (y >= 22 && y < 26 && x >= 22 && x < 106))
                v += 55;
            if ((x >= 102 && x < 106 && y >= 22 && y < 106) ||
                (y >= 102 && y < 106 && x >= 22 && x < 106))
                v -= 60;
            for (const auto& r : rivets) {
                float dx = float(x - r[0]), dy = float(y - r[1]);
                float d = std::sqrt(dx * dx + dy * dy);
                if (d < 5.0f) v = 120 + 110 * (1.0f - d / 5.0f) - 6 * (dx + dy);
            }
            putDirect(image, x, y, rgb(int(v * 0.96f), int(v), int(v * 1.06f)));
        }
    return image;
}

HostImage makeMonitorFrame(int phase) {
    HostImage image = blank(64, 64, kFormat888, false);
    float shift = float(phase) * 0.785398f;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            uint32_t c;
            if (x < 4 || x > 59 || y < 4 || y > 59) {
                c = rgb(70, 72, 80);
            } else {
                float wave = 26.0f + 12.0f * std::sin(float(x) * 0.21f + shift);
                float d = std::fabs(float(y) - wave);
                int g = d < 1.5f ? 255 : d < 3.0f ? 150 : 34;
                int bar = 4 + int(6 + 5 * std::sin(float(x / 8) * 1.7f + shift * 2));
                if (y > 59 - bar && y < 58 && x % 8 < 6) g = 200;
                if (y % 2) g = g * 3 / 4;
                c = rgb(g / 5, g, g / 3);
            }
            putDirect(image, x, y, c);
        }
    return image;
}

HostImage makeCloudTexture() {
    HostImage image = blank(256, 256, kFormat8888, false);
    const float blobs[7][3] = {{70, 150, 48}, {120, 125, 62}, {175, 140, 52}, {210, 160, 34},
                               {40, 168, 28}, {140, 165, 40}, {100, 170, 36}};
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            float density = 0;
            for (const auto& b : blobs) {
                float dx = (float(x) - b[0]) / b[2], dy = (float(y) - b[1]) / b[2];
                density += std::exp(-(dx * dx + dy * dy) * 1.6f);
            }
            density *= 0.75f + 0.5f * fractal(x, y, 256, 51);
            float edge = std::min(std::min(float(x), 255.0f - float(x)),
                                  std::min(float(y), 255.0f - float(y)));
            if (edge < 16) density *= edge / 16.0f;
            int alpha = int(std::min(1.0f, density * 1.2f) * 235.0f);
            float lit = 1.0f - float(y - 90) / 200.0f;
            uint32_t c =
                mix(rgb(186, 170, 206), rgb(255, 236, 236), std::min(1.0f, std::max(0.0f, lit)));
            putDirect(image, x, y, (c & 0x00FFFFFF) | uint32_t(alpha) << 24);
        }
    return image;
}

HostImage makeTreeTexture() {
    HostImage image = blank(128, 256, kFormatIndexed, true);
    image.palette[0] = kKeyColour;
    ramp(image.palette, 1, 31, rgb(10, 44, 22), rgb(110, 176, 80));
    ramp(image.palette, 32, 8, rgb(48, 30, 18), rgb(128, 88, 52));
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 128; ++x) {
            uint8_t index = 0;
            if (y >= 190 && x >= 56 && x < 72) index = shade(32, 8, float(72 - x) / 16.0f);
            // Three stacked cones of needles.
            const int tiers[3][3] = {
                {20, 100, 34}, {70, 150, 46}, {120, 200, 58}}; // top, bottom, half width
            for (const auto& t : tiers) {
                if (y < t[0] || y >= t[1]) continue;
                float f = float(y - t[0]) / float(t[1] - t[0]);
                float half = float(t[2]) * f + 3;
                float jag = 6 * (lattice(y / 3, 0, 61) - 0.5f);
                if (std::fabs(float(x) - 64) < half + jag) {
                    float light = 0.75f - (float(x) - 64) / (2 * half + 1) * 0.6f - 0.25f * f;
                    index = shade(1, 31, light + 0.35f * (fractal(x * 2, y * 2, 256, 62) - 0.5f));
                }
            }
            image.pixels[size_t(y) * 128 + size_t(x)] = index;
        }
    return image;
}

HostImage makeShipSprite() {
    HostImage image = blank(96, 48, kFormatIndexed, false);
    auto put = [&](int x, int y, int index) {
        if (x >= 0 && x < 96 && y >= 0 && y < 48)
            image.pixels[size_t(y) * 96 + size_t(x)] = uint8_t(index);
    };
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 96; ++x) {
            float hx = (float(x) - 47.5f) / 45.0f, hy = (float(y) - 30.0f) / 11.0f;
            float hull = hx * hx + hy * hy;
            float cx = (float(x) - 47.5f) / 15.0f, cy = (float(y) - 22.0f) / 11.0f;
            float canopy = cx * cx + cy * cy;
            if (hull <= 1.0f) {
                int index =
                    kPaletteHull + int((1.0f - (hy + 1.0f) / 2.0f) * 13.0f + (hx < 0 ? 1 : 0));
                if (hull > 0.82f) index = kPaletteOutline + 3;
                put(x, y, index);
            }
            if (canopy <= 1.0f && y <= 24)
                put(x, y,
                    canopy > 0.8f ? kPaletteOutline + 2
                                  : kPaletteCockpit + int((1.0f - canopy) * 7.0f));
        }
    for (int side = 0; side < 2; ++side) {
        int ex = side ? 74 : 21;
        for (int y = 36; y < 48; ++y)
            for (int x = ex - 6; x <= ex + 6; ++x) {
                float d = std::sqrt(float((x - ex) * (x - ex)) + float((y - 40) * (y - 40)) * 0.7f);
                if (d < 6.0f) put(x, y, kPaletteEngine + int((1.0f - d / 6.0f) * 7.0f));
            }
    }
    return image;
}

HostImage makeTitlePanel() {
    HostImage image = blank(80, 20, kFormatIndexed, true);
    ramp(image.palette, 0, 16, rgb(10, 16, 60), rgb(40, 70, 150));
    image.palette[16] = rgb(200, 220, 255);
    image.palette[17] = rgb(255, 214, 64);
    image.palette[18] = rgb(6, 6, 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 80; ++x) {
            bool border = x == 0 || y == 0 || x == 79 || y == 19;
            image.pixels[size_t(y) * 80 + size_t(x)] = uint8_t(border ? 16 : 15 - y * 15 / 19);
        }
    int w = textWidth("KX DEMO", 1);
    text(image, (80 - w) / 2 + 1, 7, "KX DEMO", 1, 18);
    text(image, (80 - w) / 2, 6, "KX DEMO", 1, 17);
    return image;
}

void drawScoreImage(HostImage& image, int score) {
    char label[16];
    std::snprintf(label, sizeof label, "SCORE %05d", score % 100000);
    int w = textWidth(label, 2) + 4, h = 7 * 2 + 4;
    if (image.width != w || image.height != h || image.palette.empty()) {
        image = blank(w, h, kFormatIndexed, true);
        image.palette[0] = kKeyColour;
        image.palette[1] = rgb(16, 12, 40);
        image.palette[2] = rgb(255, 226, 70);
    }
    std::fill(image.pixels.begin(), image.pixels.end(), uint8_t(0));
    for (int dy = 0; dy <= 4; dy += 2)
        for (int dx = 0; dx <= 4; dx += 2)
            if (dx != 2 || dy != 2) text(image, dx, dy, label, 2, 1);
    text(image, 2, 2, label, 2, 2);
}
