// kxreplay: plays a trace through a driver, writes the flipped frames as PNG
// files, draws the frame as it stands at any call, shows the replay in a
// window or measures the speed, and reports calls that turn out otherwise
// than when they were recorded.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include "host/driver_loader.h"
#include "host/frame_grab.h"
#include "host/frame_viewer.h"
#include "host/host_system.h"
#include "host/png_writer.h"
#include "trace/replay.h"
#include "trace/replay_settings.h"
#include "trace/trace_frames.h"
#include "trace/trace_print.h"
#include "trace/trace_state.h"
#include "trace/trace_trim.h"

namespace {

using Clock = std::chrono::steady_clock;

// Exit codes.
enum { kDone = 0, kDiffered = 1, kBadUsage = 2, kBadTrace = 3, kCannotWrite = 4 };

struct Options {
    std::string trace, driver, dumpDir, frameList, callRange, drawAt, out, settings;
    bool benchmark = false, json = false, verbose = false, quiet = false;
    bool window = false, paused = false;
    double fps = -1; // -1: 30 with a window, else as fast as it goes
    long loops = 1;
};

void usage(FILE* out) {
    std::fprintf(
        out,
        "usage: kxreplay TRACE [options]\n"
        "  --driver PATH       driver library to play through (default: the one beside "
        "kxreplay)\n"
        "  --dump-frames DIR   write every flipped frame as DIR/frame_NNNN.png\n"
        "  --frames LIST       only these frames: numbers and ranges, e.g. 0,30,60-90\n"
        "  --calls [FIRST-]LAST  stop after call LAST; print (--verbose) from FIRST on\n"
        "  --draw-at CALL --out FILE.png\n"
        "                      play to call CALL and write the frame as it stands there,\n"
        "                      rendered as if the frame ended after that call\n"
        "  --window            show the replay in a window as it plays: Space pauses, N steps\n"
        "                      a frame, C steps a call, Q quits; the last frame stays until Q\n"
        "  --fps N             with --window: at most N frames a second (default 30, 0 as fast\n"
        "                      as it goes)\n"
        "  --paused            with --window: start paused\n"
        "  --settings FILE|defaults\n"
        "                      play with the filter, antialias, dither and fps_limit of the\n"
        "                      settings file FILE, or with the defaults, instead of those the\n"
        "                      trace was recorded with (a trace recorded before settings were\n"
        "                      kept plays with the defaults); never with a log file: a replay\n"
        "                      writes nothing into the player's log (KXPWRVR_LOG asks for a log\n"
        "                      of the replay; kernels and threads come from this machine)\n"
        "  --benchmark         no frame files: frames per second and time per entry point;\n"
        "                      fps_limit is not applied\n"
        "  --json              with --benchmark: the figures as one JSON object, the last line\n"
        "  --loop N            play the trace N times\n"
        "  --verbose           print each call as it is played\n"
        "  --quiet             no progress lines\n"
        "Exit: 0 played as recorded, 1 calls differed, 2 usage, driver, or a call or frame\n"
        "past the end, 3 bad trace, 4 a frame could not be written.\n");
}

bool parseNumber(const std::string& text, long& value) {
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == 0 && value >= 0 && text[0] != '-';
}

int parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        std::string value = hasValue ? argv[i + 1] : "";
        bool ok = true, takesValue = true;
        long number = 0;
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return -1;
        } else if (arg == "--driver") {
            o.driver = value;
        } else if (arg == "--dump-frames") {
            o.dumpDir = value;
        } else if (arg == "--frames") {
            o.frameList = value;
        } else if (arg == "--calls") {
            o.callRange = value;
        } else if (arg == "--draw-at") {
            o.drawAt = value;
        } else if (arg == "--out") {
            o.out = value;
        } else if (arg == "--settings") {
            o.settings = value;
        } else if (arg == "--loop") {
            ok = parseNumber(value, o.loops) && o.loops >= 1;
        } else if (arg == "--fps") {
            ok = parseNumber(value, number);
            o.fps = double(number);
        } else {
            takesValue = false;
            if (arg == "--benchmark")
                o.benchmark = true;
            else if (arg == "--json")
                o.json = true;
            else if (arg == "--verbose")
                o.verbose = true;
            else if (arg == "--quiet")
                o.quiet = true;
            else if (arg == "--window")
                o.window = true;
            else if (arg == "--paused")
                o.paused = true;
            else if (!arg.empty() && arg[0] != '-' && o.trace.empty())
                o.trace = arg;
            else {
                std::fprintf(stderr, "kxreplay: unknown option %s\n", arg.c_str());
                usage(stderr);
                return kBadUsage;
            }
        }
        if (takesValue) {
            if (!hasValue || value.empty() || !ok) {
                std::fprintf(stderr, "kxreplay: bad or missing value for %s\n", arg.c_str());
                return kBadUsage;
            }
            ++i;
        }
    }
    const char* clash = nullptr;
    if (o.trace.empty()) {
        usage(stderr);
        return kBadUsage;
    } else if (o.benchmark && !o.dumpDir.empty()) {
        clash = "--benchmark writes no frames; leave out --dump-frames";
    } else if (o.drawAt.empty() != o.out.empty()) {
        clash = "--draw-at CALL and --out FILE.png go together";
    } else if (!o.drawAt.empty() && (o.benchmark || o.window || !o.dumpDir.empty() ||
                                     !o.callRange.empty() || o.loops != 1)) {
        clash = "--draw-at plays to its call alone: leave out --benchmark, --window, "
                "--dump-frames, --calls and --loop";
    } else if (o.paused && !o.window) {
        clash = "--paused needs --window";
    } else if (o.window && o.benchmark) {
        clash = "--benchmark measures without a window";
    } else if (o.json && !o.benchmark) {
        clash = "--json writes the --benchmark figures: add --benchmark";
    }
    if (clash) {
        std::fprintf(stderr, "kxreplay: %s\n", clash);
        return kBadUsage;
    }
    if (o.fps < 0) o.fps = o.window ? 30 : 0;
    return 0;
}

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

bool writeFrame(const RgbImage& image, const std::string& path, std::string& error) {
    return writePng(path, image.width, image.height, image.rgb.data(), image.width * 3, error);
}

std::string framePath(const std::string& dir, long frame) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%04ld.png", frame);
    return (std::filesystem::path(dir) / name).string();
}

void printBenchmark(const uint64_t* counts, const double* times, double total) {
    std::printf("  %-22s %10s %10s %10s %7s\n", "entry point", "calls", "ms", "us/call", "share");
    for (uint32_t e = 0; e < kEntryCount; ++e) {
        if (!counts[e]) continue;
        std::printf("  %-22s %10llu %10.2f %10.2f %6.1f%%\n", entryInfo(e).name,
                    static_cast<unsigned long long>(counts[e]), times[e] * 1e3,
                    times[e] * 1e6 / double(counts[e]), total > 0 ? 100 * times[e] / total : 0.0);
    }
}

// The same figures for scripts: {"calls": ..., "frames": ..., "seconds": ...,
// "entry_points": {"BltToCard": {"calls": ..., "ms": ...}, ...}} on one line.
void printBenchmarkJson(uint64_t played, long flips, double total, const uint64_t* counts,
                        const double* times) {
    std::printf("{\"calls\": %llu, \"frames\": %ld, \"seconds\": %.6f, \"entry_points\": {",
                static_cast<unsigned long long>(played), flips, total);
    const char* comma = "";
    for (uint32_t e = 0; e < kEntryCount; ++e) {
        if (!counts[e]) continue;
        std::printf("%s\"%s\": {\"calls\": %llu, \"ms\": %.6f}", comma, entryInfo(e).name,
                    static_cast<unsigned long long>(counts[e]), times[e] * 1e3);
        comma = ", ";
    }
    std::printf("}}\n");
}

// What the options choose to play: call numbers, checked against the trace.
struct Plan {
    std::vector<size_t> calls; // to play, in order
    std::set<long> frames;     // to write; empty: every frame
    long firstVerbose = 0;     // --calls FIRST
    size_t drawAt = SIZE_MAX;  // --draw-at CALL
};

bool makePlan(const Options& o, const Trace& trace, const FrameIndex& frames, Plan& plan) {
    std::string error;
    const long lastCall = long(trace.calls.size()) - 1;
    auto fail = [&](const std::string& text) {
        std::fprintf(stderr, "kxreplay: %s\n", text.c_str());
        return false;
    };
    if (!o.frameList.empty() &&
        !parseNumberList(o.frameList, long(frames.flipped) - 1, "frame", plan.frames, error))
        return fail(error);
    size_t end = trace.calls.size();
    if (!o.callRange.empty()) {
        const size_t dash = o.callRange.find('-');
        std::set<long> range;
        if (!parseNumberList(dash == std::string::npos ? o.callRange : o.callRange.substr(dash + 1),
                             lastCall, "call", range, error))
            return fail(error);
        end = size_t(*range.begin()) + 1;
        if (dash != std::string::npos &&
            (!parseNumber(o.callRange.substr(0, dash), plan.firstVerbose) ||
             plan.firstVerbose > *range.begin()))
            return fail("bad call range \"" + o.callRange + "\"");
    }
    if (!o.drawAt.empty()) {
        std::set<long> at;
        if (!parseNumberList(o.drawAt, lastCall, "call", at, error)) return fail(error);
        plan.drawAt = size_t(*at.begin());
        const size_t frame = frames.frameOfCall[plan.drawAt];
        plan.calls = callsForFrames(trace, frames, frame, frame, plan.drawAt);
        if (!stateBefore(trace, plan.drawAt + 1).started)
            return fail("the driver is not started at call " + o.drawAt +
                        " (no Init that succeeded before it, or a Shutdown): nothing to draw");
        return true;
    }
    for (size_t i = 0; i < end; ++i)
        plan.calls.push_back(i);
    // Frames asked for that the calls played do not reach.
    if (end < trace.calls.size() && !plan.frames.empty()) {
        const long lastFlip = frames.flipCall[frames.frameOfCall[end - 1]] < end
                                  ? long(frames.frameOfCall[end - 1])
                                  : long(frames.frameOfCall[end - 1]) - 1;
        if (*plan.frames.rbegin() > lastFlip)
            std::printf("kxreplay: note: --calls stops after call %zu, in frame %u before its "
                        "flip: frames after %ld are not written\n",
                        end - 1, frames.frameOfCall[end - 1], lastFlip);
    }
    return true;
}

// The frame as it stands after the plan's last call: as flipped when that
// call ended the frame (its PageFlip, or a read-back after it), else
// rendered now by flipping it.
bool drawFrameAt(const KxEntryPoints& api, const Trace& trace, const FrameIndex& frames,
                 size_t call, const std::string& out, std::string& error) {
    const size_t frame = frames.frameOfCall[call];
    const bool flipped = frames.flipCall[frame] <= call;
    if (!flipped) api.PageFlip();
    RgbImage image = readBackFrame(api, kxScreenWidth, kxScreenHeight);
    if (!writeFrame(image, out, error)) return false;
    std::printf("kxreplay: call %zu is call %zu of frame %zu (calls %zu to %zu); %s written to "
                "%s\n",
                call, call - frames.firstCall[frame], frame, frames.firstCall[frame],
                frames.endCall(frame) - 1,
                flipped ? "the frame as flipped" : "the frame as it stands, rendered there,",
                out.c_str());
    (void)trace;
    return true;
}

// Reads the trace and says what it holds, makes the plan, applies the
// settings to play with (their file lives as long as `settings`) and makes
// the frames' folder: kDone, or the exit code.
int openTrace(const Options& o, Trace& trace, FrameIndex& frames, Plan& plan,
              ReplaySettings& settings) {
    std::string error;
    if (!readTraceFile(o.trace, trace, error)) {
        std::fprintf(stderr, "kxreplay: %s\n", error.c_str());
        return kBadTrace;
    }
    for (const std::string& note : trace.notes)
        std::printf("kxreplay: note: %s\n", note.c_str());
    frames = indexFrames(trace);
    std::printf("kxreplay: %s: %zu calls, %zu frames, recorded by %s on %s\n", o.trace.c_str(),
                trace.calls.size(), frames.flipped, traceInfoValue(trace, "program").c_str(),
                traceInfoValue(trace, "system").c_str());
    if (!makePlan(o, trace, frames, plan)) return kBadUsage;
    settings.benchmark = o.benchmark;
    if (!chooseReplaySettings(trace, o.settings, settings, error) ||
        !applyReplaySettings(settings, error)) {
        std::fprintf(stderr, "kxreplay: %s\n", error.c_str());
        return kBadUsage;
    }
    for (const std::string& line : describeReplaySettings(settings))
        std::printf("kxreplay: %s\n", line.c_str());
    if (!o.dumpDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(o.dumpDir, ec);
        if (ec) {
            std::fprintf(stderr, "kxreplay: cannot create %s: %s\n", o.dumpDir.c_str(),
                         ec.message().c_str());
            return kCannotWrite;
        }
    }
    return kDone;
}

// Loads the driver and makes the host's window (and the viewer's, with
// --window): kDone, or the exit code.
int startHost(const Options& o, LoadedDriver& driver) {
    std::string error;
    if (!loadDriver(driver, error, o.driver)) {
        std::fprintf(stderr, "kxreplay: %s\n", error.c_str());
        return kBadUsage;
    }
    if (!createHostWindow("kxreplay", kxScreenWidth, kxScreenHeight, error) ||
        (o.window && !openViewer("kxreplay", kxScreenWidth, kxScreenHeight, error))) {
        std::fprintf(stderr, "kxreplay: %s\n", error.c_str());
        destroyHostWindow();
        unloadDriver(driver);
        return kBadUsage;
    }
    if (o.paused) viewerPause();
    return kDone;
}

// One run through the plan: what the options chose, and what playing it
// counts.
struct Run {
    Run(const Options& o, const Trace& trace, const FrameIndex& frames, const Plan& plan,
        const KxEntryPoints& api)
        : o(o), trace(trace), frames(frames), plan(plan), api(api) {
        replay.trace = &trace;
        replay.api = &api;
    }
    const Options& o;
    const Trace& trace;
    const FrameIndex& frames;
    const Plan& plan;
    const KxEntryPoints& api;
    Replay replay;
    uint64_t counts[kEntryCount] = {}; // --benchmark: calls and seconds per entry point
    double times[kEntryCount] = {};
    long flips = 0, written = 0;
    uint64_t played = 0;
    int status = kDone;
    bool quit = false; // the viewer's Q
    Clock::time_point start, lastProgress;
    RgbImage shown; // the window's frame
    std::string error;
};

// Plays call i, timed with --benchmark; false (and the status) when the
// trace cannot be played on.
bool playTimed(Run& run, size_t i) {
    const auto t0 = run.o.benchmark ? Clock::now() : Clock::time_point{};
    if (!playCall(run.replay, i, run.error)) {
        std::fprintf(stderr, "kxreplay: %s: %s\n", run.o.trace.c_str(), run.error.c_str());
        run.status = kBadTrace;
        return false;
    }
    if (run.o.benchmark) {
        const uint32_t entry = run.trace.calls[i].entry;
        ++run.counts[entry];
        run.times[entry] += seconds(Clock::now() - t0);
    }
    ++run.played;
    return true;
}

// Stepping by calls in the window: each call named under the last frame shown.
void showCall(Run& run, size_t i, long frame) {
    if (!run.o.window || !viewerStepsCalls()) return;
    std::printf("kxreplay: call %zu: %s\n", i, describeCall(run.trace, i).c_str());
    std::fflush(stdout);
    viewerShow(run.shown.rgb.data(), run.shown.width, run.shown.height,
               "frame " + std::to_string(frame) + ", call " + std::to_string(i));
}

// --dump-frames: the flipped frame as a file; false (and the status) when
// it cannot be written.
bool dumpFrame(Run& run, long frame) {
    if (!writeFrame(run.shown, framePath(run.o.dumpDir, frame), run.error)) {
        std::fprintf(stderr, "kxreplay: %s\n", run.error.c_str());
        run.status = kCannotWrite;
        return false;
    }
    ++run.written;
    return true;
}

// --window: the flipped frame shown, at most --fps frames a second.
void showFrame(Run& run, size_t i, long frame) {
    viewerShow(run.shown.rgb.data(), run.shown.width, run.shown.height,
               "frame " + std::to_string(frame) + ", call " + std::to_string(i));
    if (viewerPaused()) {
        std::printf("kxreplay: frame %ld shown (call %zu)\n", frame, i);
        std::fflush(stdout);
    }
    viewerFrameEnded(run.o.fps);
}

// A progress line every 2 seconds, unless --quiet or --window.
void sayProgress(Run& run) {
    const auto now = Clock::now();
    if (run.o.quiet || run.o.window || seconds(now - run.lastProgress) < 2) return;
    run.lastProgress = now;
    long all = long(run.frames.flipped) * run.o.loops;
    std::printf("kxreplay: frame %ld of %ld (%.0f %%), %.1f frames per second\n", run.flips, all,
                all ? 100.0 * double(run.flips) / double(all) : 100.0,
                double(run.flips) / seconds(now - run.start));
    std::fflush(stdout);
}

// After a PageFlip: the frame written, shown, and progress said; false when
// this pass stops.
bool afterFlip(Run& run, size_t i, long frame) {
    ++run.flips;
    const bool dump = !run.o.dumpDir.empty() && long(i) >= run.plan.firstVerbose &&
                      (run.plan.frames.empty() || run.plan.frames.count(frame));
    if (dump || run.o.window) run.shown = readBackFrame(run.api, kxScreenWidth, kxScreenHeight);
    if (dump && !dumpFrame(run, frame)) return false;
    if (run.o.window) showFrame(run, i, frame);
    if (!pumpHostMessages()) return false;
    sayProgress(run);
    return true;
}

// Call i of the plan; false when this pass stops.
bool playOne(Run& run, size_t i) {
    if (run.o.window && !viewerMayGo()) {
        run.quit = true;
        return false;
    }
    if (run.o.verbose && long(i) >= run.plan.firstVerbose)
        std::printf("%s\n", describeCall(run.trace, i).c_str());
    if (!playTimed(run, i)) return false;
    const long frame = long(run.frames.frameOfCall[i]);
    if (run.trace.calls[i].entry == kEntry_PageFlip) return afterFlip(run, i, frame);
    showCall(run, i, frame);
    return true;
}

// The plan's calls, --loop times, until one cannot be played, a frame
// cannot be written or the viewer quits.
void playPlan(Run& run) {
    run.start = run.lastProgress = Clock::now();
    for (long pass = 0; pass < run.o.loops && run.status == kDone && !run.quit; ++pass) {
        if (pass) resetReplay(run.replay);
        for (size_t i : run.plan.calls)
            if (!playOne(run, i)) break;
    }
}

// What follows the last call: --draw-at's frame, the window held until Q,
// and the driver shut down and unloaded.
void endPlay(Run& run, LoadedDriver& driver) {
    if (run.status == kDone && run.plan.drawAt != SIZE_MAX &&
        !drawFrameAt(run.api, run.trace, run.frames, run.plan.drawAt, run.o.out, run.error)) {
        std::fprintf(stderr, "kxreplay: %s\n", run.error.c_str());
        run.status = kCannotWrite;
    }
    if (run.o.window) {
        if (!run.quit && run.status == kDone) {
            std::printf("kxreplay: the window shows frame %ld; Q quits\n", run.flips - 1);
            std::fflush(stdout);
            viewerHold();
        }
        closeViewer();
    }
    // A trace cut short may leave the driver started and textures loaded.
    driver.api.ResetTextures();
    driver.api.Shutdown();
    destroyHostWindow();
    unloadDriver(driver);
}

// The summary, the benchmark's table and the calls that differed; the
// exit code.
int sayResults(const Run& run, double elapsed) {
    std::printf("kxreplay: played %llu calls, %ld frames in %.2f s: %.1f frames per second\n",
                static_cast<unsigned long long>(run.played), run.flips, elapsed,
                elapsed > 0 ? double(run.flips) / elapsed : 0.0);
    if (run.o.benchmark && !run.o.json) printBenchmark(run.counts, run.times, elapsed);
    if (!run.o.dumpDir.empty())
        std::printf("kxreplay: %ld PNG frame%s in %s\n", run.written, run.written == 1 ? "" : "s",
                    run.o.dumpDir.c_str());
    const Replay& replay = run.replay;
    for (const std::string& line : replay.reports)
        std::printf("kxreplay: %s\n", line.c_str());
    int status = run.status;
    if (replay.failures || replay.differences) {
        std::printf("kxreplay: %llu call%s failed on replay that succeeded when recorded; "
                    "%llu other difference%s\n",
                    static_cast<unsigned long long>(replay.failures),
                    replay.failures == 1 ? "" : "s",
                    static_cast<unsigned long long>(replay.differences),
                    replay.differences == 1 ? "" : "s");
        if (status == kDone) status = kDiffered;
    } else if (status == kDone) {
        std::printf("kxreplay: every call played as recorded\n");
    }
    if (run.o.json) printBenchmarkJson(run.played, run.flips, elapsed, run.counts, run.times);
    return status;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (int code = parseOptions(argc, argv, o)) return code < 0 ? kDone : code;
    Trace trace;
    FrameIndex frames;
    Plan plan;
    ReplaySettings settings;
    if (int code = openTrace(o, trace, frames, plan, settings)) return code;
    LoadedDriver driver;
    if (int code = startHost(o, driver)) return code;
    Run run(o, trace, frames, plan, driver.api);
    playPlan(run);
    const double elapsed = seconds(Clock::now() - run.start);
    endPlay(run, driver);
    return sayResults(run, elapsed);
}
