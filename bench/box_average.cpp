#include "bench/box_average.h"

#include <cstddef>

int widenLevel(int level, int bits) {
    return bits == 5 ? level * 8 + level / 4 : level * 4 + level / 16;
}

std::vector<uint32_t> boxAveraged(const std::vector<uint16_t>& samples, int width, int height,
                                  int n, bool is555) {
    std::vector<uint32_t> out(size_t(width) * size_t(height));
    const int count = n * n;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int sum[3] = {0, 0, 0};
            for (int j = 0; j < n; ++j)
                for (int i = 0; i < n; ++i) {
                    const uint16_t p =
                        samples[size_t(y * n + j) * size_t(width * n) + size_t(x * n + i)];
                    sum[0] += widenLevel(is555 ? (p >> 10) & 31 : p >> 11, 5);
                    sum[1] += is555 ? widenLevel((p >> 5) & 31, 5) : widenLevel((p >> 5) & 63, 6);
                    sum[2] += widenLevel(p & 31, 5);
                }
            uint32_t rgb = 0;
            for (int c = 0; c < 3; ++c)
                rgb = rgb << 8 | uint32_t((sum[c] + count / 2) / count);
            out[size_t(y) * size_t(width) + size_t(x)] = rgb;
        }
    return out;
}
