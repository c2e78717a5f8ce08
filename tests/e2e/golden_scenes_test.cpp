// Short fixed scenes played through the exported entry points, each read
// back from the screen and compared bit for bit with its golden image. Spot
// checks of a few pixels say what each scene must show, so that a golden
// image accepted by mistake does not hide a fault.
#include <gtest/gtest.h>

#include <vector>

#include "api/kxapi.h"
#include "platform/posix/standin_control.h"
#include "softsgl/softsgl_control.h"
#include "host/font.h"
#include "host/scene.h"
#include "tests/e2e/e2e_support.h"

namespace {

const uint32_t kKey = 0xFFFF00FF;

// Fourteen points on a circle of radius 100; a disc fan repeats the first.
const float kRing[14][2] = {{100, 0},   {90, 43},  {62, 78},  {22, 97},   {-22, 97},
                            {-62, 78},  {-90, 43}, {-100, 0}, {-90, -43}, {-62, -78},
                            {-22, -97}, {22, -97}, {62, -78}, {90, -43}};

void drawQuad(float x0, float y0, float x1, float y1, float invW, uint32_t colour) {
    HostVertex q[4] = {vertex(x0, y0, invW, colour), vertex(x1, y0, invW, colour),
                       vertex(x1, y1, invW, colour), vertex(x0, y1, invW, colour)};
    DrawPrimitive(q, 4);
}

// A textured floor tile seen in perspective: the far edge (top) at 1/w 0.5,
// the near edge at 1.0, texture coordinates 0..1.
void drawTile(float x, float y, float size) {
    float inset = size / 4;
    HostVertex q[4] = {vertex(x + inset, y, 0.5f, 0xFFFFFFFF, 0, 0),
                       vertex(x + size - inset, y, 0.5f, 0xFFFFFFFF, 1, 0),
                       vertex(x + size, y + size, 1.0f, 0xFFFFFFFF, 1, 1),
                       vertex(x, y + size, 1.0f, 0xFFFFFFFF, 0, 1)};
    DrawPrimitive(q, 4);
}

std::vector<uint32_t> rainbowPalette() {
    std::vector<uint32_t> p(256);
    for (int i = 0; i < 256; ++i) {
        uint32_t r = uint32_t(i < 128 ? 255 - 2 * i : 0),
                 g = uint32_t(i < 128 ? 2 * i : 511 - 2 * i),
                 b = uint32_t(i < 128 ? 0 : 2 * i - 256);
        p[size_t(i)] = 0xFF000000 | r << 16 | g << 8 | b;
    }
    return p;
}

int countColour(const RgbImage& image, int x0, int y0, int x1, int y1, uint32_t rgb) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            n += rgbAt(image, x, y) == rgb;
    return n;
}

// An indexed disc on the key colour (index 0), edge ring index 1, inside index 2.
std::vector<uint8_t> discImage(int size) {
    std::vector<uint8_t> pixels(size_t(size) * size_t(size));
    float c = float(size - 1) / 2, r = float(size) / 2 - 1;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float d2 = (float(x) - c) * (float(x) - c) + (float(y) - c) * (float(y) - c);
            pixels[size_t(y) * size_t(size) + size_t(x)] = d2 > r * r               ? 0
                                                           : d2 > (r - 3) * (r - 3) ? 1
                                                                                    : 2;
        }
    return pixels;
}

} // namespace

TEST(GoldenScenes, FlatAndGouraudFansWithDepthPointsAndLines) {
    ASSERT_EQ(Init(), 1);
    // The Gouraud quad goes first and slants from near (left) to far (right);
    // the flat red quad lies behind its left part and in front of its right.
    HostVertex gouraud[4] = {vertex(200, 140, 0.8f, 0xFFFF0000), vertex(480, 140, 0.2f, 0xFF00FF00),
                             vertex(480, 380, 0.2f, 0xFF0000FF),
                             vertex(200, 380, 0.8f, 0xFFFFFFFF)};
    DrawPrimitive(gouraud, 4);
    drawQuad(60, 60, 420, 300, 0.5f, 0xFFC03020);
    // A 16-vertex disc fan, yellow centre and orange rim, nearest of all.
    HostVertex disc[16];
    disc[0] = vertex(540, 110, 0.9f, 0xFFFFFF40);
    for (int i = 0; i < 15; ++i)
        disc[i + 1] =
            vertex(540 + 0.8f * kRing[i % 14][0], 110 + 0.8f * kRing[i % 14][1], 0.9f, 0xFFFF6000);
    DrawPrimitive(disc, 16);
    for (int i = 0; i < 16; ++i) {
        HostVertex point =
            vertex(40 + 12 * float(i), 440, 0.9f, 0xFF0000FF | uint32_t(i * 16) << 8);
        DrawPrimitive(&point, 1);
    }
    HostVertex line[2] = {vertex(20, 470, 0.9f, 0xFFFFFFFF), vertex(620, 320, 0.9f, 0xFF00FFFF)};
    DrawPrimitive(line, 2);
    HostVertex behind[2] = {vertex(20, 100, 0.1f, 0xFF00FF00), vertex(380, 100, 0.1f, 0xFF00FF00)};
    DrawPrimitive(behind, 2); // hidden by the red quad but for its first 40 pixels
    PageFlip();

    RgbImage frame = shownFrame();
    EXPECT_EQ(rgbAt(frame, 100, 200), 0xC03020u); // the red quad alone
    EXPECT_EQ(rgbAt(frame, 400, 200), 0xC03020u); // red in front of the slant's far right
    EXPECT_NE(rgbAt(frame, 260, 200), 0xC03020u); // the slant's near left hides the red
    EXPECT_EQ(rgbAt(frame, 10, 10), 0u);          // nothing drawn there
    EXPECT_EQ(rgbAt(frame, 40, 100), 0x00FC00u);  // the far line, left of the quad
    EXPECT_EQ(rgbAt(frame, 100, 100), 0xC03020u); // and hidden behind it
    EXPECT_EQ(rgbAt(frame, 40, 440), 0x0000F8u);  // first point; the top row is screen row 0
    EXPECT_TRUE(matchesGolden("fans_depth", frame));
    Shutdown();
}

TEST(GoldenScenes, PerspectiveTilesInEveryTextureFormat) {
    ASSERT_EQ(Init(), 1);
    ssChromaKey(1, kKey);
    std::vector<uint32_t> global = rainbowPalette();
    LoadPalette(global.data());

    std::vector<uint32_t> checkerPalette(256, 0xFF000000), discPalette(256, 0xFF000000),
        stripePalette(256, 0xFF000000);
    checkerPalette[0] = 0xFF2040C0;
    checkerPalette[1] = 0xFFFFFFFF;
    discPalette[0] = kKey;
    discPalette[2] = 0xFFFFE020;
    const uint32_t stripes[6] = {0xFFE04040, 0xFFE0A040, 0xFFE0E040,
                                 0xFF40E040, 0xFF4040E0, 0xFFA040E0};
    for (int i = 0; i < 6; ++i)
        stripePalette[size_t(i)] = stripes[i];

    std::vector<uint8_t> checker(64 * 64), ramp(64 * 64), rgba(64 * 64 * 4), rgb(64 * 64 * 3),
        wide(100 * 60);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            size_t i = size_t(y) * 64 + size_t(x);
            checker[i] = uint8_t(((x / 8) + (y / 8)) % 2);
            ramp[i] = uint8_t(x * 4);
            bool border = y < 2 || x > 61 || y > 61; // none on the left: alpha 0 there
            uint8_t bgra[4] = {0x20, 0x20, 0xF0, uint8_t(border ? 0xFF : x * 4)};
            for (int c = 0; c < 4; ++c)
                rgba[i * 4 + size_t(c)] = bgra[c];
            uint8_t bgr[3] = {0x80, uint8_t(y * 4), uint8_t(x * 4)};
            for (int c = 0; c < 3; ++c)
                rgb[i * 3 + size_t(c)] = bgr[c];
        }
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x)
            wide[size_t(y) * 100 + size_t(x)] = uint8_t(x % 25 == 0 ? 1 : y / 10);
    std::vector<uint8_t> disc = discImage(64);

    TextureRecord* textures[6] = {
        LoadTexture(checker.data(), 64, 64, 0, 0, 0, checkerPalette.data()),
        LoadTexture(ramp.data(), 64, 64, 0, 0, 0, nullptr),
        LoadTexture(rgba.data(), 64, 64, 0, 1, 0, nullptr),
        LoadTexture(rgb.data(), 64, 64, 0, 2, 0, nullptr),
        LoadTexture(disc.data(), 64, 64, 0, 0, 0, discPalette.data()),
        LoadTexture(wide.data(), 100, 60, 0, 0, 0, stripePalette.data()),
    };
    // Background: dark and light bars, 80 pixels wide, far away.
    for (int i = 0; i < 8; ++i)
        drawQuad(80 * float(i), 0, 80 * float(i + 1), 480, 0.1f, i % 2 ? 0xFFE0E0E0 : 0xFF606060);
    ssAlphaBlend(1); // texel alpha and the colour key count only with blending on
    for (int i = 0; i < 6; ++i) {
        SelectTexture(textures[i]);
        drawTile(20 + 210 * float(i % 3), 40 + 220 * float(i / 3), 180);
    }
    SelectTexture(nullptr);
    PageFlip();

    RgbImage frame = shownFrame();
    EXPECT_GT(countColour(frame, 20, 40, 200, 220, 0x2040C0), 2000); // checker: blue squares
    EXPECT_GT(countColour(frame, 20, 40, 200, 220, 0xF8FCF8), 2000); // and white ones
    uint32_t rampLeft = rgbAt(frame, 236, 210);
    EXPECT_GE(rampLeft >> 16, 0xF0u) << "global palette: index 0 is red";
    EXPECT_LE((rampLeft >> 8) & 0xFF, 0x10u);
    EXPECT_EQ(rgbAt(frame, 446, 200), 0xE0E0E0u) << "8888: transparent at u = 0";
    EXPECT_GE(rgbAt(frame, 608, 200) >> 16, 0xE0u) << "8888: nearly opaque red at u = 1";
    EXPECT_EQ(rgbAt(frame, 235, 435), 0x606060u) << "keyed texel lets the background through";
    EXPECT_EQ(rgbAt(frame, 320, 360), 0xF8E020u) << "the keyed disc itself";
    EXPECT_TRUE(matchesGolden("texture_formats", frame));
    Shutdown();
}

TEST(GoldenScenes, KeyedSpriteAndStretchedImagesOverTheScene) {
    ASSERT_EQ(Init(), 1);
    std::vector<uint32_t> global = rainbowPalette();
    LoadPalette(global.data());
    HostVertex background[4] = {vertex(0, 0, 0.2f, 0xFF103040), vertex(640, 0, 0.2f, 0xFF302050),
                                vertex(640, 480, 0.2f, 0xFF401020),
                                vertex(0, 480, 0.2f, 0xFF104020)};
    DrawPrimitive(background, 4);
    HostVertex triangle[3] = {vertex(320, 150, 0.5f, 0xFF80A040),
                              vertex(600, 470, 0.5f, 0xFF80A040),
                              vertex(40, 470, 0.5f, 0xFF80A040)};
    DrawPrimitive(triangle, 3);

    std::vector<uint8_t> sprite = discImage(48);
    std::vector<uint32_t> spritePalette(256, 0xFF000000);
    spritePalette[0] = kKey;
    spritePalette[2] = 0xFF30C0FF;
    std::vector<uint8_t> gradient(64 * 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            gradient[size_t(y) * 64 + size_t(x)] = uint8_t(x * 4);
    std::vector<uint8_t> panel(40 * 10, 1);
    std::vector<uint32_t> panelPalette(256, 0xFF102060);
    panelPalette[2] = 0xFFFFD040;
    drawText(panel.data(), 40, 10, 40, 11, 2, "HUD", 1, 2);

    ssChromaKey(1, kKey);
    BltToCard(sprite.data(), 101, 40, 48, 48, 48, 0,
              spritePalette.data());                             // odd x: unaligned row start
    BltToCard(gradient.data(), 180, 48, 64, 32, 64, 0, nullptr); // the global palette
    StretchBltToCard(sprite.data(), 300, 30, 144, 96, 48, 48, 48, 0, spritePalette.data());
    ssChromaKey(0, kKey);
    BltToCard(sprite.data(), 480, 40, 48, 48, 48, 0, spritePalette.data());
    StretchBltToCard(panel.data(), 120, 300, 400, 100, 40, 10, 40, 0, panelPalette.data());
    PageFlip();

    RgbImage frame = shownFrame();
    EXPECT_EQ(rgbAt(frame, 125, 64), 0x30C0F8u); // keyed sprite drawn
    EXPECT_NE(rgbAt(frame, 101, 40), 0xF800F8u); // its key colour left out
    EXPECT_EQ(rgbAt(frame, 180, 48), 0xF80000u); // global palette entry 0
    EXPECT_EQ(rgbAt(frame, 372, 78), 0x30C0F8u); // stretched keyed sprite
    EXPECT_NE(rgbAt(frame, 301, 31), 0xF800F8u);
    EXPECT_EQ(rgbAt(frame, 480, 40), 0xF800F8u);  // unkeyed: the key colour is drawn
    EXPECT_EQ(rgbAt(frame, 125, 305), 0x102060u); // stretched panel
    EXPECT_TRUE(matchesGolden("blits_over_scene", frame));
    Shutdown();
}

TEST(GoldenScenes, AlphaBlendedFansOverOpaqueBars) {
    ASSERT_EQ(Init(), 1);
    for (int i = 0; i < 8; ++i)
        drawQuad(80 * float(i), 0, 80 * float(i + 1), 480, 0.1f, i % 2 ? 0xFFE0E0E0 : 0xFF202020);
    drawQuad(440, 300, 600, 440, 0.6f, 0xFF00FF00);

    ssAlphaBlend(1);
    HostVertex disc[16];
    disc[0] = vertex(160, 150, 0.5f, 0xFFFFFFFF);
    for (int i = 0; i < 15; ++i)
        disc[i + 1] = vertex(160 + kRing[i % 14][0], 150 + kRing[i % 14][1], 0.5f, 0x00FFFFFF);
    DrawPrimitive(disc, 16);
    drawQuad(300, 60, 500, 220, 0.5f, 0x80FF0000);
    drawQuad(380, 120, 580, 280, 0.5f, 0x800000FF); // later, so over the red
    drawQuad(40, 300, 200, 440, 0.5f, 0xFFFFFF00);  // every alpha 0xFF: opaque
    drawQuad(400, 260, 620, 400, 0.3f, 0x80FF00FF); // partly behind the green quad
    ssAlphaBlend(0);
    drawQuad(240, 330, 360, 450, 0.5f, 0x4000FFFF); // blending off: alpha not used
    PageFlip();

    RgbImage frame = shownFrame();
    EXPECT_EQ(rgbAt(frame, 120, 380), 0xF8FC00u);
    EXPECT_EQ(rgbAt(frame, 300, 400), 0x00FCF8u);
    EXPECT_EQ(rgbAt(frame, 500, 350), 0x00FC00u); // the opaque quad hides the translucent one
    uint32_t redOverDark = rgbAt(frame, 320, 80);
    EXPECT_NE(redOverDark, 0xF80000u);
    EXPECT_NE(redOverDark, 0x202020u);
    EXPECT_GT(redOverDark >> 16, (redOverDark >> 8) & 0xFF);
    uint32_t blueOverRed = rgbAt(frame, 450, 180);
    EXPECT_GT(blueOverRed & 0xFF, blueOverRed >> 16) << "the later quad lies on top";
    EXPECT_GT(blueOverRed >> 16, 0u);
    EXPECT_NE(rgbAt(frame, 160, 150), rgbAt(frame, 160, 240)) << "vertex alpha fades the disc";
    EXPECT_TRUE(matchesGolden("alpha_fans", frame));
    Shutdown();
}

TEST(GoldenScenes, FiveFiveFiveDisplayWithA320By240RenderArea) {
    kxstandSetPixelFormat565(false);
    ASSERT_EQ(Init(), 1);
    ASSERT_EQ(ChangeResolution(1), 1);
    HostVertex area[4] = {vertex(0, 0, 0.2f, 0xFFFFFFFF), vertex(320, 0, 0.2f, 0xFFFF4000),
                          vertex(320, 240, 0.2f, 0xFF0040FF), vertex(0, 240, 0.2f, 0xFF40FF40)};
    DrawPrimitive(area, 4);
    std::vector<uint8_t> rgb(32 * 32 * 3);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            uint8_t* p = rgb.data() + (size_t(y) * 32 + size_t(x)) * 3;
            p[0] = uint8_t(((x / 4) + (y / 4)) % 2 ? 0xFF : 0x00);
            p[1] = uint8_t(y * 8);
            p[2] = uint8_t(x * 8);
        }
    SelectTexture(LoadTexture(rgb.data(), 32, 32, 0, 2, 0, nullptr));
    drawTile(60, 40, 160);
    SelectTexture(nullptr);
    std::vector<uint8_t> sprite = discImage(48);
    std::vector<uint32_t> spritePalette(256, 0xFF000000);
    spritePalette[0] = kKey;
    spritePalette[2] = 0xFF30C0FF;
    ssChromaKey(1, kKey);
    BltToCard(sprite.data(), 280, 200, 48, 48, 48, 0,
              spritePalette.data()); // across the area's corner
    PageFlip();

    RgbImage frame = shownFrame();
    EXPECT_EQ(rgbAt(frame, 2, 2) & 0xFFFF00, 0xF8F800u); // white in 555: five bits of green
    int wide = 0, beyond = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            uint32_t p = rgbAt(frame, x, y);
            wide += p != (p & 0xF8F8F8); // a 555 pixel has five bits per channel
            bool sprite = x >= 280 && x < 328 && y >= 200 && y < 248;
            beyond += (x >= 320 || y >= 240) && !sprite && p != 0;
        }
    EXPECT_EQ(wide, 0);
    EXPECT_EQ(beyond, 0) << "nothing is rendered outside the 320 x 240 area";
    EXPECT_EQ(rgbAt(frame, 304, 224), 0x30C0F8u);
    EXPECT_EQ(rgbAt(frame, 322, 224), 0x30C0F8u) << "the blit is not held to the render area";
    EXPECT_TRUE(matchesGolden("display555_area320", frame));
    Shutdown();
}

TEST(GoldenScenes, DemoSceneAfterTextureMemoryHasOverflowed) {
    ASSERT_EQ(Init(), 1);
    DemoScene scene;
    sceneLoad(scene, linkedDriver());
    StageTimes times;
    const int lastFrame = 64;
    for (int frame = 0; frame <= lastFrame; ++frame)
        sceneFrame(scene, frame, times);
    // The scene uses more textures than texture memory holds: the cache has
    // evicted some, though the scene never unloaded one.
    EXPECT_GT(softsglCallCount("sgl_create_texture"), 32);
    EXPECT_GT(softsglCallCount("sgl_delete_texture"), 0);
    EXPECT_TRUE(matchesGolden("demo_frame_64", shownFrame()));
    sceneUnload(scene);
    Shutdown();
}
