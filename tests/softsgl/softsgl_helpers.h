// Helpers for the software SGL tests: an in-memory render target handed out
// by the address callback, vertex and context builders, texture maps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sgl.h"
#include "tests/support/test_support.h"

// A 16-bit buffer with a guard band: `stride` bytes per row, `rows` rows.
struct MemoryTarget {
    int stride = 0;
    int rows = 0;
    int bitsPerPixel = 16;
    std::vector<uint16_t> pixels; // stride / 2 per row
    uint16_t at(int x, int y) const { return pixels[size_t(y) * (stride / 2) + x]; }
};

// The target the test callback hands to the library; null: leave the record unfilled.
extern MemoryTarget* currentTarget;
extern int addressCallbacks;
extern int eorCallbacks;

// Registers the callbacks, creates a device of w x h and a target with
// room for `stride` bytes per row and `rows` rows, filled with `fill`.
int setUpScreen(MemoryTarget& target, int w, int h, int bitsPerPixel = 16, int stride = 0,
                int rows = 0, uint16_t fill = 0xBEEF);

SGLCONTEXT defaultContext();  // the driver's defaults, texturing off
SGLCONTEXT blendingContext(); // as ssAlphaBlend(1) leaves it: blending on, vertex alphas used
SGLVERTEX vtx(float x, float y, uint32_t colour = 0xFFFFFFFF, float invW = 1.0f, float u = 0,
              float v = 0);

void drawTriangle(SGLCONTEXT& ctx, SGLVERTEX a, SGLVERTEX b, SGLVERTEX c);
// The rectangle (x0, y0)-(x1, y1) as two triangles split along the diagonal
// from (x0, y0), in one colour and at one 1/w; u/w and v/w span 0..1.
void drawRect(SGLCONTEXT& ctx, float x0, float y0, float x1, float y1, uint32_t colour = 0xFFFFFFFF,
              float invW = 1.0f);
void renderFrame(SGLCONTEXT& ctx);

int createTexture(int mapType, int sizeCode, const std::vector<uint32_t>& texels);

// The target area as text: one character per pixel, chosen by `legend`
// (pixel value -> character), '?' for any other value.
std::string picture(const MemoryTarget& t, int w, int h,
                    const std::vector<std::pair<uint16_t, char>>& legend);

// The band scenes on 640 x 480 with a quality setting on (set(1): the
// control softsglSetFilter or softsglSetDither) drawn on 1, 2 and 3 threads,
// which must agree; returns how many pixels differ from the setting off.
int settingOnAnyThreadCount(void (*set)(int mode));

// The dither rule's words (softsgl/README.md, rule 6), for the tests that
// hold pixels to it: W, a level of `bits` bits widened to 8 (rule 5); the
// channel c of 8 bits goes to the highest level k with W(k) <= c, or to
// k + 1 where the pixel's Bayer cell is below n = round(16 (c - W(k)) /
// (W(k + 1) - W(k))), W being widenLevel.
int ditheredLevel(int c, int bits, int x, int y);
// The pixel a 0xRRGGBB colour dithers to at (x, y).
uint16_t ditheredPixel(uint32_t rgb, int x, int y, bool is555);
