// Seeded random scenes for the Mesa oracle: hand-made scenes find faults
// one at a time, these go over the states a game uses. Each scene has 20 to
// 60 fans and quads anywhere (partly off screen too), 1/w in [0.05, 1], some
// tilted in depth and crossing others; untextured or with 8888 textures (all
// opaque, and with partial and zero alphas), 888, indexed with the global
// palette and with their own, colour-keyed; ssAlphaBlend and ssChromaKey
// switched between primitives; vertex alphas full, partial and mixed within
// a fan.
#pragma once

#include <cstdint>

#include "tests/oracle/oracle_scene.h"

namespace oracle {

// The scene of a seed, the same on every platform.
Scene randomScene(uint32_t seed);

} // namespace oracle
