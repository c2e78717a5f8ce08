// Which calls of a frame cover one pixel, and which one it shows: the frame
// is replayed with the pixel probe of our software SGL, so that coverage is
// the rasterizer's own fill rule and depth test, and each blit of the frame
// is played once more with the pixel set to another value, which tells
// whether the blit writes it (a keyed pixel is left alone).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/entry_points.h"
#include "softsgl/softsgl_control.h"
#include "trace/trace_frames.h"
#include "trace/trace_reader.h"

// The pixel probe's functions, found by name in the driver's library (which
// brought our SGL with it); all null when its SGL has none.
struct PixelProbeApi {
    void (*set)(int x, int y) = nullptr;
    int (*hits)(const SoftsglProbeHit** hits) = nullptr;
    int (*queued)() = nullptr;
    void (*target)(uint8_t** address, int* stride, int* bitsPerPixel) = nullptr;
};
bool findPixelProbe(void* driverLibrary, PixelProbeApi& probe);

struct PixelCover {
    size_t call = 0;
    bool blit = false;
    // A blit: the source pixel that lands on the pixel, and its palette
    // index (-1 when the trace does not hold it).
    int32_t sourceX = 0, sourceY = 0, sourceIndex = -1;
    int part = 0, parts = 1; // the triangle of a fan, and how many it has
    bool translucent = false;
    bool drawn = false;             // passed the depth test / the blit wrote the pixel
    uint16_t before = 0, after = 0; // the back buffer's pixel around it
    // A primitive on a supersampled frame: the pixel's samples, how many the
    // primitive covers and how many of those passed the depth test.
    int samples = 1, covered = 1, passed = 0;
};

struct PixelStory {
    std::vector<PixelCover> covers; // in drawing order: the scene, then the blits
    long shows = -1;                // the cover the pixel shows; -1: the frame's clear
    bool blendedOver = false;       // it is translucent, over what was there
    bool mixed = false;             // it left some of the pixel's samples to others
    uint8_t rgb[3] = {};            // the pixel as the frame is read back
    int bitsPerPixel = 0;           // of the back buffer
    size_t drawnAfterRender = 0;    // primitives queued after the scene was rendered
};

// A primitive's samples on a supersampled frame ("; samples: 3 of 4
// covered, 2 passed the depth test"); "" for a blit or a plain frame.
std::string sampleCounts(const PixelCover& cover);

bool whoDrew(const Trace& trace, const FrameIndex& frames, size_t frame, int x, int y,
             const KxEntryPoints& api, const PixelProbeApi& probe, PixelStory& story,
             std::string& error);
