// Test controls of the software SGL: a log of the calls with their arguments,
// failures on demand, the texture memory budget and the version text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sgl.h"

struct SoftsglCall {
    std::string name;                // "sgl_create_texture", "sgltri_triangles", ...
    std::vector<int64_t> args;       // integer arguments in order; pointers as their values
    SGLCONTEXT context{};            // sgltri calls: the context as it was at the call
    std::vector<SGLVERTEX> vertices; // sgltri_points/lines/triangles: copies of the vertices
    std::vector<int32_t> indices;    // lines: the pair; triangles: count x 3 indices
};

// The log keeps the newest 65,536 calls at most (older ones are dropped in
// halves); softsglCallCount counts every call since the last clear.
const std::vector<SoftsglCall>& softsglCalls();
void softsglClearCalls();
int softsglCallCount(const char* name);
// Logging on or off (the default; the tests' support library turns it on);
// counts and failures work either way.
void softsglSetCallLogging(bool on);

// The call numbered fromCall (1 = next) of that name and the times - 1 after
// it return `result` instead of doing their work (times < 0: every call).
// Calls without a result just do nothing; a failing sgl_get_win_versions
// returns null. A new failure for a name replaces the previous one.
void softsglFailCall(const char* name, int result, int fromCall = 1, int times = 1);
void softsglClearFailures();

void softsglSetVersionText(const char* version); // default "0046h"
void softsglSetTextureBudget(int bytes);         // texture memory size; default a real card's
int softsglTextureBudget();
int softsglLiveTextures();
// The name sgl_create_texture handed out last (0 before any): how a test
// learns which texture a selection uploaded without drawing with it.
int softsglLastTextureName();
int softsglLiveDevices();
// Texels of a live texture (side x side, bytes red, green, blue, transparency), or null.
const uint32_t* softsglTexels(int name, int* side = nullptr, int* mapType = nullptr);

// Pixel probe, for tools that ask which primitive drew a pixel (kxtrace
// who-drew) and so must follow the fill rule the rasterizer follows: while
// it is set, each render records every primitive whose coverage includes
// pixel (x, y) of the target, in the order they are drawn (opaque ones, then
// translucent ones). Plain C names: a tool that loads the driver by name
// finds them through the driver's library, which brought this one with it.
// With supersampling a primitive's hits on the pixel's samples make one
// hit, and the pixels are the resolved ones.
struct SoftsglProbeHit {
    uint32_t primitive;  // its place in the frame's queue, from 0
    uint8_t translucent; // drawn in the translucent pass, blended
    uint8_t drawn;       // passed the depth test (on some sample): the pixel took its colour
    uint16_t pixel;      // the target pixel after it
    uint16_t before;     // and before it (a blend of no opacity leaves it)
    uint8_t samples;     // the pixel's samples: N x N, 1 without supersampling
    uint8_t covered;     // how many of them the primitive covers
    uint8_t passed;      // and how many of those passed the depth test
};
// x < 0 turns the probe off.
extern "C" void softsglSetProbe(int x, int y);
// The hits of the latest render; their number.
extern "C" int softsglProbeHits(const SoftsglProbeHit** hits);
// Primitives queued in the open frame so far.
extern "C" int softsglQueuedPrimitives(void);
// The latest render's target: first byte, bytes a row and bits a pixel
// (bits 0 before any render).
extern "C" void softsglLastTarget(uint8_t** address, int* stride, int* bitsPerPixel);

// The threads a frame is drawn on (in bands of rows; the pixels are the same
// whatever the count): 1 to 8, or 0 for the default (the environment
// variable KXPWRVR_THREADS, else the processor's cores, at most 8).
void softsglSetThreads(int count);
int softsglThreads();

// The times the bands of the frames drawn from now on are taken to have
// needed, in seconds, band by band (seconds[k % count] for band k), instead
// of the measured ones; count 0 goes back to measuring. The next frame's
// rows are shared out by them as by real times, so a test can move the
// split anywhere; the pixels must not change with it.
void softsglSetBandSeconds(const double* seconds, int count);

// Ordered dithering of the frames drawn from now on: 1 on, 0 off, -1 as the
// player's settings say (dither in kxpwrvr.ini, KXPWRVR_DITHER), the default.
void softsglSetDither(int mode);

// Bilinear filtering of textured triangles drawn from now on: 1 on, 0 off
// (nearest texels), -1 as the player's settings say (filter in
// kxpwrvr.ini, KXPWRVR_FILTER), the default.
void softsglSetFilter(int mode);

// Supersampling of the frames drawn from now on: 1 to 4 samples a pixel each
// way (1: none), -1 as the player's settings say (antialias in kxpwrvr.ini,
// KXPWRVR_ANTIALIAS), the default.
void softsglSetAntialias(int n);
