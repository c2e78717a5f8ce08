// An integer hash that mixes every bit: the sample scenes' colours, sizes and
// positions are drawn from it, so that every build and platform draws the
// very same frames.
#pragma once

#include <cstdint>

inline uint32_t hashOf(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    return x ^ (x >> 16);
}
