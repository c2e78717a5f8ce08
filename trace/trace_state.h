// What the driver holds at any call of a trace, as the calls before it set
// it: render states, the selected texture, the textures loaded with the
// contents last recorded for them, the global palette, whether the driver
// is started. Built by walking the calls in order, without a driver.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "trace/trace_reader.h"

struct TraceTexture {
    int number = 0;      // in load order, from 0
    uint64_t handle = 0; // as the host had it
    size_t loadCall = 0;
    size_t unloadCall = SIZE_MAX; // SIZE_MAX while loaded
    int32_t width = 0, height = 0;
    uint32_t format = 0;
    uint64_t pixels = 0;  // where its record points now, as far as the trace shows
    uint64_t palette = 0; // its own palette; 0: the global one
    // The contents last recorded for it, and at which call (null: none yet:
    // the driver has not read the texture).
    const TraceItem* image = nullptr;
    const TraceItem* ownPalette = nullptr;
    size_t imageCall = SIZE_MAX;
};

struct TraceState {
    bool started = false;    // Init succeeded, no Shutdown since
    int32_t resolution = -1; // the last mode ChangeResolution took; -1: none
    int32_t alphaBlendMode = 0, chromaKeyMode = 0;
    uint32_t chromaKeyColour = 0;
    bool alphaBlendSet = false, chromaKeySet = false;
    uint64_t selected = 0; // the handle SelectTexture last chose; 0: none
    size_t selectCall = SIZE_MAX;
    const TraceItem* globalPalette = nullptr; // the last LoadPalette's colours
    size_t globalPaletteCall = SIZE_MAX;
    std::vector<TraceTexture> textures;        // every texture ever loaded
    std::unordered_map<uint64_t, size_t> live; // handle -> textures[] of the loaded ones
    // The texture a handle names now, or null.
    const TraceTexture* texture(uint64_t handle) const;
};

// The state after call `index`, given the state before it.
void applyCall(TraceState& state, const Trace& trace, size_t index);
// The state in force when call `index` is made (after calls 0 .. index - 1).
TraceState stateBefore(const Trace& trace, size_t index);

// A palette item's 256 colours; false when the item is not a whole palette.
bool paletteColours(const TraceItem* item, uint32_t colours[256]);
