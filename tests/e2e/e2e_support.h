// Shared helpers of the end-to-end tests: the linked driver as a host's table
// of entry points, screen-space vertices, golden images; PNG files are read
// with trace/image_compare.h.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "host/entry_points.h"
#include "host/frame_grab.h"
#include "trace/image_compare.h"

// The entry points of the driver linked into the test, as a host holds them.
const KxEntryPoints& linkedDriver();

// A screen-space vertex: u and v are given plain and passed divided by w.
HostVertex vertex(float x, float y, float invW, uint32_t colour, float u = 0, float v = 0);

// The 640 x 480 frame on the screen, read back through BltFromCard.
RgbImage shownFrame();

// Red, green and blue of pixel (x, y) as 0xRRGGBB.
uint32_t rgbAt(const RgbImage& image, int x, int y);

// Compares a frame bit for bit with tests/golden/<scene>.png. On a mismatch
// the actual frame and a difference image (trace/image_compare.h: differing
// pixels red, the rest dimmed) go to <build>/e2e-failures/ and the message
// names them. With
// KX_REGENERATE_GOLDENS=1 in the environment the golden is rewritten instead.
::testing::AssertionResult matchesGolden(const std::string& scene, const RgbImage& actual);
