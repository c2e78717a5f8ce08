// Supersampling (antialias = 2, 3 or 4): a frame is drawn into softsgl's own
// buffer of N x N samples a pixel, as on a device N times as wide and high,
// and each target pixel is then resolved from its samples. See README.md,
// rule 13.
#pragma once

#include <cstddef>
#include <cstdint>

#include "softsgl/rasterizer.h"

namespace softsgl {

// Samples a pixel each way for the next frame: softsglSetAntialias's
// choice, else the player's setting (1: no supersampling).
int antialiasWanted();

// A frame's samples are bounded (the 32-bit sgl.dll has 2 GiB for
// everything): 1280 x 800 at 4 x 4 is the largest frame that keeps them,
// with 96 MiB of colours and depths.
constexpr size_t kMaxSamples = size_t(1) << 24;
// `wanted` samples each way for a width x height target, lowered while the
// samples would pass kMaxSamples.
int samplesEachWay(int wanted, int width, int height);

// Colours and depths of `samples` samples, kept from frame to frame and
// grown as needed; false when memory is short (the frame is then drawn
// without supersampling).
struct SampleBuffers {
    uint16_t* colours;
    float* depths;
};
bool sampleBuffers(size_t samples, SampleBuffers& buffers);
// Frees them: the last device is deleted.
void releaseSampleBuffers();

// Target pixel (x, y) from its n x n samples: each channel widened to 8
// bits as rule 5 widens it, (sum + n n / 2) / (n n), packed as the target's
// pixels are, by the dither rule at (x, y) when `dither`.
uint16_t resolvePixel(const RenderTarget& samples, int n, int x, int y, bool is555, bool dither);
// Rows first .. end - 1 of the target resolved so.
void resolveRows(const RenderTarget& target, const RenderTarget& samples, int n, int32_t first,
                 int32_t end, bool dither);

} // namespace softsgl
