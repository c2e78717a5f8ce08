// Renders the benchmark frames a given number of times with softsgl built
// into the program, for counting instructions (bench/instructions_32_64.sh
// builds it for i686 and x86-64 and runs it under callgrind). One thread;
// the span level is chosen as in sgl.dll (KXPWRVR_KERNELS caps it).
//
//   frame_count light|heavy FRAMES
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/frame_scenes.h"
#include "softsgl/softsgl_control.h"

// The one Win32 call softsgl makes, which the driver's stand-ins provide
// elsewhere: here the level's name goes to standard error.
extern "C" void OutputDebugStringA(const char* text) {
    std::fputs(text, stderr);
}

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
    if (argc != 3 || (std::strcmp(argv[1], "light") != 0 && std::strcmp(argv[1], "heavy") != 0)) {
        std::fprintf(stderr, "usage: frame_count light|heavy FRAMES\n");
        return 2;
    }
    const Scene scene = std::strcmp(argv[1], "light") == 0 ? lightScene() : heavyScene();
    const int frames = std::atoi(argv[2]);
    static int32_t status;
    sgl_use_address_mode(giveTarget, &status);
    const int device = sgl_create_screen_device(0, 640, 480, 0, 1);
    softsglSetThreads(1);
    const std::vector<int> names = createSceneTextures(scene);
    SGLCONTEXT ctx{};
    uint32_t sum = 0;
    for (int f = 0; f < frames; ++f) {
        softsglClearCalls();
        queueScene(scene, names, ctx);
        sgltri_render(&ctx);
        for (uint16_t p : target)
            sum = sum * 31 + p;
    }
    std::printf("%s: %d frames, pixel checksum %08x\n", argv[1], frames, unsigned(sum));
    sgl_delete_device(device);
    return 0;
}
