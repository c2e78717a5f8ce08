// Helpers of the texture tests: a started driver and SGL's texture calls.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "api/kxapi.h"
#include "driver/driver_state.h"
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
