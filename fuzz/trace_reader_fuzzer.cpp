// libFuzzer harness for the trace reader and the tools' readers: any bytes
// are read as a trace; a trace that reads is split into frames, printed call
// by call with the state at each call (text and JSON, as kxtrace dump does),
// compared with itself (kxtrace diff), planned for a trim of its frames, its
// textures made images (kxtrace textures and report), and
// played through a driver whose entry points do nothing, so that replay
// places every call's memory. Damage must end in an error message, never in
// a crash, an overrun or an allocation beyond the limits.
#include <cstdint>
#include <string>

#include "trace/replay.h"
#include "trace/texture_export.h"
#include "trace/trace_diff.h"
#include "trace/trace_frames.h"
#include "trace/trace_print.h"
#include "trace/trace_reader.h"
#include "trace/trace_state.h"
#include "trace/trace_trim.h"

namespace {

// Entry points that do nothing and answer 0.
template <typename R, typename... A> struct Nothing;
template <typename R, typename... A> struct Nothing<R (*)(A...)> {
    static R call(A...) { return R(); }
};

KxEntryPoints nothingDriver() {
    KxEntryPoints api;
#define KX_NOTHING(code, name, Result, result, parameters, arguments)                              \
    api.name = &Nothing<decltype(api.name)>::call;
    KX_ENTRY_POINTS(KX_NOTHING, KX_ENTRY_LIST)
#undef KX_NOTHING
    return api;
}

void readAndPlay(const uint8_t* data, size_t size, bool verifyChecks) {
    static const KxEntryPoints api = nothingDriver();
    TraceLimits limits;
    limits.maxBodyBytes = 64u << 20;
    limits.verifyChecks = verifyChecks;
    Trace trace;
    std::string error;
    if (!readTraceBytes(data, size, trace, error, limits)) return;
    const FrameIndex frames = indexFrames(trace);
    TraceState state;
    for (size_t i = 0; i < trace.calls.size(); ++i) {
        dumpCall(trace, frames, state, i);
        dumpCallJson(trace, frames, state, i);
        applyCall(state, trace, i);
    }
    if (!diffTraces(trace, trace).same()) __builtin_trap(); // a trace differs from itself
    for (size_t f = 0; f < frames.frames(); f += 1 + frames.frames() / 4)
        callsForFrames(trace, frames, f, f);
    forEachTextureImage(trace, [](const TextureImage& image) {
        if (image.rgba.size() != size_t(image.width) * size_t(image.height) * 4) __builtin_trap();
    });
    Replay replay;
    replay.trace = &trace;
    replay.api = &api;
    replay.memory.limit = 256u << 20;
    for (size_t i = 0; i < trace.calls.size(); ++i) {
        describeCall(trace, i);
        if (!playCall(replay, i, error)) break;
    }
}

} // namespace

// As a reader meets the bytes, and once more without the record checks, so
// that mutations inside a record reach the parser too.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    readAndPlay(data, size, true);
    readAndPlay(data, size, false);
    return 0;
}
