#include "host/scene.h"

#include <chrono>
#include <cmath>

#include "host/hash.h"

namespace {

using Clock = std::chrono::steady_clock;

// Adds the time of its own lifetime to one stage.
struct Timed {
    double& slot;
    Clock::time_point start = Clock::now();
    ~Timed() { slot += std::chrono::duration<double>(Clock::now() - start).count(); }
};

constexpr float kPi = 3.14159265f;
constexpr uint32_t kWhite = 0xFFFFFFFF;

// Camera depths of the things painted on the far sky, back to front.
constexpr float kSkyDepth = 5000, kStarDepth = 4500, kSunDepth = 4000, kGlowDepth = 3900,
                kCloudDepth = 3000, kHudDepth = 0.3f;

struct FrameContext {
    DemoScene& scene;
    const KxEntryPoints& api;
    StageTimes& times;
    Camera camera;
    int frame;
};

void draw(FrameContext& fc, const HostVertex* v, int n) {
    Timed t{fc.times.render};
    fc.api.DrawPrimitive(v, n);
}

void select(FrameContext& fc, TextureRecord* texture) {
    Timed t{fc.times.textures};
    fc.api.SelectTexture(texture);
}

void drawPolygon(FrameContext& fc, const WorldVertex* polygon, int n) {
    HostVertex out[kMaxFanVertices];
    int m = projectPolygon(fc.camera, polygon, n, out);
    if (m >= 3) draw(fc, out, m);
}

// An upright rectangle facing -z (toward the camera), textured 0..1.
void drawBillboard(FrameContext& fc, float x0, float x1, float y0, float y1, float z, uint32_t top,
                   uint32_t bottom) {
    WorldVertex q[4] = {{{x0, y1, z}, 0, 0, top},
                        {{x1, y1, z}, 1, 0, top},
                        {{x1, y0, z}, 1, 1, bottom},
                        {{x0, y0, z}, 0, 1, bottom}};
    drawPolygon(fc, q, 4);
}

// A flat ground rectangle at height y, textured 0..1.
void drawGround(FrameContext& fc, float x0, float x1, float z0, float z1, float y,
                uint32_t nearColour, uint32_t farColour) {
    WorldVertex q[4] = {{{x0, y, z1}, 0, 0, farColour},
                        {{x1, y, z1}, 1, 0, farColour},
                        {{x1, y, z0}, 1, 1, nearColour},
                        {{x0, y, z0}, 0, 1, nearColour}};
    drawPolygon(fc, q, 4);
}

// A screen rectangle at a camera depth, clipped to the screen.
void drawScreenRect(FrameContext& fc, float x0, float y0, float x1, float y1, float depth,
                    uint32_t top, uint32_t bottom) {
    const Camera& c = fc.camera;
    HostVertex q[4] = {
        screenVertex(c, x0, y0, depth, top, 0, 0), screenVertex(c, x1, y0, depth, top, 1, 0),
        screenVertex(c, x1, y1, depth, bottom, 1, 1), screenVertex(c, x0, y1, depth, bottom, 0, 1)};
    HostVertex out[kMaxFanVertices];
    int n = clipToScreen(c, q, 4, out);
    if (n >= 3) draw(fc, out, n);
}

// A disc as one 16-vertex fan: the centre and 15 rim points, the last
// closing the ring.
void drawScreenDisc(FrameContext& fc, float cx, float cy, float radius, float depth,
                    uint32_t centre, uint32_t rim) {
    HostVertex fan[16];
    fan[0] = screenVertex(fc.camera, cx, cy, depth, centre);
    for (int i = 0; i < 15; ++i) {
        float a = float(i % 14) * 2 * kPi / 14;
        fan[i + 1] = screenVertex(fc.camera, cx + radius * std::cos(a), cy + radius * std::sin(a),
                                  depth, rim);
    }
    // Discs are placed on the screen whole; one that is not is left out.
    if (cx - radius >= 0 && cy - radius >= 0 && cx + radius <= kScreenWidth &&
        cy + radius <= kScreenHeight)
        draw(fc, fan, 16);
}

void drawLine(FrameContext& fc, float x0, float y0, float x1, float y1, uint32_t colour) {
    HostVertex v[2] = {screenVertex(fc.camera, x0, y0, kHudDepth, colour),
                       screenVertex(fc.camera, x1, y1, kHudDepth, colour)};
    draw(fc, v, 2);
}

float signZ(int k) {
    return 12.0f + 4.0f * float(k);
}
float signX(int k) {
    return k % 2 ? -4.6f : 4.6f;
}

Vec3 crateCentre(int frame, const Camera& camera) {
    return Vec3{camera.position.x * 0.4f, 1.55f + 0.15f * std::sin(float(frame) * 0.12f),
                camera.position.z + 8.0f};
}

// ---- The parts of a frame, in drawing order ----

void drawSky(FrameContext& fc) {
    select(fc, nullptr);
    const uint32_t bands[4] = {0xFF141438, 0xFF3A2A66, 0xFF9A4C78, 0xFFF0A060};
    const float edges[4] = {0, 95, 165, 225};
    for (int i = 0; i < 3; ++i)
        drawScreenRect(fc, 0, edges[i], kScreenWidth, edges[i + 1], kSkyDepth, bands[i],
                       bands[i + 1]);
    // Stars in the dark upper sky; some of them twinkle.
    for (int i = 0; i < 70; ++i) {
        uint32_t h = hashOf(uint32_t(i) + 7);
        float x = float(h % kScreenWidth), y = float((h >> 10) % 120);
        uint32_t level = 150 + (hashOf(uint32_t(i) * 31 + uint32_t(fc.frame / 6)) % 106);
        HostVertex star =
            screenVertex(fc.camera, x, y, kStarDepth,
                         0xFF000000 | level << 16 | level << 8 | std::min(255u, level + 30));
        draw(fc, &star, 1);
    }
    drawScreenDisc(fc, 470, 176, 26, kSunDepth, 0xFFFFF4D0, 0xFFFFC070);
}

void drawHills(FrameContext& fc) {
    const float distance = 1400;
    const float hills[6][3] = {{-1700, 900, 150}, {-900, 700, 110}, {-300, 800, 170},
                               {450, 900, 130},   {1100, 700, 160}, {1800, 900, 120}};
    Vec3 eye = fc.camera.position;
    for (const auto& h : hills) {
        WorldVertex hump[8];
        float cx = eye.x + h[0], half = h[1] / 2, height = h[2];
        hump[0] = {{cx - half, -60, eye.z + distance}, 0, 0, 0xFF281C3C};
        for (int i = 0; i < 6; ++i) {
            float a = kPi * float(i + 1) / 7;
            hump[i + 1] = {{cx - half * std::cos(a), height * std::sin(a), eye.z + distance},
                           0,
                           0,
                           0xFF54406E};
        }
        hump[7] = {{cx + half, -60, eye.z + distance}, 0, 0, 0xFF281C3C};
        drawPolygon(fc, hump, 8);
    }
    // Far fields between the end of the drawn ground and the horizon.
    drawGround(fc, eye.x - 2500, eye.x + 2500, eye.z + 72, eye.z + 1500, -0.05f, 0xFF3E5A2E,
               0xFF76607A);
}

void drawGroundTiles(FrameContext& fc) {
    DemoScene& s = fc.scene;
    float z = fc.camera.position.z;
    select(fc, s.grassTexture);
    for (float tz = std::floor((z - 8) / 8) * 8; tz < z + 80; tz += 8)
        for (int side = -1; side <= 1; side += 2)
            for (int i = 0; i < 5; ++i) {
                float x0 = side < 0 ? -43 + 8 * float(i) : 3 + 8 * float(i);
                drawGround(fc, x0, x0 + 8, tz, tz + 8, 0, kWhite, kWhite);
            }
    select(fc, s.roadTexture);
    for (float tz = std::floor((z - 4) / 4) * 4; tz < z + 80; tz += 4)
        drawGround(fc, -3, 3, tz, tz + 4, 0, kWhite, kWhite);
}

void drawSigns(FrameContext& fc) {
    float z = fc.camera.position.z;
    int first = std::max(0, int(std::ceil((z - 12) / 4)));
    for (int k = first; signZ(k) < z + 56; ++k) {
        float x = signX(k), sz = signZ(k);
        select(fc, nullptr);
        drawBillboard(fc, x - 0.09f, x + 0.09f, 0, 1.25f, sz + 0.02f, 0xFF6E5A44, 0xFF3C3026);
        select(fc, fc.scene.signs[size_t(k % kSignTextureCount)]);
        drawBillboard(fc, x - 0.95f, x + 0.95f, 1.2f, 3.1f, sz, kWhite, 0xFFD0D0D0);
    }
}

void drawPowerLine(FrameContext& fc) {
    float z = fc.camera.position.z;
    const float x = -7.5f, top = 6.2f;
    select(fc, nullptr);
    for (float pz = std::floor((z - 16) / 16) * 16; pz < z + 110; pz += 16) {
        drawBillboard(fc, x - 0.13f, x + 0.13f, 0, 6.6f, pz, 0xFF4A3A2C, 0xFF2A2018);
        drawBillboard(fc, x - 1.0f, x + 1.0f, top - 0.12f, top + 0.1f, pz - 0.01f, 0xFF4A3A2C,
                      0xFF3A2C20);
        // Two sagging wires to the next pole, as line segments.
        for (int w = 0; w < 2; ++w) {
            float wx = x + (w ? 0.85f : -0.85f);
            for (int seg = 0; seg < 6; ++seg) {
                float t0 = float(seg) / 6, t1 = float(seg + 1) / 6;
                Vec3 a{wx, top + 0.1f - 0.9f * 4 * t0 * (1 - t0), pz + 16 * t0};
                Vec3 b{wx, top + 0.1f - 0.9f * 4 * t1 * (1 - t1), pz + 16 * t1};
                HostVertex line[2];
                if (projectSegment(fc.camera, a, b, 0xFF1E1A24, 0xFF1E1A24, line))
                    draw(fc, line, 2);
            }
        }
    }
}

void drawCrate(FrameContext& fc) {
    DemoScene& s = fc.scene;
    // The monitor face shows an animation: every second frame the texture
    // takes the next picture in place.
    int picture = (fc.frame / 2) % kMonitorFrames;
    if (picture != s.monitorShown) {
        select(fc, s.monitorTexture);
        Timed t{fc.times.textures};
        fc.api.ModifyTexture(s.monitorTexture, s.monitorFrames[size_t(picture)].pixels.data());
        s.monitorShown = picture;
    }

    Vec3 c = crateCentre(fc.frame, fc.camera);
    float ay = float(fc.frame) * 0.05f, ax = 0.35f + 0.4f * std::sin(float(fc.frame) * 0.031f);
    const float half = 0.75f;
    auto rotate = [&](Vec3 p) {
        float x = p.x * std::cos(ay) + p.z * std::sin(ay);
        float z = -p.x * std::sin(ay) + p.z * std::cos(ay);
        float y = p.y * std::cos(ax) - z * std::sin(ax);
        z = p.y * std::sin(ax) + z * std::cos(ax);
        return Vec3{x, y, z};
    };
    Vec3 corners[8];
    for (int i = 0; i < 8; ++i) {
        Vec3 r = rotate(Vec3{i & 1 ? half : -half, i & 2 ? half : -half, i & 4 ? half : -half});
        corners[i] = Vec3{c.x + r.x, c.y + r.y, c.z + r.z};
    }
    // Corners of each face clockwise as seen from outside, with its texture.
    const int faces[6][4] = {{2, 3, 1, 0}, {7, 6, 4, 5}, {3, 7, 5, 1},
                             {6, 2, 0, 4}, {6, 7, 3, 2}, {5, 4, 0, 1}};
    const Vec3 normals[6] = {{0, 0, -1}, {0, 0, 1}, {1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
    TextureRecord* textures[6] = {s.crateTexture,  s.metalTexture, s.monitorTexture,
                                  s.plasmaTexture, s.crateTexture, s.metalTexture};
    const float light[3] = {-0.45f, 0.75f, -0.48f};
    for (int f = 0; f < 6; ++f) {
        WorldVertex quad[4];
        Vec3 n = rotate(normals[f]);
        float lit = 0.5f + 0.5f * std::max(0.0f, n.x * light[0] + n.y * light[1] + n.z * light[2]);
        uint32_t level = uint32_t(lit * 255);
        uint32_t colour = 0xFF000000 | level << 16 | level << 8 | level;
        const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        for (int i = 0; i < 4; ++i)
            quad[i] = {corners[faces[f][i]], uv[i][0], uv[i][1], colour};
        HostVertex out[kMaxFanVertices];
        int m = projectPolygon(fc.camera, quad, 4, out);
        if (m < 3 || !facesCamera(out, m)) continue;
        select(fc, textures[f]);
        draw(fc, out, m);
    }
}

void drawClouds(FrameContext& fc) {
    select(fc, fc.scene.cloudTexture);
    const float clouds[4][3] = {{0, 28, 250}, {330, 62, 200}, {610, 16, 280}, {820, 80, 180}};
    for (const auto& c : clouds) {
        float x = std::fmod(c[0] + float(fc.frame) * 0.8f, 1000.0f) - 220.0f;
        drawScreenRect(fc, x, c[1], x + c[2], c[1] + c[2] * 0.55f, kCloudDepth, kWhite, kWhite);
    }
}

void drawTrees(FrameContext& fc) {
    float z = fc.camera.position.z;
    select(fc, fc.scene.treeTexture);
    // Back to front: translucent things are drawn in the order they come.
    int last = int(std::floor((z + 70) / 9)), first = std::max(0, int(std::ceil((z - 3) / 9)));
    for (int m = last; m >= first; --m)
        for (int side = -1; side <= 1; side += 2) {
            uint32_t h = hashOf(uint32_t(m * 2 + (side > 0)));
            float x = float(side) * (7.0f + float(h % 300) / 100.0f);
            if (side < 0 && x > -8.2f) x -= 1.8f; // keep clear of the power line
            float tz = 9.0f * float(m) + 3.0f + float((h >> 9) % 300) / 100.0f;
            float height = 4.2f + float((h >> 18) % 150) / 100.0f;
            drawBillboard(fc, x - height / 4, x + height / 4, 0, height, tz, kWhite, kWhite);
        }
}

void drawEffects(FrameContext& fc) {
    select(fc, nullptr);
    drawScreenDisc(fc, 470, 176, 95, kGlowDepth, 0x90FFE8B0, 0x00FF9050);

    // The crate's shadow: dark in the middle, fading out at the rim.
    Vec3 c = crateCentre(fc.frame, fc.camera);
    WorldVertex blob[16];
    blob[0] = {{c.x, 0.03f, c.z}, 0, 0, 0xA0000000};
    for (int i = 0; i < 15; ++i) {
        float a = -float(i % 14) * 2 * kPi / 14;
        blob[i + 1] = {
            {c.x + 1.3f * std::cos(a), 0.03f, c.z + 1.0f * std::sin(a)}, 0, 0, 0x00000000};
    }
    HostVertex fan[16];
    if (projectFan(fc.camera, blob, 16, fan)) draw(fc, fan, 16);

    // Sparks circling the crate.
    for (int i = 0; i < 28; ++i) {
        float a = float(i) * 2 * kPi / 28 + float(fc.frame) * 0.09f;
        Vec3 p{c.x + 1.7f * std::cos(a), c.y + 0.5f * std::sin(a * 3 + float(fc.frame) * 0.2f),
               c.z + 1.7f * std::sin(a)};
        HostVertex spark;
        if (projectPoint(fc.camera, p, i % 2 ? 0xFFFFE070 : 0xFFFF8030, spark)) draw(fc, &spark, 1);
    }
}

void drawRadar(FrameContext& fc) {
    const float cx = 572, cy = 404, r = 56;
    drawScreenDisc(fc, cx, cy, r + 4, kHudDepth + 0.01f, 0xB0081810, 0x90102820);
    const uint32_t green = 0xFF40F080, dim = 0xFF208048;
    for (int i = 0; i < 20; ++i) {
        float a0 = float(i) * 2 * kPi / 20, a1 = float(i + 1) * 2 * kPi / 20;
        drawLine(fc, cx + r * std::cos(a0), cy + r * std::sin(a0), cx + r * std::cos(a1),
                 cy + r * std::sin(a1), green);
    }
    drawLine(fc, cx - r, cy, cx + r, cy, dim);
    drawLine(fc, cx, cy - r, cx, cy + r, dim);
    float sweep = float(fc.frame) * 0.12f;
    drawLine(fc, cx, cy, cx + r * std::cos(sweep), cy + r * std::sin(sweep), 0xFFB0FFC0);
    // Blips: the signs ahead, and the crate.
    float z = fc.camera.position.z;
    for (int k = std::max(0, int(std::ceil((z - 12) / 4))); signZ(k) < z + 50; ++k) {
        HostVertex blip = screenVertex(fc.camera, cx + signX(k) * 4, cy + 20 - (signZ(k) - z),
                                       kHudDepth, 0xFFFFE060);
        draw(fc, &blip, 1);
    }
    HostVertex crate = screenVertex(fc.camera, cx + crateCentre(fc.frame, fc.camera).x * 4, cy + 13,
                                    kHudDepth, 0xFFFFFFFF);
    draw(fc, &crate, 1);
}

void blit(FrameContext& fc, const HostImage& image, int x, int y) {
    Timed t{fc.scene.firstBlitDone ? fc.times.blits : fc.times.render};
    fc.scene.firstBlitDone = true;
    fc.api.BltToCard(image.pixels.data(), x, y, image.width, image.height, image.width,
                     image.format, image.paletteOrNull());
}

void stretchBlit(FrameContext& fc, const HostImage& image, int x, int y, int width, int height) {
    Timed t{fc.scene.firstBlitDone ? fc.times.blits : fc.times.render};
    fc.scene.firstBlitDone = true;
    fc.api.StretchBltToCard(image.pixels.data(), x, y, width, height, image.width, image.height,
                            image.width, image.format, image.paletteOrNull());
}

TextureRecord* load(const KxEntryPoints& api, const HostImage& image) {
    return api.LoadTexture(image.pixels.data(), image.width, image.height, 0, image.format, 0,
                           image.paletteOrNull());
}

} // namespace

Camera sceneCamera(int frame) {
    float f = float(frame);
    Camera camera;
    camera.position =
        Vec3{0.8f * std::sin(f * 0.045f), 1.7f + 0.04f * std::sin(f * 0.3f), f * 1.25f};
    camera.yaw = 0.06f * std::sin(f * 0.03f);
    camera.pitch = 0.1f;
    camera.width = kScreenWidth;
    camera.height = kScreenHeight;
    return camera;
}

void sceneLoad(DemoScene& s, const KxEntryPoints& api) {
    s.api = &api;
    api.ssChromaKey(1, kKeyColour);
    api.ssAlphaBlend(0);
    s.palette = makeGlobalPalette(0);
    api.LoadPalette(s.palette.data());

    s.signImages.clear();
    for (int k = 0; k < kSignTextureCount; ++k)
        s.signImages.push_back(makeSignTexture(k + 1));
    s.monitorFrames.clear();
    for (int k = 0; k < kMonitorFrames; ++k)
        s.monitorFrames.push_back(makeMonitorFrame(k));
    s.road = makeRoadTexture();
    s.grass = makeGrassTexture();
    s.crate = makeCrateTexture();
    s.plasma = makePlasmaTexture();
    s.metal = makeMetalTexture();
    s.cloud = makeCloudTexture();
    s.tree = makeTreeTexture();
    s.ship = makeShipSprite();
    s.title = makeTitlePanel();
    drawScoreImage(s.score, 0);

    s.signs.clear();
    for (const HostImage& image : s.signImages)
        s.signs.push_back(load(api, image));
    s.roadTexture = load(api, s.road);
    s.grassTexture = load(api, s.grass);
    s.crateTexture = load(api, s.crate);
    s.plasmaTexture = load(api, s.plasma);
    s.metalTexture = load(api, s.metal);
    s.monitorTexture = load(api, s.monitorFrames[0]);
    s.cloudTexture = load(api, s.cloud);
    s.treeTexture = load(api, s.tree);
    s.monitorShown = -1;
}

void sceneFrame(DemoScene& s, int frame, StageTimes& times) {
    const KxEntryPoints& api = *s.api;
    FrameContext fc{s, api, times, sceneCamera(frame), frame};
    s.firstBlitDone = false;

    // Keyed for the tree texture and the sprites; the palette cycles the
    // plasma colours every fourth frame.
    api.ssChromaKey(1, kKeyColour);
    if (frame > 0 && frame % 4 == 0) {
        s.palette = makeGlobalPalette(frame / 4);
        Timed t{times.textures};
        api.LoadPalette(s.palette.data());
    }

    api.ssAlphaBlend(0);
    drawSky(fc);
    drawHills(fc);
    drawGroundTiles(fc);
    drawSigns(fc);
    drawPowerLine(fc);
    drawCrate(fc);

    api.ssAlphaBlend(1);
    drawClouds(fc);
    drawTrees(fc);
    drawEffects(fc);
    drawRadar(fc);

    // 2D over the scene: the player's ship and the score keyed, the title
    // panel stretched and opaque.
    blit(fc, s.ship, 272, 372 + int(std::lround(5 * std::sin(float(frame) * 0.25f))));
    drawScoreImage(s.score, frame * 10);
    blit(fc, s.score, kScreenWidth - s.score.width - 16, 20);
    api.ssChromaKey(0, kKeyColour);
    stretchBlit(fc, s.title, 16, 14, 240, 60);

    Timed t{times.render};
    api.PageFlip();
}

int sceneTextureCount(const DemoScene& s) {
    int n = int(s.signs.size());
    for (TextureRecord* t : {s.roadTexture, s.grassTexture, s.crateTexture, s.plasmaTexture,
                             s.metalTexture, s.monitorTexture, s.cloudTexture, s.treeTexture})
        n += t != nullptr;
    return n;
}

void sceneUnload(DemoScene& s) {
    if (s.api) s.api->ResetTextures();
    s.signs.clear();
    s.roadTexture = s.grassTexture = s.crateTexture = s.plasmaTexture = nullptr;
    s.metalTexture = s.monitorTexture = s.cloudTexture = s.treeTexture = nullptr;
}
