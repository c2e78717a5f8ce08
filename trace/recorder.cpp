// kxtrace, the recording driver: the 28 entry points of the driver, each
// forwarded unchanged to the real driver and written to the trace with its
// arguments, its result and the host memory the driver reads at that moment.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>
#include <unordered_map>

#include "diag/diag.h"
#include "host/driver_loader.h"
#include "host/host_library.h"
#include "settings/settings.h"
#include "trace/host_reads.h"
#include "trace/trace_settings.h"
#include "trace/trace_writer.h"

#if defined(_WIN32)
// <windows.h> cannot meet the interface header, which declares GUID itself.
extern "C" __declspec(dllimport) void __stdcall OutputDebugStringA(const char* text);
extern "C" __declspec(dllimport) int __stdcall MessageBoxA(void* window, const char* text,
                                                           const char* caption, unsigned type);
#endif

namespace {

struct TrackedTexture {
    int32_t width, height;
    uint32_t format;
    const uint32_t* palette;
    const void* pixels; // as last given, for a record that cannot be read
    // The driver's record, which the handle points to: the recorder reads
    // its image pointer to know which pixels a conversion reads, since
    // ModifyTexture moves the record to a new image only when the texture is
    // resident. Null when the record does not hold what LoadTexture was
    // given (a driver that does not keep the interface's record).
    const TextureRecord* record;
};

struct Recorder {
    bool started = false;
    LoadedDriver driver; // null library: no driver
    TraceWriter writer;
    bool recording = false;
    int depth = 0; // entry points running; the driver calling itself is not recorded
    std::unordered_map<uintptr_t, TrackedTexture> textures;
    CallBuilder call;
    bool warnedLayout = false;
    std::string path;          // the trace file
    bool displayHeld = false;  // between the host's Init and Shutdown
    bool reportedStop = false; // the stopped recording has been reported
    std::string untold;        // a problem waiting for the display to come back
    ~Recorder() { closeTrace(writer); }
};

Recorder recorder;

void say(const std::string& text) {
    std::string line = "kxtrace: " + text + "\n";
    std::fputs(line.c_str(), stderr);
#if defined(_WIN32)
    OutputDebugStringA(line.c_str());
#endif
}

// A problem the player must hear of, without which they would wait for a
// trace that never comes: in the driver's log when the settings ask for
// one, else (Windows) in a message box, shown once, and never while the
// game holds the display full screen, where it could not be seen.
void tellPlayer(const std::string& text) {
    say(text);
    if (!kxSettings().log.empty()) {
        kxPrint("kxtrace: %s\n", text.c_str());
        return;
    }
#if defined(_WIN32)
    if (!recorder.untold.empty()) return; // one box is enough
    recorder.untold = text;
#endif
}

void showUntold() {
#if defined(_WIN32)
    static bool shown = false;
    if (recorder.displayHeld || recorder.untold.empty() || shown) return;
    shown = true;
    const unsigned kOkWarningTopmost = 0x0 | 0x30 | 0x40000;
    MessageBoxA(nullptr, recorder.untold.c_str(), "kxpwrvr trace recorder", kOkWarningTopmost);
#endif
}

// The real driver: the setting (KXTRACE_DRIVER, driver under [kxtrace]),
// else the renamed driver beside the recorder (Windows) or the driver beside
// it (Linux).
std::string realDriverPath(const KxSettings& mine) {
    if (!mine.traceDriver.empty()) return mine.traceDriver;
#if defined(_WIN32)
    const char* name = "kxpwrvr_real.dll";
#else
    const char* name = "libkxpwrvr.so";
#endif
    return moduleFolder(reinterpret_cast<const void*>(&realDriverPath)) + pathSeparator() + name;
}

std::string tracePath(const KxSettings& mine) {
    std::string path = mine.traceFile;
    if (path.empty()) path = programName();
    const std::string extension = ".kxtrace";
    if (path.size() < extension.size() ||
        path.compare(path.size() - extension.size(), extension.size(), extension) != 0)
        path += extension;
    return path;
}

void start() {
    Recorder& r = recorder;
    r.started = true;
    // The recorder's own settings: [kxtrace] of the file beside it, its
    // variables over them. What cannot be used is said once, here.
    const KxSettings mine = readSettings(settingsLibraryFolder(), kSectionTrace);
    for (const std::string& problem : mine.problems) {
        say("settings: " + problem);
        kxPrint("kxtrace: settings: %s\n", problem.c_str());
    }
    std::string error, driverPath = realDriverPath(mine);
    if (!loadDriver(r.driver, error, driverPath)) {
#if defined(_WIN32)
        const char* hint = " (is the real driver renamed kxpwrvr_real.dll beside the recorder?)";
#else
        const char* hint = " (set KXTRACE_DRIVER to the driver's path)";
#endif
        tellPlayer(error + hint + "; nothing is recorded");
        showUntold();
        return;
    }
    // lz4 by default: it costs the host least.
    const uint32_t compression = mine.traceCompress == "none"   ? kCompressionNone
                                 : mine.traceCompress == "zstd" ? kCompressionZstd
                                                                : kCompressionLz4;
#if defined(_WIN32)
    const char* system = sizeof(void*) == 8 ? "windows-x86_64" : "windows-x86";
#else
    const char* system = "linux";
#endif
    // The settings in force are the driver's: read as it reads them, from
    // the file beside it (or KXPWRVR_INI's) and its variables. What it
    // cannot use, it reports itself.
    const KxSettings driverSettings = readSettings(
        moduleFolder(reinterpret_cast<const void*>(r.driver.api.GetGuid)), kSectionDriver);
    std::string path = tracePath(mine);
    std::string info = "program=" + programName() + "\nrecorder=kxtrace 1\nsystem=" + system +
                       "\ndriver=" + driverPath + "\n" + settingsInfoLines(driverSettings);
    if (!openTrace(r.writer, path, compression, info, error)) {
        tellPlayer(error + "; the game runs without recording (is the folder writable?)");
        showUntold();
        return;
    }
    r.recording = true;
    r.path = path;
    say("recording to " + path + " (driver " + driverPath + ")");
}

// The driver's entry points, after starting on the first call.
const KxEntryPoints* driver() {
    if (!recorder.started) start();
    return recorder.driver.library ? &recorder.driver.api : nullptr;
}

// A void entry point's result: one forwarder serves every entry point.
struct Nothing {};
template <typename Result>
using ForwardedValue = std::conditional_t<std::is_void_v<Result>, Nothing, Result>;
template <typename Value, typename Play> Value forwarded(Play play) {
    if constexpr (std::is_same_v<Value, Nothing>) {
        play();
        return Nothing();
    } else {
        return play();
    }
}

// One entry point call: recorded when the recorder writes and the host made
// it (not the driver calling one of its own entry points). Its arguments are
// kept as words, recorded or not, for what the recorder does around the call.
struct Call {
    uint32_t entry;
    bool recorded;
    uint64_t a[kMaxArgs] = {};
    int count = 0;
    explicit Call(uint32_t entry) : entry(entry) {
        recorded = recorder.recording && recorder.depth == 0 && !recorder.writer.failed;
        ++recorder.depth;
        if (recorded) startCall(recorder.call, entry);
    }
    ~Call() {
        --recorder.depth;
        if (recorded) finishCall(recorder.writer, recorder.call);
    }
    template <typename... T> void args(T... values) { (arg(values), ...); }
    template <typename T> void arg(T value) {
        if (count < kMaxArgs) a[count++] = toWord(value);
        if (recorded) addArg(recorder.call, toWord(value));
    }
    template <typename T> T result(T value) {
        if (recorded) recorder.call.result = toWord(value);
        return value;
    }
    void contents(const void* base, const MemoryRows& rows) {
        if (recorded && base)
            addContents(recorder.writer, recorder.call, uintptr_t(base),
                        static_cast<const uint8_t*>(base), rows);
    }
    static uint64_t toWord(int32_t v) { return uint32_t(v); }
    static uint64_t toWord(Nothing) { return 0; }
    static uint64_t toWord(uint32_t v) { return v; }
    static uint64_t toWord(const void* p) { return uintptr_t(p); }
};

// An argument word as the host's pointer.
const void* pointerArg(uint64_t word) {
    return reinterpret_cast<const void*>(uintptr_t(word));
}

// The image the driver's record of a texture points to now.
const void* currentPixels(const TrackedTexture& t) {
    return t.record ? t.record->pixels : t.pixels;
}

// What a conversion of the texture reads: its image and, for an indexed
// image, its own palette.
void textureContents(Call& call, const TrackedTexture& t) {
    call.contents(currentPixels(t), textureRead(t.width, t.height, t.format));
    if (t.format == 0 && t.palette) call.contents(t.palette, paletteRead());
}

void forgetTextures() {
    recorder.textures.clear();
}

void flush() {
    Recorder& r = recorder;
    if (!r.recording) return;
    flushTrace(r.writer);
    if (r.writer.failed && !r.reportedStop) {
        r.reportedStop = true;
        const std::string why = r.writer.failure ? std::strerror(r.writer.failure) : "write error";
        tellPlayer("writing " + r.path + " failed (" + why +
                   ", is the disk full?): the recording "
                   "stopped after " +
                   std::to_string(r.writer.calls) +
                   " calls; the game runs on, and the trace holds what came before");
    }
}

const uint8_t kNoGuid[16] = {};

// A blit's source image (its first argument) and palette, when any of the
// image lands on the display.
void blitContents(Call& call, const MemoryRows& image, uint64_t palette) {
    if (!call.a[0] || image.empty()) return;
    call.contents(pointerArg(call.a[0]), image);
    call.contents(pointerArg(palette), paletteRead());
}

// What the driver reads from host memory for the call, recorded before it
// is made.
void recordReads(Call& call) {
    const uint64_t* a = call.a;
    switch (call.entry) {
    case kEntry_DrawPrimitive:
        call.contents(pointerArg(a[0]), verticesRead(argInt(a[1])));
        break;
    case kEntry_SelectTexture: {
        // A texture that is not resident is converted now, from the image and
        // palette its record names.
        auto found = recorder.textures.find(uintptr_t(a[0]));
        if (found != recorder.textures.end()) textureContents(call, found->second);
        break;
    }
    case kEntry_ModifyTexture: {
        auto found = recorder.textures.find(uintptr_t(a[0]));
        if (found != recorder.textures.end() && a[1]) {
            const TrackedTexture& t = found->second;
            call.contents(pointerArg(a[1]), textureRead(t.width, t.height, t.format));
            if (t.format == 0 && t.palette) call.contents(t.palette, paletteRead());
        }
        break;
    }
    case kEntry_LoadPalette:
        if (a[0]) {
            call.contents(pointerArg(a[0]), paletteRead());
            // Resident textures without a palette of their own are converted again.
            for (const auto& entry : recorder.textures)
                if (!entry.second.palette)
                    call.contents(
                        currentPixels(entry.second),
                        textureRead(entry.second.width, entry.second.height, entry.second.format));
        }
        break;
    case kEntry_BltToCard:
        blitContents(call,
                     bltSourceRead(argInt(a[1]), argInt(a[2]), argInt(a[3]), argInt(a[4]),
                                   argInt(a[5]), uint32_t(a[6])),
                     a[7]);
        break;
    case kEntry_StretchBltToCard:
        blitContents(call,
                     stretchSourceRead(argInt(a[1]), argInt(a[2]), argInt(a[3]), argInt(a[4]),
                                       argInt(a[5]), argInt(a[6]), argInt(a[7]), uint32_t(a[8])),
                     a[9]);
        break;
    default:
        break;
    }
}

// A texture handle the driver gave: tracked, so that later calls know what
// its conversions read. The record is trusted only where it holds what was
// just given.
void trackTexture(const Call& call, const TextureRecord* record) {
    const uint64_t* a = call.a;
    const void* pixels = pointerArg(a[0]);
    const int32_t width = argInt(a[1]), height = argInt(a[2]);
    const uint32_t hostValue4 = uint32_t(a[3]), format = uint32_t(a[4]);
    const uint32_t hostValue6 = uint32_t(a[5]);
    const uint32_t* palette = static_cast<const uint32_t*>(pointerArg(a[6]));
    bool matches = record->width == width && record->height == height &&
                   record->hostValue4 == hostValue4 && record->hostValue6 == hostValue6 &&
                   record->format == format && record->palette == palette &&
                   record->pixels == pixels;
    if (!matches && !recorder.warnedLayout) {
        recorder.warnedLayout = true;
        say("the driver's texture handles are not laid out as expected; images changed "
            "by ModifyTexture are recorded as if the texture were resident");
    }
    recorder.textures[uintptr_t(record)] =
        TrackedTexture{width, height, format, palette, pixels, matches ? record : nullptr};
}

// What the recorder learns from a call the driver made: the result's data,
// the textures it tracks, what the driver wrote into host memory.
void afterCall(Call& call, uint64_t result) {
    const uint64_t* a = call.a;
    const void* returned = pointerArg(result);
    switch (entryInfo(call.entry).result) {
    case kResultGuid:
        if (call.recorded && returned) addResultData(recorder.call, returned, 16);
        break;
    case kResultText:
        if (call.recorded && returned)
            addResultData(
                recorder.call, returned,
                uint32_t(strnlen(static_cast<const char*>(returned), kMaxResultDataBytes)));
        break;
    default:
        break;
    }
    switch (call.entry) {
    case kEntry_ChangeResolution:
        if (argInt(result)) forgetTextures(); // a new resolution frees every texture record
        break;
    case kEntry_LoadTexture:
        if (returned && recorder.recording)
            trackTexture(call, static_cast<const TextureRecord*>(returned));
        break;
    case kEntry_UnloadTexture:
        recorder.textures.erase(uintptr_t(a[0]));
        break;
    case kEntry_ResetTextures:
        forgetTextures();
        break;
    case kEntry_ModifyTexture: {
        auto found = recorder.textures.find(uintptr_t(a[0]));
        if (found != recorder.textures.end() && a[1]) found->second.pixels = pointerArg(a[1]);
        break;
    }
    case kEntry_BltFromCard:
        // What was read back, so that replay can tell whether it sees the same.
        if (call.recorded && argInt(result) && a[0])
            addReadBack(recorder.call, uintptr_t(a[0]),
                        static_cast<const uint8_t*>(pointerArg(a[0])),
                        readBackWritten(argInt(a[3]), argInt(a[4]), argInt(a[5]), uint32_t(a[6])));
        break;
    default:
        break;
    }
}

// What follows a call once it is written: a flip or shut-down puts the
// trace on disk (a crash loses at most the frame being drawn), and a
// problem held back is shown when the game does not hold the display.
void afterWritten(uint32_t entry, uint64_t result) {
    switch (entry) {
    case kEntry_Init:
        if (argInt(result)) recorder.displayHeld = true;
        showUntold();
        break;
    case kEntry_Shutdown:
        flush();
        recorder.displayHeld = false;
        showUntold();
        break;
    case kEntry_PageFlip:
        flush();
        break;
    default:
        break;
    }
}

// What a call answers when there is no driver to pass it to.
const GUID* noDriverResult(const GUID*) {
    return reinterpret_cast<const GUID*>(kNoGuid);
}
const char* noDriverResult(const char*) {
    return "kxtrace: no driver";
}
int noDriverResult(int) {
    return 0;
}
TextureRecord* noDriverResult(TextureRecord*) {
    return nullptr;
}

Nothing noDriverResult(Nothing) {
    return Nothing();
}
uint64_t resultWord(Nothing) {
    return 0;
}
uint64_t resultWord(const void* value) {
    return uintptr_t(value);
}
uint64_t resultWord(int value) {
    return uint32_t(value);
}

} // namespace

// Each entry point: recorded with the reads around it, passed on to the real
// driver.
#define KX_FORWARD_ARG(index, kind, name) name
#define KX_FORWARD_VALUE(code, name, Result, parameters, arguments)                                \
    KXAPI Result KX_CDECL name parameters {                                                        \
        using Value = ForwardedValue<Result>;                                                      \
        Value value = noDriverResult(Value());                                                     \
        {                                                                                          \
            const KxEntryPoints* real = driver();                                                  \
            Call call(code);                                                                       \
            call.args arguments;                                                                   \
            recordReads(call);                                                                     \
            if (real) {                                                                            \
                value = call.result(forwarded<Value>([&] { return real->name arguments; }));       \
                afterCall(call, resultWord(value));                                                \
            }                                                                                      \
        }                                                                                          \
        afterWritten(code, resultWord(value));                                                     \
        return static_cast<Result>(value);                                                         \
    }
#define KX_FORWARDER(code, name, Result, result, parameters, arguments)                            \
    KX_FORWARD_VALUE(code, name, Result, parameters, arguments)
KX_ENTRY_POINTS(KX_FORWARDER, KX_FORWARD_ARG)
