// OpenGL on Mesa's llvmpipe through OSMesa, drawing what softsgl is handed:
// screen-space vertices with 1/w, u/w and v/w, nearest sampling with wrap,
// texels modulated by the vertex colour, depth keeping the larger 1/w, into
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

// A side x side texture; returns its name.
unsigned mesaTexture(const void* texels, int side, PeerTexels order);

// Clears colour to black and depth to 0 (nothing drawn yet).
void mesaClear();
// How the next fans are drawn: texture 0 is none; blending on draws source
// over destination by alpha and writes no depth, off draws opaque.
void mesaState(unsigned texture, bool blend);
// One triangle fan of n vertices; u/w and v/w in texture widths.
void mesaFan(const SGLVERTEX* vertices, int n);
void mesaFinish();
// The target as 565 pixels, top row first.
std::vector<uint16_t> mesaRead565();
