// Helpers of the texture tests: a started driver, frames advanced by
// PageFlip, and the names SGL's texture calls carried.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "api/kxapi.h"
#include "softsgl/softsgl_control.h"
#include "tests/support/test_support.h"

// Starts the driver with a clean call log and message list; shuts it down.
struct StartedDriver {
    StartedDriver() {
        captureMessages();
        EXPECT_EQ(Init(), 1);
        softsglClearCalls();
        clearMessages();
    }
    ~StartedDriver() { Shutdown(); }
};

// Names passed to sgl_delete_texture since the log was cleared.
inline std::vector<int64_t> deletedNames() {
    std::vector<int64_t> names;
    for (const SoftsglCall& call : softsglCalls())
        if (call.name == "sgl_delete_texture") names.push_back(call.args[0]);
    return names;
}

// The driver counts frames from 0 at load, one a PageFlip, and a start
// keeps the count: the frames flipped so far by this test process.
inline uint32_t& framesFlipped() {
    static uint32_t frames = 0;
    return frames;
}

// Flips until the driver's frame is `frame` (never back).
inline void flipTo(uint32_t frame) {
    EXPECT_GE(frame, framesFlipped());
    for (; framesFlipped() < frame; ++framesFlipped())
        PageFlip();
}

// The name the context holds now, as the next fan reaches SGL (the fan is
// degenerate: it draws nothing, but keeps its texture for the open frame).
inline int32_t contextTexture() {
    static const HostVertex fan[3] = {};
    DrawPrimitive(fan, 3);
    const std::vector<SoftsglCall>& calls = softsglCalls();
    return calls.empty() || calls.back().name != "sgltri_triangles"
               ? -1
               : (calls.back().context.flags & SGLTT_TEXTURE ? calls.back().context.textureName
                                                             : 0);
}

// Selects the record in that frame and returns its name: the texture the
// selection uploaded, learnt without drawing (a texture drawn with is kept
// for the frame, which changes what the eviction may take); else, by a fan,
// the name the context got (the resident texture's, or 0 untextured).
inline int32_t selectIn(TextureRecord* record, uint32_t frame) {
    flipTo(frame);
    const int created = softsglLastTextureName();
    SelectTexture(record);
    return softsglLastTextureName() != created ? softsglLastTextureName() : contextTexture();
}
