// kxreplay: plays a trace through a driver, writes the flipped frames as PNG
// files or measures the speed, and reports calls that turn out otherwise
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
#include "host/host_system.h"
#include "host/png_writer.h"
#include "trace/replay.h"
#include "trace/trace_print.h"

namespace {

using Clock = std::chrono::steady_clock;

// Exit codes.
enum { kDone = 0, kDiffered = 1, kBadUsage = 2, kBadTrace = 3, kCannotWrite = 4 };

struct Options {
    std::string trace, driver, dumpDir;
    std::set<long> frames; // empty: every frame
    long firstCall = 0;
    long lastCall = -1; // -1: to the end
    bool benchmark = false, verbose = false, quiet = false;
    long loops = 1;
};

void usage(FILE* out) {
    std::fprintf(out,
                 "usage: kxreplay TRACE [options]\n"
                 "  --driver PATH      driver library to play through (default: the one beside "
                 "kxreplay)\n"
                 "  --dump-frames DIR  write every flipped frame as DIR/frame_NNNN.png\n"
                 "  --frames LIST      only these frames: numbers and ranges, e.g. 0,30,60-90\n"
                 "  --calls [FIRST-]LAST  stop after call LAST; print (--verbose) from FIRST on\n"
                 "  --benchmark        no frame files: frames per second and time per entry "
                 "point\n"
                 "  --loop N           play the trace N times\n"
                 "  --verbose          print each call as it is played\n"
                 "  --quiet            no progress lines\n"
                 "Exit: 0 played as recorded, 1 calls differed, 2 usage or driver, 3 bad trace,\n"
                 "4 a frame could not be written.\n");
}

bool parseNumber(const std::string& text, long& value) {
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == 0 && value >= 0;
}

bool parseFrames(const std::string& list, std::set<long>& frames) {
    size_t at = 0;
    while (at <= list.size()) {
        size_t comma = list.find(',', at);
        std::string item =
            list.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        size_t dash = item.find('-');
        long first, last;
        if (dash == std::string::npos) {
            if (!parseNumber(item, first)) return false;
            last = first;
        } else if (!parseNumber(item.substr(0, dash), first) ||
                   !parseNumber(item.substr(dash + 1), last) || last < first ||
                   last - first > 10000000) {
            return false;
        }
        for (long f = first; f <= last; ++f)
            frames.insert(f);
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    return true;
}

int parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        std::string value = hasValue ? argv[i + 1] : "";
        bool ok = true, takesValue = true;
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return -1;
        } else if (arg == "--driver") {
            o.driver = value;
        } else if (arg == "--dump-frames") {
            o.dumpDir = value;
        } else if (arg == "--frames") {
            ok = parseFrames(value, o.frames);
        } else if (arg == "--calls") {
            size_t dash = value.find('-');
            ok = dash == std::string::npos ? parseNumber(value, o.lastCall)
                                           : parseNumber(value.substr(0, dash), o.firstCall) &&
                                                 parseNumber(value.substr(dash + 1), o.lastCall) &&
                                                 o.firstCall <= o.lastCall;
        } else if (arg == "--loop") {
            ok = parseNumber(value, o.loops) && o.loops >= 1;
        } else {
            takesValue = false;
            if (arg == "--benchmark")
                o.benchmark = true;
            else if (arg == "--verbose")
                o.verbose = true;
            else if (arg == "--quiet")
                o.quiet = true;
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
    if (o.trace.empty()) {
        usage(stderr);
        return kBadUsage;
    }
    if (o.benchmark && !o.dumpDir.empty()) {
        std::fprintf(stderr, "kxreplay: --benchmark writes no frames; leave out --dump-frames\n");
        return kBadUsage;
    }
    return 0;
}

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

bool dumpFrame(const KxEntryPoints& api, const std::string& dir, long frame, std::string& error) {
    RgbImage image = readBackFrame(api, kxScreenWidth, kxScreenHeight);
    char name[32];
    std::snprintf(name, sizeof name, "frame_%04ld.png", frame);
    return writePng((std::filesystem::path(dir) / name).string(), image.width, image.height,
                    image.rgb.data(), image.width * 3, error);
}

void printBenchmark(const Trace& trace, const uint64_t* counts, const double* times, double total) {
    std::printf("  %-22s %10s %10s %10s %7s\n", "entry point", "calls", "ms", "us/call", "share");
    for (uint32_t e = 0; e < kEntryCount; ++e) {
        if (!counts[e]) continue;
        std::printf("  %-22s %10llu %10.2f %10.2f %6.1f%%\n", entryInfo(e).name,
                    static_cast<unsigned long long>(counts[e]), times[e] * 1e3,
                    times[e] * 1e6 / double(counts[e]), total > 0 ? 100 * times[e] / total : 0.0);
    }
    (void)trace;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (int code = parseOptions(argc, argv, o)) return code < 0 ? kDone : code;

    Trace trace;
    std::string error;
    if (!readTraceFile(o.trace, trace, error)) {
        std::fprintf(stderr, "kxreplay: %s\n", error.c_str());
        return kBadTrace;
    }
    for (const std::string& note : trace.notes)
        std::printf("kxreplay: note: %s\n", note.c_str());
    long totalFrames = 0;
    for (const TraceCall& c : trace.calls)
        totalFrames += c.entry == kEntry_PageFlip;
    std::printf("kxreplay: %s: %zu calls, %ld frames, recorded by %s on %s\n", o.trace.c_str(),
                trace.calls.size(), totalFrames, traceInfoValue(trace, "program").c_str(),
                traceInfoValue(trace, "system").c_str());

    if (!o.dumpDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(o.dumpDir, ec);
        if (ec) {
            std::fprintf(stderr, "kxreplay: cannot create %s: %s\n", o.dumpDir.c_str(),
                         ec.message().c_str());
            return kCannotWrite;
        }
    }
    LoadedDriver driver;
    if (!loadDriver(driver, error, o.driver)) {
        std::fprintf(stderr, "kxreplay: %s\n", error.c_str());
        return kBadUsage;
    }
    if (!createHostWindow("kxreplay", kxScreenWidth, kxScreenHeight, error)) {
        std::fprintf(stderr, "kxreplay: %s\n", error.c_str());
        unloadDriver(driver);
        return kBadUsage;
    }

    Replay replay;
    replay.trace = &trace;
    replay.api = &driver.api;
    const size_t callCount =
        o.lastCall >= 0 ? std::min(trace.calls.size(), size_t(o.lastCall) + 1) : trace.calls.size();
    uint64_t counts[kEntryCount] = {};
    double times[kEntryCount] = {};
    long frame = 0, written = 0;
    uint64_t played = 0;
    int status = kDone;
    const auto start = Clock::now();
    auto lastProgress = start;
    for (long pass = 0; pass < o.loops && status == kDone; ++pass) {
        if (pass) resetReplay(replay);
        for (size_t i = 0; i < callCount; ++i) {
            const TraceCall& call = trace.calls[i];
            if (o.verbose && long(i) >= o.firstCall)
                std::printf("%s\n", describeCall(trace, i).c_str());
            const auto t0 = o.benchmark ? Clock::now() : Clock::time_point{};
            if (!playCall(replay, i, error)) {
                std::fprintf(stderr, "kxreplay: %s: %s\n", o.trace.c_str(), error.c_str());
                status = kBadTrace;
                break;
            }
            if (o.benchmark) {
                ++counts[call.entry];
                times[call.entry] += seconds(Clock::now() - t0);
            }
            ++played;
            if (call.entry != kEntry_PageFlip) continue;
            if (!o.dumpDir.empty() && long(i) >= o.firstCall &&
                (o.frames.empty() || o.frames.count(frame))) {
                if (!dumpFrame(driver.api, o.dumpDir, frame, error)) {
                    std::fprintf(stderr, "kxreplay: %s\n", error.c_str());
                    status = kCannotWrite;
                    break;
                }
                ++written;
            }
            ++frame;
            if (!pumpHostMessages()) break;
            const auto now = Clock::now();
            if (!o.quiet && seconds(now - lastProgress) >= 2) {
                lastProgress = now;
                long all = totalFrames * o.loops;
                std::printf("kxreplay: frame %ld of %ld (%.0f %%), %.1f frames per second\n", frame,
                            all, all ? 100.0 * double(frame) / double(all) : 100.0,
                            double(frame) / seconds(now - start));
                std::fflush(stdout);
            }
        }
    }
    const double elapsed = seconds(Clock::now() - start);
    // A trace cut short may leave the driver started.
    driver.api.Shutdown();
    destroyHostWindow();
    unloadDriver(driver);

    std::printf("kxreplay: played %llu calls, %ld frames in %.2f s: %.1f frames per second\n",
                static_cast<unsigned long long>(played), frame, elapsed,
                elapsed > 0 ? double(frame) / elapsed : 0.0);
    if (o.benchmark) printBenchmark(trace, counts, times, elapsed);
    if (!o.dumpDir.empty())
        std::printf("kxreplay: %ld PNG frame%s in %s\n", written, written == 1 ? "" : "s",
                    o.dumpDir.c_str());
    for (const std::string& line : replay.reports)
        std::printf("kxreplay: %s\n", line.c_str());
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
    return status;
}
