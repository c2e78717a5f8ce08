// kxbandsums: draws the band scenes on a few targets on the threads
// sgl.dll is set to (KXPWRVR_THREADS) and prints a sum of each frame's
// pixels, one line each, then "DONE: N frames". Built natively and in the
// Windows builds, so that the 32-bit sgl.dll under Wine can be held to the
// Linux frames on every thread count (tests/wine/band_sums.sh).
#include <cstdio>

#include "tests/bands/band_scenes.h"

#if !defined(_WIN32)
// The one Win32 call softsgl makes, provided elsewhere by the driver's
// stand-ins: here the names it gives go to standard error.
extern "C" void OutputDebugStringA(const char* text) {
    std::fputs(text, stderr);
}
#endif

int main() {
    // One pixel, 17 rows, the fuzz finding's 320 rows, 320 x 200, 640 x 480,
    // 4096 wide: the smaller set, for a Wine run of each thread count.
    const int targets[] = {0, 5, 10, 12, 15, 22};
    int frames = 0;
    for (int t : targets) {
        const BandTarget& target = kBandTargets[t];
        for (uint32_t seed = 1; seed <= 4; ++seed) {
            const std::vector<uint16_t> pixels =
                drawBandScene(bandScene(seed, target.width, target.height), target);
            std::printf("%d x %d stride %d bpp %d scene %u: %08x%s\n", target.width, target.height,
                        target.stride, target.bitsPerPixel, seed, pixelSum(pixels),
                        pixels.empty() ? " (render failed)" : "");
            ++frames;
        }
    }
    std::printf("DONE: %d frames\n", frames);
    return 0;
}
