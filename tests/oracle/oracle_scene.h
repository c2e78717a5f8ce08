// Scenes drawn three ways and compared: through the driver's exports (read
// back with BltFromCard), with OpenGL on Mesa's llvmpipe under the same
// drawing rules (bench/mesa_peer.cpp), and by an exact model that follows
// the rules per pixel centre in double precision from the vertices as sent.
// Interior pixels (more than a pixel from a fan's outline) are compared;
// pixels where the exact result sits on a knife's edge (a texel boundary, two
// depths within float precision, a vertex alpha half a step from opaque, a
// filtered opacity between drawn and not or opaque and not) are counted
// apart as ties.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "api/kxapi.h"

namespace oracle {

constexpr int kWidth = 640, kHeight = 480;

struct HostImage {
    int side;
    uint32_t format;               // 0: indexed, 1: 8888 (blue, green, red, alpha), 2: 888
    std::vector<uint8_t> pixels;   // side x side
    std::vector<uint32_t> palette; // indexed: its own palette; empty: the global one
};

// One DrawPrimitive call and the states it is drawn under.
struct Step {
    int blendMode;
    int texture; // index into the scene's images, -1: none
    std::vector<HostVertex> fan;
    int keyMode = -1; // >= 0: ssChromaKey(keyMode, keyColour) before the step
    uint32_t keyColour = 0;
};

struct Scene {
    std::string name;
    std::vector<HostImage> images;
    std::vector<Step> steps;
    // The global palette (loaded after ssChromaKey with these, when not empty).
    std::vector<uint32_t> globalPalette;
    int startKeyMode = 0;
    uint32_t startKeyColour = 0;
    // Textured triangles filtered bilinearly (softsglSetFilter; GL_LINEAR).
    bool filtered = false;
    // Drawn by the driver with antialias x antialias samples a pixel
    // (softsglSetAntialias).
    int antialias = 1;
    // Positions already times scale: Mesa and the exact model draw it on a
    // target scale times as wide and high (the driver's frame is its top
    // left 640 x 480).
    int scale = 1;
};

// The scene as drawn on a target n times as wide and high: every x and y
// times n (exact in float for the scenes scaled).
Scene scaledBy(const Scene& s, int n);

// A host vertex as the tests write them: u and v given plain, sent over w.
HostVertex hv(double x, double y, double q, double u, double v, uint32_t colour = 0xFFFFFFFF);

// What the driver makes of a scene's images, by the conversion rules and
// the colour key in force when each is first selected: texels red, green,
// blue and opacity (255 where the map is opaque, type 1).
struct ModelTexture {
    int side = 0;
    std::vector<uint32_t> rgba;  // bytes red, green, blue, opacity
    bool anyTransparent = false; // a type 4 map with a texel less than opaque
};
std::vector<ModelTexture> modelTextures(const Scene& s);

// Each triangle of a fan is a primitive of its own (0, k, k + 1). Under
// blending it is drawn opaque when its three vertex alphas are full and its
// map has no texel less than opaque; opaque triangles are drawn first, then
// the translucent ones in queue order.
bool drawnOpaque(const Step& st, size_t k, const std::vector<ModelTexture>& textures);
struct Triangle {
    const Step* step;
    size_t k;
    bool translucent;
};
std::vector<Triangle> drawingOrder(const Scene& s, const std::vector<ModelTexture>& textures);

// 565 pixels, top row first; Mesa's of the size mesaOpen was given.
std::vector<uint16_t> drawnByTheDriver(const Scene& s);
std::vector<uint16_t> drawnByMesa(const Scene& s); // mesaOpen first

// Tie bits of a pixel: a tie at float precision, and a near tie, where
// llvmpipe's coarser planes may go the other way (a tie is a near tie too);
// the opacity bit tells that a filtered opacity was among the reasons.
constexpr uint8_t kTieBit = 1, kNearTieBit = 2, kOpacityTieBit = 4;
struct Exact {
    std::vector<uint16_t> pixels;
    std::vector<uint8_t> tie;
    std::vector<uint8_t> layers; // translucent layers blended over the last opaque pixel
};
Exact exactResult(const Scene& s);

// Pixels whose centre lies within a pixel of a fan's outline.
std::vector<bool> edgePixels(const Scene& s);

// A scaled scene's results resolved to the 640 x 480 target, n x n samples
// a pixel: pixels box-averaged and packed by dropping low bits; a pixel is a
// tie (an edge) where one of its samples is, and has the most translucent
// layers of any.
std::vector<uint16_t> resolved(const std::vector<uint16_t>& samples, int n);
Exact resolved(const Exact& samples, int n);
std::vector<bool> resolved(const std::vector<bool>& edgeSamples, int n);

// Interior pixels more than one 565 step apart (from Mesa: more than one
// step or the pixel's translucent layers, whichever is more; llvmpipe's 565
// blending truncates where the rules round, by up to a step a layer).
struct Comparison {
    int interior = 0, ties = 0; // ties and near ties
    int opacityTies = 0;        // of them, at a filtered opacity's threshold
    int oursMesa = 0;           // all interior pixels
    int oursMesaOffTies = 0;    // off near ties
    int oursExact = 0;          // off ties
    int mesaExact = 0;          // off near ties
    int largestStep = 0;        // ours and Mesa, off near ties, in steps of the widest channel
};
Comparison compare(const std::vector<uint16_t>& ours, const std::vector<uint16_t>& mesa,
                   const Exact& exact, const std::vector<bool>& edge);

// Writes <dir>/<stem>-ours-mesa.png (side by side) and <stem>-diff.png
// (differing interior pixels red, ties yellow, edges blue, the rest a dimmed
// copy) and, given a draw list, <stem>-draws.txt; returns a note naming them.
std::string writeFailureFiles(const std::string& stem, const std::vector<uint16_t>& ours,
                              const std::vector<uint16_t>& mesa, const Exact& exact,
                              const std::vector<bool>& edge, const std::string& drawList = "");

// The scene as text: images, states and every vertex, one step a line.
std::string drawList(const Scene& s);

} // namespace oracle
