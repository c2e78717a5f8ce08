#include "bench/soak/driven_scene.h"

#include <cstddef>

#include "host/frame_grab.h"
#include "host/hash.h"
#include "host/host_library.h"

namespace {

constexpr uint32_t kFormat8888 = 1;
// 48 textures of 256 x 256 at 2 bytes a texel are 6 MiB, more than the
// card's 4 MiB: drawing 8 of them a frame in turn makes the cache evict.
constexpr int kChurnTextures = 48, kChurnSide = 256, kChurnDrawn = 8;

// SGL's texels (bytes red, green, blue, transparency) as a host's 8888
// colours (0xAARRGGBB).
std::vector<uint32_t> hostImage(const SceneTexture& t) {
    std::vector<uint32_t> image;
    image.reserve(t.texels.size());
    for (uint32_t texel : t.texels) {
        const uint32_t r = texel & 0xFF, g = texel >> 8 & 0xFF, b = texel >> 16 & 0xFF;
        const uint32_t alpha = 255 - (texel >> 24);
        image.push_back(alpha << 24 | r << 16 | g << 8 | b);
    }
    return image;
}

// A churn texture's image: stripes whose colours and slope come from `seed`.
void paintChurnImage(std::vector<uint32_t>& image, uint32_t seed) {
    image.resize(size_t(kChurnSide) * kChurnSide);
    const uint32_t a = 0xFF000000u | (hashOf(seed) & 0xFFFFFF);
    const uint32_t b = 0xFF000000u | (hashOf(seed ^ 0x5A5A5A5Au) & 0xFFFFFF);
    const int slope = 1 + int(hashOf(seed + 1) % 7);
    for (int y = 0; y < kChurnSide; ++y)
        for (int x = 0; x < kChurnSide; ++x)
            image[size_t(y) * kChurnSide + size_t(x)] = ((x + slope * y) / 16) & 1 ? a : b;
}

TextureRecord* loadChurnTexture(DrivenScene& s, int k, uint32_t seed) {
    std::vector<uint32_t>& image = s.churnImages[s.churnShown[size_t(k)]][size_t(k)];
    paintChurnImage(image, seed);
    return s.api->LoadTexture(image.data(), kChurnSide, kChurnSide, 0, kFormat8888, 0, nullptr);
}

// Every frame: one texture unloaded and loaded again with a new image, one
// modified, and eight drawn on quads of their own (which brings back, by
// upload, textures evicted five frames earlier).
void churnFrame(DrivenScene& s, int frame) {
    const KxEntryPoints& api = *s.api;
    const int reloaded = frame % kChurnTextures;
    api.UnloadTexture(s.churnTextures[size_t(reloaded)]);
    s.churnTextures[size_t(reloaded)] = loadChurnTexture(s, reloaded, uint32_t(frame) * 2 + 1);

    const int modified = (frame * 7 + 3) % kChurnTextures;
    int& shown = s.churnShown[size_t(modified)];
    shown ^= 1;
    std::vector<uint32_t>& image = s.churnImages[shown][size_t(modified)];
    paintChurnImage(image, uint32_t(frame) * 2);
    api.ModifyTexture(s.churnTextures[size_t(modified)], image.data());

    api.ssAlphaBlend(0);
    for (int i = 0; i < kChurnDrawn; ++i) {
        const int k = (frame * kChurnDrawn + i) % kChurnTextures;
        const uint32_t h = hashOf(uint32_t(frame * kChurnDrawn + i));
        const float x = float(h % 592), y = float(h / 592 % 432), q = 0.5f;
        const HostVertex quad[4] = {{x, y, 1 - q, q, 0, 0, 0xFFFFFFFFu},
                                    {x + 48, y, 1 - q, q, q, 0, 0xFFFFFFFFu},
                                    {x + 48, y + 48, 1 - q, q, q, q, 0xFFFFFFFFu},
                                    {x, y + 48, 1 - q, q, 0, q, 0xFFFFFFFFu}};
        api.SelectTexture(s.churnTextures[size_t(k)]);
        api.DrawPrimitive(quad, 4);
    }
}

} // namespace

void drivenLoad(DrivenScene& s, const KxEntryPoints& api, int draws, bool churn) {
    s = DrivenScene{};
    s.api = &api;
    s.scene = heavyScene();
    const size_t total = s.scene.draws.size();
    const size_t wanted = draws > 0 && size_t(draws) < total ? size_t(draws) : total;
    for (size_t k = 0; k < wanted; ++k)
        s.draws.push_back(&s.scene.draws[k * total / wanted]);
    for (const SceneTexture& t : s.scene.textures) {
        s.images.push_back(hostImage(t));
        s.textures.push_back(
            api.LoadTexture(s.images.back().data(), t.side, t.side, 0, kFormat8888, 0, nullptr));
    }
    s.churn = churn;
    if (!churn) return;
    for (std::vector<std::vector<uint32_t>>& images : s.churnImages)
        images.resize(kChurnTextures);
    s.churnShown.assign(kChurnTextures, 0);
    for (int k = 0; k < kChurnTextures; ++k)
        s.churnTextures.push_back(loadChurnTexture(s, k, uint32_t(k) * 0x9E3779B9u));
}

void drivenFrame(DrivenScene& s, int frame) {
    const KxEntryPoints& api = *s.api;
    std::vector<HostVertex> fan;
    for (const Draw* d : s.draws) {
        api.ssAlphaBlend(d->blending ? 1 : 0);
        api.SelectTexture(d->texture < 0 ? nullptr : s.textures[size_t(d->texture)]);
        fan.clear();
        for (const SGLVERTEX& v : d->fan)
            fan.push_back(HostVertex{v.x, v.y, v.z, v.invW, v.uOverW, v.vOverW, v.colour});
        api.DrawPrimitive(fan.data(), int32_t(fan.size()));
    }
    if (s.churn) churnFrame(s, frame);
    api.SelectTexture(nullptr);
    api.PageFlip();
}

void drivenUnload(DrivenScene& s) {
    for (TextureRecord* t : s.textures)
        s.api->UnloadTexture(t);
    for (TextureRecord* t : s.churnTextures)
        s.api->UnloadTexture(t);
    s.textures.clear();
    s.churnTextures.clear();
}

uint32_t shownFrameChecksum(const KxEntryPoints& api) {
    const RgbImage image = readBackFrame(api, kxScreenWidth, kxScreenHeight);
    uint32_t sum = 2166136261u; // FNV-1a
    for (uint8_t byte : image.rgb)
        sum = (sum ^ byte) * 16777619u;
    return sum;
}

void chooseQualitySettings(int threads) {
    setVariable("KXPWRVR_FILTER", "bilinear");
    setVariable("KXPWRVR_ANTIALIAS", "2");
    setVariable("KXPWRVR_DITHER", "on");
    setVariable("KXPWRVR_THREADS", std::to_string(threads));
}
