// The supersampling resolve's average as a plain function written from the
// rule, shared by the tests that hold softsgl's resolve to it and by
// kxbench's llvmpipe peer of supersampling (Mesa's frame drawn N times as
// large, averaged down).
#pragma once

#include <cstdint>
#include <vector>

// Rule 5's widening of a level of `bits` bits (5 or 6) to 8.
int widenLevel(int level, int bits);

// The n x n samples of each pixel of a width x height frame (samples n times
// as wide and high, 565 or 555) widened to 8 bits, each channel
// (sum + n n / 2) / (n n); 0xRRGGBB, left for the caller to pack.
std::vector<uint32_t> boxAveraged(const std::vector<uint16_t>& samples, int width, int height,
                                  int n, bool is555);
