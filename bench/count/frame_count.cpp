// Renders the benchmark frames a given number of times through the SGL
// entry points and says how long a frame took. Built two ways:
// - by bench/instructions_32_64.sh, for i686 and x86-64 with softsgl built
//   in, to count instructions under callgrind;
// - by the Windows builds, against their sgl.dll, as frame_count.exe, which
//   bench/wine_render_time.sh times under 32- and 64-bit Wine.
// The span level, the thread count and the quality settings are the
// library's own choices, from its settings (KXPWRVR_KERNELS,
// KXPWRVR_THREADS, KXPWRVR_FILTER, KXPWRVR_ANTIALIAS, KXPWRVR_DITHER).
// The figures come as a sentence, then as one JSON object on the last line.
//
//   frame_count light|heavy FRAMES
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/frame_scenes.h"

#if !defined(_WIN32)
// The one Win32 call softsgl makes, which the driver's stand-ins provide
// elsewhere: here the level's name goes to standard error.
extern "C" void OutputDebugStringA(const char* text) {
    std::fputs(text, stderr);
}
#endif

namespace {

std::vector<uint16_t> target(640 * 480);

int giveTarget(AddressCallbackParams* p) {
    p->address = target.data();
    p->stride = 640 * 2;
    p->bitsPerPixel = 16;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "light") != 0 && std::strcmp(argv[1], "heavy") != 0) ||
        std::atoi(argv[2]) < 1) {
        std::fprintf(stderr, "usage: frame_count light|heavy FRAMES\n");
        return 2;
    }
    const Scene scene = std::strcmp(argv[1], "light") == 0 ? lightScene() : heavyScene();
    const int frames = std::atoi(argv[2]);
    static int32_t status;
    sgl_use_address_mode(giveTarget, &status);
    const int device = sgl_create_screen_device(0, 640, 480, 0, 1);
    const std::vector<int> names = createSceneTextures(scene);
    SGLCONTEXT ctx{};
    uint32_t sum = 0;
    std::vector<double> ms;
    for (int f = 0; f < frames; ++f) {
        const auto start = std::chrono::steady_clock::now();
        queueScene(scene, names, ctx);
        sgltri_render(&ctx);
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        for (uint16_t p : target)
            sum = sum * 31 + p;
    }
    // The median frame: the first frames (textures and buffers coming into
    // the caches) and a busy host's slow spells fall outside it.
    std::sort(ms.begin(), ms.end());
    std::printf("%s: %d frames, pixel checksum %08x, median %.3f ms a frame\n", argv[1], frames,
                unsigned(sum), ms[ms.size() / 2]);
    // The same for scripts.
    std::printf(
        "{\"scene\": \"%s\", \"frames\": %d, \"checksum\": \"%08x\", \"median_ms\": %.6f}\n",
        argv[1], frames, unsigned(sum), ms[ms.size() / 2]);
    sgl_delete_device(device);
    return 0;
}
