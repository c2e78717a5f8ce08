// Helpers of the texture tests: a started driver, SGL's texture calls, and
// the plain reference of the scaler.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "driver/driver_state.h"
#include "driver/kxapi.h"
#include "softsgl/softsgl_control.h"
#include "tests/support/test_support.h"
#include "texture/texture.h"

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

// Selects the record in that frame and returns the name the context got.
inline int32_t selectIn(TextureRecord* record, uint32_t frame) {
    frameCounter = frame;
    SelectTexture(record);
    return sglContext.textureName;
}

// Nearest-neighbour scaling as the stepping is worded: source texel (c, r)
// fills the destination block of rows [r*ys >> 16, (r+1)*ys >> 16) and
// columns [c*xs >> 16, (c+1)*xs >> 16); then every destination texel past the
// last covered row or column takes the nearest covered texel. Where the
// stepping covers no row (column) at all, source row (column) 0 covers the first.
inline void referenceScale(uint32_t* dst, int dw, int dh, const uint32_t* src, int sw, int sh) {
    const int64_t xs = (int64_t(dw) * 65536) / sw, ys = (int64_t(dh) * 65536) / sh;
    const int64_t coveredX = sw * xs >> 16, coveredY = sh * ys >> 16;
    for (int64_t r = 0; r < sh; ++r) {
        const int64_t y1 = coveredY == 0 && r == 0 ? 1 : (r + 1) * ys >> 16;
        for (int64_t y = r * ys >> 16; y < y1; ++y)
            for (int64_t c = 0; c < sw; ++c) {
                const int64_t x1 = coveredX == 0 && c == 0 ? 1 : (c + 1) * xs >> 16;
                for (int64_t x = c * xs >> 16; x < x1; ++x)
                    dst[y * dw + x] = src[r * sw + c];
            }
    }
    const int64_t lastX = coveredX > 0 ? coveredX - 1 : 0, lastY = coveredY > 0 ? coveredY - 1 : 0;
    for (int64_t y = 0; y < dh; ++y)
        for (int64_t x = 0; x < dw; ++x)
            if (x > lastX || y > lastY)
                dst[y * dw + x] = dst[(y < lastY ? y : lastY) * dw + (x < lastX ? x : lastX)];
}
