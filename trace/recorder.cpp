// kxtrace, the recording driver: the 28 entry points of the driver, each
// forwarded unchanged to the real driver and written to the trace with its
// arguments, its result and the host memory the driver reads at that moment.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
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

// One entry point call: recorded when the recorder writes and the host made
// it (not the driver calling one of its own entry points).
struct Call {
    bool recorded;
    explicit Call(uint32_t entry) {
        recorded = recorder.recording && recorder.depth == 0 && !recorder.writer.failed;
        ++recorder.depth;
        if (recorded) startCall(recorder.call, entry);
    }
    ~Call() {
        --recorder.depth;
        if (recorded) finishCall(recorder.writer, recorder.call);
    }
    template <typename T> void arg(T value) {
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
    static uint64_t toWord(uint32_t v) { return v; }
    static uint64_t toWord(const void* p) { return uintptr_t(p); }
};

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

} // namespace

#define KX_RECORDER_BEGIN(entry)                                                                   \
    const KxEntryPoints* real = driver();                                                          \
    Call call(kEntry_##entry)

KXAPI const GUID* KX_CDECL GetGuid(void) {
    KX_RECORDER_BEGIN(GetGuid);
    if (!real) return reinterpret_cast<const GUID*>(kNoGuid);
    const GUID* guid = real->GetGuid();
    call.result(static_cast<const void*>(guid));
    if (call.recorded && guid) addResultData(recorder.call, guid, 16);
    return guid;
}

KXAPI const char* KX_CDECL GetID(void) {
    KX_RECORDER_BEGIN(GetID);
    if (!real) return "kxtrace: no driver";
    const char* id = real->GetID();
    call.result(static_cast<const void*>(id));
    if (call.recorded && id)
        addResultData(recorder.call, id, uint32_t(strnlen(id, kMaxResultDataBytes)));
    return id;
}

KXAPI int KX_CDECL Detect(void) {
    KX_RECORDER_BEGIN(Detect);
    return real ? call.result(real->Detect()) : 0;
}

KXAPI int KX_CDECL Init(void) {
    int result = 0;
    {
        KX_RECORDER_BEGIN(Init);
        if (real) result = call.result(real->Init());
    }
    if (result) recorder.displayHeld = true;
    showUntold();
    return result;
}

KXAPI void KX_CDECL Shutdown(void) {
    {
        KX_RECORDER_BEGIN(Shutdown);
        if (real) real->Shutdown();
    }
    flush();
    // The desktop is back: a problem held back can be shown now.
    recorder.displayHeld = false;
    showUntold();
}

KXAPI int KX_CDECL Pause(void) {
    KX_RECORDER_BEGIN(Pause);
    return real ? call.result(real->Pause()) : 0;
}

KXAPI int KX_CDECL Restore(void) {
    KX_RECORDER_BEGIN(Restore);
    return real ? call.result(real->Restore()) : 0;
}

KXAPI int KX_CDECL ChangeResolution(int32_t mode) {
    KX_RECORDER_BEGIN(ChangeResolution);
    call.arg(mode);
    if (!real) return 0;
    int result = call.result(real->ChangeResolution(mode));
    // A new resolution frees every texture record.
    if (result) forgetTextures();
    return result;
}

KXAPI void KX_CDECL ssAlphaBlend(int32_t mode) {
    KX_RECORDER_BEGIN(ssAlphaBlend);
    call.arg(mode);
    if (real) real->ssAlphaBlend(mode);
}

KXAPI void KX_CDECL ssChromaKey(int32_t mode, uint32_t colour) {
    KX_RECORDER_BEGIN(ssChromaKey);
    call.arg(mode);
    call.arg(colour);
    if (real) real->ssChromaKey(mode, colour);
}

KXAPI void KX_CDECL ssTexture(int32_t unused) {
    KX_RECORDER_BEGIN(ssTexture);
    call.arg(unused);
    if (real) real->ssTexture(unused);
}

KXAPI void KX_CDECL ssZBuffer(int32_t unused) {
    KX_RECORDER_BEGIN(ssZBuffer);
    call.arg(unused);
    if (real) real->ssZBuffer(unused);
}

KXAPI int KX_CDECL ssZBufferCompareMode(int32_t unused) {
    KX_RECORDER_BEGIN(ssZBufferCompareMode);
    call.arg(unused);
    return real ? call.result(real->ssZBufferCompareMode(unused)) : 0;
}

KXAPI void KX_CDECL PushState(void) {
    KX_RECORDER_BEGIN(PushState);
    if (real) real->PushState();
}

KXAPI void KX_CDECL PopState(void) {
    KX_RECORDER_BEGIN(PopState);
    if (real) real->PopState();
}

KXAPI int KX_CDECL WaitForIdle(void) {
    KX_RECORDER_BEGIN(WaitForIdle);
    return real ? call.result(real->WaitForIdle()) : 0;
}

KXAPI int KX_CDECL PageFlip(void) {
    int result = 0;
    {
        KX_RECORDER_BEGIN(PageFlip);
        if (real) result = call.result(real->PageFlip());
    }
    // The frame is on disk once it is on the screen: a crash loses at most
    // the frame being drawn.
    flush();
    return result;
}

KXAPI void KX_CDECL DrawPrimitive(const HostVertex* vertices, int32_t count) {
    KX_RECORDER_BEGIN(DrawPrimitive);
    call.arg(vertices);
    call.arg(count);
    call.contents(vertices, verticesRead(count));
    if (real) real->DrawPrimitive(vertices, count);
}

KXAPI TextureRecord* KX_CDECL LoadTexture(const void* pixels, int32_t width, int32_t height,
                                          uint32_t hostValue4, uint32_t format, uint32_t hostValue6,
                                          const uint32_t* palette) {
    KX_RECORDER_BEGIN(LoadTexture);
    call.arg(pixels);
    call.arg(width);
    call.arg(height);
    call.arg(hostValue4);
    call.arg(format);
    call.arg(hostValue6);
    call.arg(palette);
    if (!real) return nullptr;
    TextureRecord* handle =
        real->LoadTexture(pixels, width, height, hostValue4, format, hostValue6, palette);
    call.result(static_cast<const void*>(handle));
    if (handle && recorder.recording) {
        // Trust the record only where it holds what was just given.
        const TextureRecord* record = handle;
        bool matches = record->width == width && record->height == height &&
                       record->hostValue4 == hostValue4 && record->hostValue6 == hostValue6 &&
                       record->format == format && record->palette == palette &&
                       record->pixels == pixels;
        if (!matches && !recorder.warnedLayout) {
            recorder.warnedLayout = true;
            say("the driver's texture handles are not laid out as expected; images changed "
                "by ModifyTexture are recorded as if the texture were resident");
        }
        recorder.textures[uintptr_t(handle)] =
            TrackedTexture{width, height, format, palette, pixels, matches ? record : nullptr};
    }
    return handle;
}

KXAPI void KX_CDECL UnloadTexture(TextureRecord* record) {
    KX_RECORDER_BEGIN(UnloadTexture);
    call.arg(record);
    if (real) real->UnloadTexture(record);
    recorder.textures.erase(uintptr_t(record));
}

KXAPI void KX_CDECL ResetTextures(void) {
    KX_RECORDER_BEGIN(ResetTextures);
    if (real) real->ResetTextures();
    forgetTextures();
}

KXAPI void KX_CDECL SelectTexture(TextureRecord* record) {
    KX_RECORDER_BEGIN(SelectTexture);
    call.arg(record);
    // A texture that is not resident is converted now, from the image and
    // palette its record names.
    auto found = recorder.textures.find(uintptr_t(record));
    if (found != recorder.textures.end()) textureContents(call, found->second);
    if (real) real->SelectTexture(record);
}

KXAPI void KX_CDECL ModifyTexture(TextureRecord* record, const void* pixels) {
    KX_RECORDER_BEGIN(ModifyTexture);
    call.arg(record);
    call.arg(pixels);
    auto found = recorder.textures.find(uintptr_t(record));
    if (found != recorder.textures.end() && pixels) {
        TrackedTexture& t = found->second;
        call.contents(pixels, textureRead(t.width, t.height, t.format));
        if (t.format == 0 && t.palette) call.contents(t.palette, paletteRead());
    }
    if (real) real->ModifyTexture(record, pixels);
    if (found != recorder.textures.end() && pixels) found->second.pixels = pixels;
}

KXAPI void KX_CDECL LoadPalette(const uint32_t* palette) {
    KX_RECORDER_BEGIN(LoadPalette);
    call.arg(palette);
    if (palette) {
        call.contents(palette, paletteRead());
        // Resident textures without a palette of their own are converted again.
        for (const auto& entry : recorder.textures)
            if (!entry.second.palette)
                call.contents(
                    currentPixels(entry.second),
                    textureRead(entry.second.width, entry.second.height, entry.second.format));
    }
    if (real) real->LoadPalette(palette);
}

KXAPI int KX_CDECL BltToCard(const uint8_t* source, int32_t x, int32_t y, int32_t width,
                             int32_t height, int32_t sourcePitch, uint32_t format,
                             const uint32_t* palette) {
    KX_RECORDER_BEGIN(BltToCard);
    call.arg(source);
    call.arg(x);
    call.arg(y);
    call.arg(width);
    call.arg(height);
    call.arg(sourcePitch);
    call.arg(format);
    call.arg(palette);
    MemoryRows image = bltSourceRead(x, y, width, height, sourcePitch, format);
    if (source && !image.empty()) {
        call.contents(source, image);
        call.contents(palette, paletteRead());
    }
    if (!real) return 0;
    return call.result(real->BltToCard(source, x, y, width, height, sourcePitch, format, palette));
}

KXAPI int KX_CDECL StretchBltToCard(const uint8_t* source, int32_t x, int32_t y, int32_t width,
                                    int32_t height, int32_t sourceWidth, int32_t sourceHeight,
                                    int32_t sourcePitch, uint32_t format, const uint32_t* palette) {
    KX_RECORDER_BEGIN(StretchBltToCard);
    call.arg(source);
    call.arg(x);
    call.arg(y);
    call.arg(width);
    call.arg(height);
    call.arg(sourceWidth);
    call.arg(sourceHeight);
    call.arg(sourcePitch);
    call.arg(format);
    call.arg(palette);
    MemoryRows image =
        stretchSourceRead(x, y, width, height, sourceWidth, sourceHeight, sourcePitch, format);
    if (source && !image.empty()) {
        call.contents(source, image);
        call.contents(palette, paletteRead());
    }
    if (!real) return 0;
    return call.result(real->StretchBltToCard(source, x, y, width, height, sourceWidth,
                                              sourceHeight, sourcePitch, format, palette));
}

KXAPI int KX_CDECL BltFromCard(uint8_t* destination, int32_t unused2, int32_t unused3,
                               int32_t width, int32_t height, int32_t destinationPitch,
                               uint32_t format) {
    KX_RECORDER_BEGIN(BltFromCard);
    call.arg(destination);
    call.arg(unused2);
    call.arg(unused3);
    call.arg(width);
    call.arg(height);
    call.arg(destinationPitch);
    call.arg(format);
    if (!real) return 0;
    int result = call.result(
        real->BltFromCard(destination, unused2, unused3, width, height, destinationPitch, format));
    // What was read back, so that replay can tell whether it sees the same.
    if (call.recorded && result && destination)
        addReadBack(recorder.call, uintptr_t(destination), destination,
                    readBackWritten(width, height, destinationPitch, format));
    return result;
}

KXAPI int KX_CDECL BltFromCardToCard(void) {
    KX_RECORDER_BEGIN(BltFromCardToCard);
    return real ? call.result(real->BltFromCardToCard()) : 0;
}
