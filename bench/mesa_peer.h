// OpenGL on Mesa's llvmpipe through OSMesa, drawing what softsgl is handed:
// screen-space vertices with 1/w, u/w and v/w, nearest or filtered sampling
// with wrap, texels modulated by the vertex colour, depth keeping the larger 1/w, into
// an RGB565 framebuffer object. The oracle test and kxbench use it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sgl.h"

// Byte order of the texels handed to mesaTexture.
enum class PeerTexels { Bgra, Bgr, Rgba };

// Opens a context (GALLIUM_DRIVER=llvmpipe, LP_NUM_THREADS=0: one thread)
// with a width x height RGB565 colour and float depth target. False, with
// the reason, where OSMesa or llvmpipe is not there.
bool mesaOpen(int width, int height, std::string& why);
void mesaClose();

// How a texture is sampled, wrapping: its nearest texel, or filtered by
// GL_LINEAR. Premultiplied (Rgba texels only) filters colour times alpha,
// held in float, and the fragment divides by the filtered alpha: each texel
// lends colour by its opacity, and a transparent one none.
enum class PeerSampling { Nearest, Linear, LinearPremultiplied };

// A side x side texture; returns its name.
unsigned mesaTexture(const void* texels, int side, PeerTexels order,
                     PeerSampling sampling = PeerSampling::Nearest);
void mesaDeleteTexture(unsigned name);

// Clears colour to black and depth to 0 (nothing drawn yet).
void mesaClear();
// What of a primitive the next fans draw: all of it opaque (blending off,
// or nothing less than opaque in it), or under blending its fragments of
// full alpha (depth written) or those of partial alpha (blended source over
// destination, no depth written). A translucent primitive is drawn in the
// two passes one after the other. Blended is plain alpha blending of every
// fragment without depth writes, as a game on OpenGL draws smoke.
enum class PeerPass { Opaque, OpaqueFragments, PartialFragments, Blended };

// How the next fans are drawn: texture 0 is none.
void mesaState(unsigned texture, PeerPass pass);
// One triangle fan of n vertices; u/w and v/w in texture widths.
void mesaFan(const SGLVERTEX* vertices, int n);
void mesaFinish();
// The target as 565 pixels, top row first.
std::vector<uint16_t> mesaRead565();
