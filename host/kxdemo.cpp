// kxdemo: a small host that loads the driver by name, plays the scripted
// scene and writes chosen frames, read back from the screen, as PNG files.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "host/driver_loader.h"
#include "host/frame_grab.h"
#include "host/frame_viewer.h"
#include "host/host_system.h"
#include "host/png_writer.h"
#include "host/scene.h"

#if !defined(_WIN32)
#include "platform/posix/standin_control.h"
#endif

namespace {

struct Options {
    int frames = 120;
    std::string outDir = "out/demo";
    std::string driver;        // empty: the driver beside the program
    std::set<int> writeFrames; // explicit frame numbers
    int writeEvery = 30;       // 0: none by period
    bool writeLast = true;
    bool format555 = false;
    bool window = false;    // show the frames as they play
    double fps = 30;        // with the window: frames a second at most (0: as fast as it goes)
    bool paused = false;    // with the window: start paused
    std::string frameTimes; // file for the time from each frame's flip to the next's
    std::string json;       // file for the figures, for scripts
};

void usage(FILE* out) {
    std::fprintf(out, "usage: kxdemo [--frames N] [--out DIR] [--write LIST] [--format 565|555]\n"
                      "              [--driver PATH] [--window [--fps N] [--paused]]\n"
                      "  --frames N      frames to play (default 120)\n"
                      "  --out DIR       folder for the PNG frames (default out/demo)\n"
                      "  --write LIST    frames to save: numbers and 'last' separated by commas,\n"
                      "                  'every:N' (every Nth frame and the last) or 'none'\n"
                      "                  (default every:30)\n"
                      "  --format F      pixel format of the stand-in display, 565 or 555 (Linux)\n"
                      "  --driver PATH   driver library to load instead of the one beside the "
                      "program\n"
                      "                  (the recording driver, for one)\n"
                      "  --window        show the frames in a window as they play: Space pauses,\n"
                      "                  N steps a frame, Q quits; the last frame stays until Q\n"
                      "  --fps N         with --window: at most N frames a second (default 30,\n"
                      "                  0 as fast as it goes)\n"
                      "  --paused        with --window: start paused\n"
                      "  --frame-times F write the milliseconds between one frame's flip and\n"
                      "                  the next to F, one a line (the frame limiter's spacing)\n"
                      "  --json F        write the run's figures to F as one JSON object\n");
}

bool parseInt(const char* text, int& value) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < 0 || v > 100000000) return false;
    value = int(v);
    return true;
}

bool parseWriteList(const std::string& list, Options& o) {
    o.writeFrames.clear();
    o.writeEvery = 0;
    o.writeLast = false;
    if (list == "none") return true;
    if (list.rfind("every:", 0) == 0) {
        o.writeLast = true;
        return parseInt(list.c_str() + 6, o.writeEvery) && o.writeEvery > 0;
    }
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        std::string item =
            list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        int frame = 0;
        if (item == "last")
            o.writeLast = true;
        else if (parseInt(item.c_str(), frame))
            o.writeFrames.insert(frame);
        else
            return false;
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return true;
}

// Returns 0 to go on, or the exit code.
int parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return -1;
        }
        if (arg == "--window" || arg == "--paused") {
            (arg == "--window" ? o.window : o.paused) = true;
            continue;
        }
        bool ok = value != nullptr;
        int fps = 0;
        if (arg == "--fps")
            ok = ok && parseInt(value, fps);
        else if (arg == "--frames")
            ok = ok && parseInt(value, o.frames) && o.frames > 0;
        else if (arg == "--out")
            ok = ok && *value;
        else if (arg == "--write")
            ok = ok && parseWriteList(value, o);
        else if (arg == "--format")
            ok = ok && (!std::strcmp(value, "565") || !std::strcmp(value, "555"));
        else if (arg == "--frame-times" || arg == "--json")
            ok = ok && *value;
        else if (arg == "--driver")
            ok = ok && *value;
        else {
            std::fprintf(stderr, "kxdemo: unknown option %s\n", arg.c_str());
            usage(stderr);
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "kxdemo: bad or missing value for %s\n", arg.c_str());
            return 2;
        }
        if (arg == "--out") o.outDir = value;
        if (arg == "--driver") o.driver = value;
        if (arg == "--frame-times") o.frameTimes = value;
        if (arg == "--json") o.json = value;
        if (arg == "--format") o.format555 = !std::strcmp(value, "555");
        if (arg == "--fps") o.fps = fps;
        ++i;
    }
    if (o.paused && !o.window) {
        std::fprintf(stderr, "kxdemo: --paused needs --window\n");
        return 2;
    }
#if defined(_WIN32)
    if (o.format555) {
        std::fprintf(
            stderr,
            "kxdemo: --format chooses the Linux stand-in display; Windows uses the real one\n");
        return 2;
    }
#endif
    return 0;
}

bool wanted(const Options& o, int frame) {
    return o.writeFrames.count(frame) || (o.writeEvery > 0 && frame % o.writeEvery == 0) ||
           (o.writeLast && frame == o.frames - 1);
}

// The summary's figures for scripts: {"frames": ..., "seconds": ...,
// "processor_seconds": ...}.
bool writeFiguresJson(const std::string& path, int frames, double seconds,
                      double processorSeconds) {
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    std::fprintf(f, "{\"frames\": %d, \"seconds\": %.6f, \"processor_seconds\": %.6f}\n", frames,
                 seconds, processorSeconds);
    return std::fclose(f) == 0;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void summary(int frames, double seconds, double processorSeconds, const StageTimes& t) {
    auto share = [&](double part) { return seconds > 0 ? 100.0 * part / seconds : 0.0; };
    double host = seconds - t.render - t.blits - t.textures - t.readBack;
    std::printf("kxdemo: %d frames in %.2f s: %.1f frames per second\n", frames, seconds,
                seconds > 0 ? frames / seconds : 0.0);
    // Processor time, every thread included: what a busy machine disturbs least.
    std::printf("kxdemo: the frames took %.3f s of processor time, %.3f ms a frame\n",
                processorSeconds, frames > 0 ? 1e3 * processorSeconds / frames : 0.0);
    std::printf("  rendering      %5.1f %%  DrawPrimitive, PageFlip and each frame's first blit,\n"
                "                           which has the scene rendered\n",
                share(t.render));
    std::printf("  blits          %5.1f %%  BltToCard, StretchBltToCard\n", share(t.blits));
    std::printf("  textures       %5.1f %%  SelectTexture, ModifyTexture, LoadPalette\n",
                share(t.textures));
    std::printf("  read-back      %5.1f %%  BltFromCard\n", share(t.readBack));
    std::printf("  host           %5.1f %%  scene building, PNG files\n", share(host));
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (int code = parseOptions(argc, argv, options)) return code < 0 ? 0 : code;

    std::error_code ec;
    std::filesystem::create_directories(options.outDir, ec);
    if (ec) {
        std::fprintf(stderr, "kxdemo: cannot create %s: %s\n", options.outDir.c_str(),
                     ec.message().c_str());
        return 2;
    }

    LoadedDriver driver;
    std::string error;
    if (!loadDriver(driver, error, options.driver)) {
        std::fprintf(stderr, "kxdemo: %s\n", error.c_str());
        return 2;
    }
    const KxEntryPoints& api = driver.api;
    if (!createHostWindow("kxdemo", kScreenWidth, kScreenHeight, error)) {
        std::fprintf(stderr, "kxdemo: %s\n", error.c_str());
        unloadDriver(driver);
        return 2;
    }
#if !defined(_WIN32)
    kxstandSetPixelFormat565(!options.format555);
#endif

    std::printf("kxdemo: driver \"%s\", accelerator library %s\n", api.GetID(),
                api.Detect() ? "found" : "too old");
    if (!api.Init()) {
        std::fprintf(stderr, "kxdemo: Init failed: the driver could not take over the display "
                             "or the accelerator\n");
        destroyHostWindow();
        unloadDriver(driver);
        return 1;
    }

    auto setupStart = std::chrono::steady_clock::now();
    DemoScene scene;
    sceneLoad(scene, api);
    std::printf("kxdemo: %d textures loaded in %.2f s; playing %d frames\n",
                sceneTextureCount(scene), secondsSince(setupStart), options.frames);

    if (options.window && !openViewer("kxdemo", kScreenWidth, kScreenHeight, error)) {
        std::fprintf(stderr, "kxdemo: %s\n", error.c_str());
        sceneUnload(scene);
        api.Shutdown();
        destroyHostWindow();
        unloadDriver(driver);
        return 2;
    }
    if (options.paused) viewerPause();

    StageTimes times;
    std::vector<double> flipTimes; // seconds since the start, after each frame's flip
    int written = 0, played = 0, status = 0;
    bool quit = false;
    auto start = std::chrono::steady_clock::now();
    const double processorStart = processSeconds();
    for (int frame = 0; frame < options.frames; ++frame) {
        if (!pumpHostMessages()) {
            std::printf("kxdemo: window closed after %d frames\n", frame);
            break;
        }
        if (options.window && !viewerMayGo()) {
            quit = true;
            break;
        }
        sceneFrame(scene, frame, times);
        if (!options.frameTimes.empty()) flipTimes.push_back(secondsSince(start));
        ++played;
        std::string note;
        const bool write = wanted(options, frame);
        RgbImage image;
        if (write || options.window) {
            auto t0 = std::chrono::steady_clock::now();
            image = readBackFrame(api, kScreenWidth, kScreenHeight);
            times.readBack += secondsSince(t0);
        }
        if (options.window) {
            viewerShow(image.rgb.data(), image.width, image.height,
                       "frame " + std::to_string(frame));
            viewerFrameEnded(options.fps);
        }
        if (write) {
            char name[32];
            std::snprintf(name, sizeof name, "frame_%04d.png", frame);
            std::string path = (std::filesystem::path(options.outDir) / name).string();
            if (!writePng(path, image.width, image.height, image.rgb.data(), image.width * 3,
                          error)) {
                std::fprintf(stderr, "kxdemo: %s\n", error.c_str());
                status = 3;
                break;
            }
            ++written;
            note = ", wrote " + path;
        }
        if (!note.empty() || (frame + 1) % 30 == 0 || frame + 1 == options.frames) {
            double elapsed = secondsSince(start);
            std::printf("kxdemo: %d/%d frames, %.1f frames per second%s\n", frame + 1,
                        options.frames, elapsed > 0 ? (frame + 1) / elapsed : 0.0, note.c_str());
            std::fflush(stdout);
        }
    }
    double seconds = secondsSince(start);
    const double processorSeconds = processSeconds() - processorStart;
    if (options.window) {
        if (quit) {
            std::printf("kxdemo: stopped after %d frames\n", played);
        } else if (played > 0) {
            std::printf("kxdemo: the window shows frame %d; Q quits\n", played - 1);
            std::fflush(stdout);
            viewerHold();
        }
        closeViewer();
    }

    if (!options.frameTimes.empty()) {
        FILE* file = std::fopen(options.frameTimes.c_str(), "w");
        for (size_t i = 1; file && i < flipTimes.size(); ++i)
            std::fprintf(file, "%.4f\n", 1e3 * (flipTimes[i] - flipTimes[i - 1]));
        if (!file || std::fclose(file) != 0) {
            std::fprintf(stderr, "kxdemo: cannot write %s\n", options.frameTimes.c_str());
            status = 3;
        }
    }
    sceneUnload(scene);
    api.Shutdown();
    destroyHostWindow();
    unloadDriver(driver);
    if (status == 0) {
        summary(played, seconds, processorSeconds, times);
        if (!options.json.empty() &&
            !writeFiguresJson(options.json, played, seconds, processorSeconds)) {
            std::fprintf(stderr, "kxdemo: cannot write %s\n", options.json.c_str());
            status = 1;
        }
        std::printf("kxdemo: %d PNG frame%s in %s\n", written, written == 1 ? "" : "s",
                    options.outDir.c_str());
    }
    return status;
}
