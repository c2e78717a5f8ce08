// Seeded random frames drawn straight through the SGL operations, to compare
// softsgl's frames across thread counts, band splits and builds: the band
// tests and kxbandsums (the same frames in the Windows builds' sgl.dll under
// Wine) draw the very same ones. Positions, colours and texels come from an
// integer hash and exact float steps, so every build makes the same scene.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/sgl.h"

// A device of width x height drawn into a target of `stride` bytes a row
// (narrower than the device: the frame is cut to it).
struct BandTarget {
    int width, height, stride, bitsPerPixel;
};
// The sizes compared: one pixel, one row, 17 rows (one band and a row),
// the fuzz finding's 320 rows, the sizes ChangeResolution makes, 640 x 480
// with wide and narrow strides, 4096 wide.
extern const BandTarget kBandTargets[];
extern const int kBandTargetCount;

struct BandScene {
    std::vector<std::vector<uint32_t>> maps; // 64 x 64 texels each
    std::vector<int> mapTypes;
    struct Call {
        int kind; // 0 points, 1 lines, 2 triangles
        uint32_t flags;
        int texture; // index into maps, -1 untextured
        std::vector<SGLVERTEX> vertices;
    };
    std::vector<Call> calls;
};

// Points, lines and triangles large and tiny over a width x height area,
// partly off it, some beyond the guard band and some with coordinates near
// the float range's end; a third crowded into a strip of 24 rows;
// textured with opaque and translucent maps, blending and vertex alpha
// switched between calls.
BandScene bandScene(uint32_t seed, int width, int height);

// Draws the scene into a fresh target (cleared to 0xBEEF beforehand) on the
// threads the library is set to, and returns the target's pixels.
std::vector<uint16_t> drawBandScene(const BandScene& scene, const BandTarget& target);

// FNV-1a over the pixels' bytes, low byte first.
uint32_t pixelSum(const std::vector<uint16_t>& pixels);
