// Helpers of the blit tests: a started driver with a rendered frame, the
// stand-in's surfaces as byte snapshots, and reference colours.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "driver/kxapi.h"
#include "platform/posix/standin_control.h"
#include "tests/support/test_support.h"

constexpr uint16_t kSentinel = 0xA55A;

// All bytes of a surface of the flipping chain (0 front, 1 back), padding
// past column 639 included, so that a comparison sees any stray write.
struct Surface {
    std::vector<uint8_t> bytes;
    int pitch = 0;

    static Surface capture(int position) {
        Surface s;
        int height = 0;
        const uint8_t* base = kxstandChainPixels(position, &s.pitch, nullptr, &height);
        if (base) s.bytes.assign(base, base + static_cast<size_t>(s.pitch) * height);
        return s;
    }
    uint16_t at(int x, int y) const {
        uint16_t v;
        std::memcpy(&v, &bytes[static_cast<size_t>(y) * pitch + 2 * x], 2);
        return v;
    }
    void set(int x, int y, uint16_t v) {
        std::memcpy(&bytes[static_cast<size_t>(y) * pitch + 2 * x], &v, 2);
    }
};

// Every byte of a chain surface set to the sentinel pattern.
inline void paint(int position) {
    int pitch = 0, height = 0;
    uint8_t* base = kxstandChainPixels(position, &pitch, nullptr, &height);
    for (size_t k = 0; k + 1 < static_cast<size_t>(pitch) * height; k += 2)
        std::memcpy(base + k, &kSentinel, 2);
}

// Starts the driver, has the first frame rendered by a blit of nothing, and
// paints the back buffer, which the render cleared.
inline void startWithPaintedBackBuffer() {
    ASSERT_EQ(Init(), 1);
    ASSERT_EQ(BltToCard(nullptr, 0, 0, 0, 0, 0, 0, nullptr), 1);
    ASSERT_NE(kxstandChainPixels(1), nullptr);
    paint(1);
    clearMessages();
}

inline std::vector<uint32_t> randomPalette(unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint32_t> palette(256);
    for (auto& c : palette)
        c = rng();
    return palette;
}

inline std::vector<uint8_t> randomIndices(unsigned seed, size_t n) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v)
        b = static_cast<uint8_t>(rng());
    return v;
}
