// The demo's images, drawn by code so that every run gets the same pixels:
// textures in each host format, the global palette, sprites and HUD images.
#pragma once

#include <cstdint>
#include <vector>

// Host image format codes.
constexpr uint32_t kFormatIndexed = 0;
constexpr uint32_t kFormat8888 = 1;
constexpr uint32_t kFormat888 = 2;

// The colour that the demo keys out (textures and sprites).
constexpr uint32_t kKeyColour = 0xFFFF00FF;

struct HostImage {
    int width = 0;
    int height = 0;
    uint32_t format = kFormatIndexed;
    std::vector<uint8_t> pixels;   // rows packed, no gap
    std::vector<uint32_t> palette; // own palette of 256 colours; empty: the global palette
    const uint32_t* paletteOrNull() const { return palette.empty() ? nullptr : palette.data(); }
};

// Global palette layout.
constexpr int kPaletteKey = 0;      // the key colour (sprite background)
constexpr int kPaletteHull = 1;     // 1..15 ship hull ramp
constexpr int kPaletteCockpit = 16; // 16..23
constexpr int kPaletteEngine = 24;  // 24..31
constexpr int kPaletteOutline = 32;
constexpr int kPaletteStone = 64;  // 64..127 road stones
constexpr int kPalettePaint = 128; // 128..135 road paint
constexpr int kPaletteCycle = 192; // 192..255 rotated each palette step
constexpr int kCycleLength = 64;

// The global palette at a step of its colour cycle.
std::vector<uint32_t> makeGlobalPalette(int cycleStep);

HostImage makeSignTexture(int number); // 256 x 256, indexed, own palette
HostImage makeRoadTexture();           // 256 x 256, indexed, global palette
HostImage makeGrassTexture();          // 256 x 256, 888
HostImage makeCrateTexture();          // 128 x 128, indexed, own palette
HostImage makePlasmaTexture();         // 128 x 128, indexed, global palette (cycling part)
HostImage makeMetalTexture();          // 128 x 128, 888
HostImage makeMonitorFrame(int phase); // 64 x 64, 888, one frame of an animation
HostImage makeCloudTexture();          // 256 x 256, 8888 with soft alpha
HostImage makeTreeTexture();           // 128 x 256, indexed, own palette, key colour around it
HostImage makeShipSprite();            // 96 x 48, indexed, global palette, key colour around it
HostImage makeTitlePanel();            // 80 x 20, indexed, own palette
// "SCORE nnnnn" over the key colour, indexed, own palette; redrawn in place.
void drawScoreImage(HostImage& image, int score);
