// A long run of the heavy frame with texture churn (a load, an unload, a
// ModifyTexture and evictions every frame) and the quality settings on,
// through the driver loaded by name. Every `--every` frames it prints the
// frame's checksum, the process's handles and private memory and the pace;
// at the end, the last frame's checksum, and the handles and memory must be
// within 1 % of the first report's after 100 frames. Built for Linux and
// Windows, so that a run under Wine can be held against the same run on
// Linux, line by line.
//
//   kxsoak [--frames N] [--every N] [--draws N] [--threads N]
//
// Defaults: 100,000 frames, a report every 1,000, the whole heavy frame,
// 2 threads. Ends with "DONE: N failure(s)".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/soak/driven_scene.h"
#include "bench/soak/process_figures.h"
#include "host/driver_loader.h"
#include "host/host_system.h"
#if defined(_WIN32)
#include "bench/soak/directdraw_alone.h"
#endif

namespace {

// The churn's 48 textures come in during the first frames, and softsgl
// keeps the storage of deleted textures for the next: the figures are held
// flat from the first report after this many frames.
constexpr int kWarmUpFrames = 100;

// DirectDraw alone's growth a frame is measured over this many frames, and
// allowed twice over: under Wine it varies by about a third with the pace
// of the frames (0.26 to 0.37 MiB of resident memory every 1,000 frames
// seen, the measurement 0.29), while no committed memory or handle grows.
constexpr int kDirectDrawFrames = 2000;
constexpr double kDirectDrawMargin = 2.0;

struct Options {
    int frames = 100000;
    int every = 1000;
    int draws = 0;
    int threads = 2;
};

bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        int* n = a == "--frames"    ? &o.frames
                 : a == "--every"   ? &o.every
                 : a == "--draws"   ? &o.draws
                 : a == "--threads" ? &o.threads
                                    : nullptr;
        if (!n || i + 1 >= argc || (*n = std::atoi(argv[++i])) < (n == &o.draws ? 0 : 1)) {
            std::fprintf(stderr,
                         "usage: kxsoak [--frames N] [--every N] [--draws N] [--threads N]\n");
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parseOptions(argc, argv, o)) return 2;
    chooseQualitySettings(o.threads);
    LoadedDriver driver;
    std::string error;
    if (!loadDriver(driver, error) || !createHostWindow("kxsoak", 640, 480, error)) {
        std::printf("kxsoak: %s\n", error.c_str());
        return 2;
    }
#if defined(_WIN32)
    // What the system's DirectDraw keeps of a frame, measured before the
    // driver starts: only the memory its display side holds (the figure the
    // process reports), never a handle or committed memory, is allowed.
    Allowance directDraw;
    if (!measureDirectDrawFrames(kDirectDrawFrames, directDraw)) {
        std::printf("kxsoak: DirectDraw alone did not start\n");
        return 1;
    }
    std::printf("DirectDraw alone: %+.3f MiB private, %+.3f MiB committed and %+.2f handles "
                "every 1,000 frames\n",
                directDraw.privateBytes * 1000 / (1024.0 * 1024.0),
                directDraw.committedBytes * 1000 / (1024.0 * 1024.0), directDraw.handles * 1000);
    std::fflush(stdout);
#endif
    const KxEntryPoints& api = driver.api;
    if (!api.Init()) {
        std::printf("kxsoak: Init failed (the driver's log says why: KXPWRVR_LOG)\n");
        return 1;
    }
    std::printf("kxsoak: %d frames, %s draws and texture churn, %d threads, filter, antialias 2 "
                "and dither on\n",
                o.frames, o.draws ? std::to_string(o.draws).c_str() : "all", o.threads);
    std::fflush(stdout);
    DrivenScene scene;
    drivenLoad(scene, api, o.draws, true);

    int failures = 0;
    ProcessFigures first;
    int reference = 0; // the frame of `first`
    const auto start = std::chrono::steady_clock::now();
    auto lap = start;
    for (int f = 0; f < o.frames; ++f) {
        drivenFrame(scene, f);
        if ((f + 1) % o.every != 0 && f + 1 != o.frames) continue;
        const uint32_t checksum = shownFrameChecksum(api);
        const ProcessFigures figures = processFigures();
        if (reference == 0 && f + 1 >= kWarmUpFrames) {
            first = figures;
            reference = f + 1;
        }
        const auto now = std::chrono::steady_clock::now();
        const double lapSeconds = std::chrono::duration<double>(now - lap).count();
        lap = now;
        // The checksum first: the lines a Linux run is held against.
        std::printf("frame %d: checksum %08x | %s, %.1f frames/s, %.0f s\n", f + 1,
                    unsigned(checksum), describeFigures(figures).c_str(),
                    lapSeconds > 0 ? o.every / lapSeconds : 0.0,
                    std::chrono::duration<double>(now - start).count());
        std::fflush(stdout);
    }
    const ProcessFigures last = processFigures();
    drivenUnload(scene);
    api.Shutdown();
    destroyHostWindow();
    unloadDriver(driver);

    if (reference > 0 && reference < o.frames) {
        const std::string span = "from frame " + std::to_string(reference) + " to the last";
        Allowance allowed;
#if defined(_WIN32)
        allowed.privateBytes = kDirectDrawMargin * directDraw.privateBytes * (o.frames - reference);
#endif
        failures += checkFlat(first, last, span.c_str(), allowed);
    } else {
        std::printf("note: too few frames to hold the figures flat after the first %d\n",
                    kWarmUpFrames);
    }
    std::printf("DONE: %d failure(s)\n", failures);
    return failures ? 1 : 0;
}
