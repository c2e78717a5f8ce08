// The harness's driver start, the undoing of an input's effects, and the
// checks made at the end of each input and at each restart.
//
// What the end of an input sets back, and how (the driver has no reset entry
// point, and none is added for the harness):
// - injected failures: the stand-ins' clear controls;
// - texture records, the texture cache (the open frame's textures kept from
//   eviction included) and the current texture: ResetTextures;
// - alpha-blend mode, colour key (also the cache's copy and the blit kernel
//   pair) and the global palette: ssAlphaBlend(0), ssChromaKey(0, 0) and a
//   palette of opaque black, which give the values the library loads with
//   (opaque black converts to the all-zero texel and screen colour);
// - render area and SGL device: ChangeResolution back to the start's area;
// - the open frame (queued primitives, a scene rendered by a blit) and a
//   lost chain: PageFlip, twice after a loss, so that one render restores the
//   chain whatever the first flip found;
// - the library's version text and texture memory: the software SGL's
//   controls, once no texture is left;
// - a display the input set for the next start, a start that failed or a
//   surface a failed Unlock left locked: a restart (Shutdown, checks, the
//   stand-ins' defaults, Init, ChangeResolution).
// Not set back, because no path of the driver can tell: the frame counter
// (the cache only uses differences of it, and the library never resets it),
// the cache's frame and eviction threshold (written before they are read
// once the cache holds nothing), the cache's number of the open frame (only
// compared with the numbers stamped on slots, which ResetTextures clears),
// the context's texture name and texturing flag (every draw call overwrites
// them unless a texture was selected since, which overwrites them too; only
// the frame's own SGL calls carry the stale values along), the host palette
// kept for the next start (opaque black instead of zero, the same screen
// colours), which block of the chain is in
// front and what the buffers hold, the render address (marked invalid until
// the next render), the last DirectDraw result and caps, the display's
// vertical-blank phase (a real display's is anywhere at a start), texture
// names and device serials (names are only compared), and the stand-ins'
// clocks and call counts. fuzz_replay --fresh-check compares each input's
// platform calls after a fresh start and after other inputs.
#include "fuzz/persistent_start.h"

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define KX_LEAK_CHECKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KX_LEAK_CHECKS 1
#endif
#endif
#if KX_LEAK_CHECKS
#include <sanitizer/lsan_interface.h>
#endif

#include "api/kxapi.h"
#include "diag/diag.h"
#include "platform/posix/standin_control.h"
#include "softsgl/softsgl_control.h"

namespace {

// The stand-in's driver caps at load (it has no control to read them back).
constexpr DWORD kStandInCaps = DDCAPS_BLT | DDCAPS_BLTCOLORFILL | DDCAPS_BLTSTRETCH | DDCAPS_GDI |
                               DDCAPS_PALETTE | DDCAPS_COLORKEY | DDCAPS_READSCANLINE;
constexpr char kStandInVersion[] = "0046h";

int restartEvery = 1000; // inputs one start serves at most
// A leak check takes tens of milliseconds (it scans the whole heap): every
// 4,000 inputs it costs a few hundredths of a run, every 1,000 a sixth.
int leakCheckEvery = 4000; // inputs between two leak checks
int inputsSinceStart = 0;
int inputsSinceLeakCheck = 0;
int startObjects = 0; // DirectDraw objects and surfaces a start holds
int defaultBudget = 0;
int deadCallsSeen = 0;
// The inputs since the last leak check: a finding of a restart point may
// come from any of them, so all are written out for a replay in order. The
// copies reuse their storage: an allocation kept past an input would make
// libFuzzer suspect a leak in every input and check each one.
std::vector<std::vector<uint8_t>> recentInputs;
size_t recentCount = 0;

bool recording = false;
std::string messages;
std::string lastRecord;

int numberFromEnvironment(const char* name, int fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::atoi(text) : fallback;
}

void writeRecentInputs() {
    const char* directory = std::getenv("KXFUZZ_FINDINGS");
    std::string prefix = std::string(directory && *directory ? directory : ".") +
                         "/kxfuzz-recent-" + std::to_string(getpid()) + "-";
    for (size_t i = 0; i < recentCount; ++i) {
        char number[32];
        std::snprintf(number, sizeof number, "%05zu", i);
        if (FILE* file = std::fopen((prefix + number).c_str(), "wb")) {
            std::fwrite(recentInputs[i].data(), 1, recentInputs[i].size(), file);
            std::fclose(file);
        }
    }
    std::fprintf(stderr,
                 "kxfuzz: the %zu inputs since the last check are %s*; replay them in order "
                 "with KXFUZZ_LEAK_CHECK_EVERY=1 to find the one at fault\n",
                 recentCount, prefix.c_str());
}

[[noreturn]] void finding(const char* what) {
    std::fprintf(stderr, "kxfuzz: %s\n", what);
    writeRecentInputs();
    std::abort();
}

void leakCheck() {
#if KX_LEAK_CHECKS
    if (__lsan_do_recoverable_leak_check()) finding("memory leaked (see the report above)");
#endif
    inputsSinceLeakCheck = 0;
    recentCount = 0;
}

void displayDefaults() {
    kxstandSetPixelFormat565(true);
    kxstandSetPitch(1536);
    kxstandSetSurfaceOffset(0);
    kxstandSetDriverCaps(kStandInCaps);
    kxstandSetModeSupported(true);
    kxstandSetActiveWindow(kxstandDefaultWindow());
}

void libraryDefaults() {
    softsglSetVersionText(kStandInVersion);
    softsglSetTextureBudget(defaultBudget);
}

void renderStatesAtLoadValues(bool palette) {
    static const std::array<uint32_t, 256> opaqueBlack = [] {
        std::array<uint32_t, 256> colours;
        colours.fill(0xFF000000u);
        return colours;
    }();
    ssAlphaBlend(0);
    ssChromaKey(0, 0);
    if (palette) LoadPalette(opaqueBlack.data());
}

void restart() {
    Shutdown();
    ResetTextures();
    if (kxstandLiveObjects() != 0 || kxstandLockedSurfaces() != 0 || softsglLiveTextures() != 0 ||
        softsglLiveDevices() != 0 || kxstandLibraryLoaded() != 0 || kxstandCursorCounter() != 0)
        finding("a shut-down left a DirectDraw object, a lock, an SGL texture or device, "
                "ddraw.dll or the hidden cursor behind");
    if (inputsSinceLeakCheck >= leakCheckEvery) leakCheck();
    displayDefaults();
    libraryDefaults();
    renderStatesAtLoadValues(true);
    if (Init() != 1 || ChangeResolution(kStartResolution) != 1)
        finding("the harness could not start the driver");
    startObjects = kxstandLiveObjects();
    inputsSinceStart = 0;
}

void collectMessage(const char* message) {
    messages += message;
}

std::string stepsRecord();

} // namespace

void startHarness() {
    restartEvery = numberFromEnvironment("KXFUZZ_RESTART_EVERY", restartEvery);
    leakCheckEvery = numberFromEnvironment("KXFUZZ_LEAK_CHECK_EVERY", leakCheckEvery);
    if (restartEvery < 1) restartEvery = 1;
    if (leakCheckEvery < 1) leakCheckEvery = 1;
    // Room for inputs of the usual length from the start: a copy that grew
    // its storage would look like a leak of that input.
    recentInputs.resize(size_t(std::min(leakCheckEvery, 4096)));
    for (std::vector<uint8_t>& copy : recentInputs)
        copy.reserve(1024);
    defaultBudget = softsglTextureBudget();
    // Nothing here looks at pixels the driver did not draw, and starts and
    // restores are frequent: leftovers drawn into every new or restored chain
    // cost more than the driver's own work.
    kxstandSetLeftovers(false);
    // Nobody reads the call logs while fuzzing; building them is costly.
    recordSteps(false);
    // The render area's frames are small: waking a band worker for each cost
    // a fifth of a run in system calls and thread switches, and softsgl's own
    // harness fuzzes the bands.
    softsglSetThreads(1);
    restart();
}

void endInput(const InputEffects& effects, const uint8_t* data, size_t size) {
    if (recording) lastRecord = stepsRecord();
    kxstandClearFailures();
    softsglClearFailures();
    if (recentCount < recentInputs.size()) recentInputs[recentCount++].assign(data, data + size);
    ++inputsSinceLeakCheck;
    if (kxstandDeadCalls() != deadCallsSeen)
        finding("a DirectDraw method was called on a released object");
    if (kxstandStrayWrites() != 0) finding("a write landed outside a surface, before its rows");
    bool restartNow =
        !effects.started || effects.restartAsked || ++inputsSinceStart >= restartEvery;
    if (!restartNow) {
        ResetTextures();
        if (effects.libraryChanged) libraryDefaults();
        renderStatesAtLoadValues(effects.paletteLoaded);
        if (effects.resolutionChanged && ChangeResolution(kStartResolution) != 1)
            finding("the render area could not be set back");
        if (effects.frameTouched || effects.surfacesLost) PageFlip();
        if (effects.surfacesLost) PageFlip();
        if (softsglLiveTextures() != 0) finding("SGL textures outlived ResetTextures");
        if (softsglLiveDevices() != 1 || kxstandLiveObjects() != startObjects)
            finding("a started driver holds other SGL devices or DirectDraw objects than a start");
        if (kxstandLockedSurfaces() != 0) {
            if (!effects.unlockFailed) finding("a surface was left locked");
            restartNow = true;
        }
    }
    if (restartNow)
        restart();
    else if (inputsSinceLeakCheck >= leakCheckEvery)
        leakCheck();
    // The capability dumps of the starts: nobody reads them here, and lines
    // kept past the input would look like the input's leak to libFuzzer.
    kxstandClearDebugLines();
}

void finishHarness() {
    restart();
    Shutdown();
    if (kxstandLiveObjects() != 0 || softsglLiveDevices() != 0)
        finding("the last shut-down left DirectDraw objects or SGL devices behind");
    leakCheck();
}

void recordSteps(bool on) {
    recording = on;
    kxstandSetCallLogging(on);
    softsglSetCallLogging(on);
    kxSetDiagnosticSink(on ? collectMessage : nullptr);
}

void beginSteps() {
    if (!recording) return;
    kxstandClearCallLog();
    softsglClearCalls();
    messages.clear();
}

const std::string& lastStepsRecord() {
    return lastRecord;
}

// Addresses differ from run to run and texture names count up for good, so
// pointers are written as present or not and texture names by their order of
// first appearance.
namespace {
std::string stepsRecord() {
    std::string text;
    // Which edge of the vertical blank the driver waits for depends on where
    // the display's scan is, which no start sets: a real display's is
    // anywhere, and the stand-in's follows every earlier wait.
    const std::string waitForBlank = "IDirectDraw::WaitForVerticalBlank(";
    for (const std::string& line : kxstandCallLog())
        text += (line.compare(0, waitForBlank.size(), waitForBlank) == 0 ? waitForBlank + "edge)"
                                                                         : line) +
                "\n";
    std::map<int64_t, int64_t> names;
    auto name = [&names](int64_t n) {
        return n > 0 ? names.emplace(n, int64_t(names.size()) + 1).first->second : n;
    };
    char number[32];
    for (const SoftsglCall& call : softsglCalls()) {
        text += call.name;
        bool textureArgument = call.name == "sgl_set_texture" || call.name == "sgl_delete_texture";
        for (size_t i = 0; i < call.args.size(); ++i) {
            int64_t v = call.args[i];
            if (i == 0 && textureArgument) v = name(v);
            if (v > (int64_t(1) << 40) || v < -(int64_t(1) << 40)) v = 1; // an address
            std::snprintf(number, sizeof number, " %" PRId64, v);
            text += number;
        }
        SGLCONTEXT context = call.context;
        // The frame's calls carry the context too, texture fields and all, but
        // only a primitive's context says how it is textured.
        if (call.name == "sgltri_startofframe" || call.name == "sgltri_render" ||
            call.name == "sgltri_isrendercomplete") {
            context.textureName = 0;
            context.flags &= ~SGLTT_TEXTURE;
        }
        context.textureName = static_cast<int32_t>(name(context.textureName));
        text += " |";
        auto bytes = [&text, &number](const void* at, size_t size) {
            for (size_t i = 0; i < size; ++i) {
                std::snprintf(number, sizeof number, "%02x", static_cast<const uint8_t*>(at)[i]);
                text += number;
            }
        };
        bytes(&context, sizeof context);
        text += " |";
        bytes(call.vertices.data(), call.vertices.size() * sizeof(SGLVERTEX));
        text += " |";
        bytes(call.indices.data(), call.indices.size() * sizeof(int32_t));
        text += "\n";
    }
    return text + messages;
}
} // namespace
