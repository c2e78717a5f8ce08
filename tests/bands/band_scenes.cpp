#include "tests/bands/band_scenes.h"

#include <cstring>

const BandTarget kBandTargets[] = {
    {1, 1, 2, 16},        {1, 1, 64, 15},       {7, 7, 14, 16},       {640, 1, 1280, 16},
    {1, 480, 2, 16},      {64, 17, 128, 16},    {33, 17, 66, 15},     {200, 31, 400, 16},
    {100, 49, 256, 16},   {3, 300, 6, 16},      {320, 320, 640, 16},  {320, 320, 640, 15},
    {320, 200, 1280, 16}, {320, 240, 1280, 16}, {512, 384, 1280, 16}, {640, 480, 1280, 16},
    {640, 480, 1280, 15}, {640, 480, 1284, 16}, {640, 480, 640, 16},  {640, 479, 1280, 16},
    {480, 640, 960, 16},  {1023, 64, 2046, 16}, {4096, 16, 8192, 16}, {4096, 33, 8192, 15},
};
const int kBandTargetCount = int(sizeof kBandTargets / sizeof kBandTargets[0]);

namespace {

struct Random {
    uint32_t state;
    uint32_t next() {
        state += 0x9E3779B9u;
        uint32_t x = state;
        x ^= x >> 16;
        x *= 0x7FEB352Du;
        x ^= x >> 15;
        x *= 0x846CA68Bu;
        return x ^ (x >> 16);
    }
    int pick(int n) { return int(next() % uint32_t(n)); }
    // lo + (hi - lo) f with f a multiple of 2^-24 below 1: the same float in every build.
    float uni(float lo, float hi) { return lo + (hi - lo) * (float(next() >> 8) / 16777216.0f); }
};

// Coordinates that break arithmetic: the far ends of the float range, the
// guard band's edge, far off in either direction.
float farCoordinate(Random& rng) {
    static const float far[] = {3.4028235e38f, -3.4028235e38f, 1e30f, -1e30f,
                                1048576.5f,    -1048577.0f,    4e6f,  -4e6f};
    return far[rng.pick(8)];
}

} // namespace

BandScene bandScene(uint32_t seed, int width, int height) {
    Random rng{seed * 0x85EBCA6Bu};
    BandScene s;
    const bool crowded = rng.pick(3) == 0;
    const float stripTop = rng.uni(-10, float(height));
    for (int m = 0; m < 3; ++m) {
        std::vector<uint32_t> texels(64 * 64);
        for (uint32_t& t : texels) {
            t = rng.next() & 0xFFFFFF;
            if (m == 1)
                t |= uint32_t(rng.pick(3) == 0 ? 0 : rng.pick(3) == 0 ? 255 : rng.pick(256)) << 24;
        }
        s.maps.push_back(texels);
        s.mapTypes.push_back(m == 0 ? SGL_MAP_OPAQUE : SGL_MAP_TRANSLUCENT);
    }
    const int calls = 20 + rng.pick(60);
    for (int c = 0; c < calls; ++c) {
        BandScene::Call call;
        call.kind = rng.pick(8) == 0 ? rng.pick(2) : 2;
        call.flags = SGLTT_DEFAULT_FLAGS;
        if (rng.pick(2)) call.flags &= ~SGLTT_NOBLEND;
        if (rng.pick(2)) call.flags |= SGLTT_VERTEXTRANS;
        call.texture = rng.pick(4) - 1;
        if (call.texture < 0) call.flags &= ~SGLTT_TEXTURE;
        const int n = call.kind == 0 ? 1 : call.kind == 1 ? 2 : 3;
        // Large, small and tiny; a few far beyond the area.
        const float size = rng.pick(10) == 0             ? 4e6f
                           : rng.pick(3) == 0 || crowded ? rng.uni(0.5f, 12)
                                                         : rng.uni(10, 400);
        const float cx = rng.uni(-50, float(width) + 50);
        const float cy = crowded ? stripTop + rng.uni(0, 24) : rng.uni(-50, float(height) + 50);
        const bool farOff = rng.pick(12) == 0;
        for (int k = 0; k < n; ++k) {
            const uint32_t alpha = rng.pick(3) == 0 ? 255u : uint32_t(rng.pick(256));
            SGLVERTEX v{};
            v.x = cx + rng.uni(-size, size);
            v.y = cy + rng.uni(-size, size);
            v.invW = rng.uni(0.05f, 1.0f);
            v.colour = alpha << 24 | (rng.next() & 0xFFFFFF);
            v.uOverW = rng.uni(-2, 2);
            v.vOverW = rng.uni(-2, 2);
            if (farOff && k == 0) {
                v.x = farCoordinate(rng);
                v.y = rng.pick(2) ? farCoordinate(rng) : v.x;
            }
            if (rng.pick(3) == 0 && k > 0) v.invW = call.vertices[0].invW; // flat in depth
            call.vertices.push_back(v);
        }
        s.calls.push_back(call);
    }
    return s;
}

namespace {

struct Target {
    std::vector<uint16_t> pixels;
    int stride, bitsPerPixel;
} target;

int SGL_CALL giveTarget(AddressCallbackParams* p) {
    p->address = target.pixels.data();
    p->stride = uint16_t(target.stride);
    p->bitsPerPixel = uint8_t(target.bitsPerPixel);
    return 0;
}

} // namespace

std::vector<uint16_t> drawBandScene(const BandScene& s, const BandTarget& t) {
    static int32_t status;
    sgl_use_address_mode(giveTarget, &status);
    target.stride = t.stride;
    target.bitsPerPixel = t.bitsPerPixel;
    target.pixels.assign(size_t(t.stride / 2) * size_t(t.height), 0xBEEF);
    const int device = sgl_create_screen_device(0, t.width, t.height, 0, 1);
    std::vector<int> names;
    for (size_t m = 0; m < s.maps.size(); ++m) {
        sgl_intermediate_map map;
        std::memcpy(map.id, "IMAP", 4);
        map.xDim = map.yDim = 64;
        map.pixels = const_cast<uint32_t*>(s.maps[m].data());
        names.push_back(sgl_create_texture(s.mapTypes[m], 1, 0, 0, &map, nullptr));
    }
    SGLCONTEXT ctx;
    std::memset(&ctx, 0, sizeof ctx);
    sgltri_startofframe(&ctx);
    for (const BandScene::Call& c : s.calls) {
        ctx.flags = c.flags;
        ctx.textureName = c.texture < 0 ? 0 : names[size_t(c.texture)];
        std::vector<SGLVERTEX> vs = c.vertices;
        if (c.kind == 0) {
            sgltri_points(&ctx, 1, vs.data());
        } else if (c.kind == 1) {
            uint16_t pair[1][2] = {{0, 1}};
            sgltri_lines(&ctx, 1, pair, vs.data());
        } else {
            int32_t triple[1][3] = {{0, 1, 2}};
            sgltri_triangles(&ctx, 1, triple, vs.data());
        }
    }
    if (device < 0 || sgltri_render(&ctx) != 0) target.pixels.clear(); // says it failed
    for (int name : names)
        sgl_delete_texture(name);
    sgl_delete_device(device);
    sgl_use_address_mode(nullptr, nullptr);
    return target.pixels;
}

uint32_t pixelSum(const std::vector<uint16_t>& pixels) {
    uint32_t h = 2166136261u;
    for (uint16_t p : pixels) {
        h = (h ^ (p & 0xFF)) * 16777619u;
        h = (h ^ (p >> 8)) * 16777619u;
    }
    return h;
}
