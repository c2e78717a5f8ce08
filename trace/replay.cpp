#include "trace/replay.h"

#include <algorithm>
#include <cinttypes>
#include <cstdlib>
#include <cstring>

#include "trace/host_reads.h"
#include "trace/trace_print.h"

namespace {

constexpr size_t kMaxReports = 50;

void report(Replay& r, size_t index, const std::string& text, bool failure) {
    (failure ? r.failures : r.differences)++;
    if (r.reports.size() < kMaxReports)
        r.reports.push_back("call " + std::to_string(index) + " " + text);
}

// The buffer for `base` covering [low, high), made (or made larger) if needed.
ReplayBuffer* bufferFor(ReplayMemory& m, uint64_t base, int64_t low, int64_t high,
                        std::string& error) {
    high = std::max<int64_t>(high, low + 1);
    std::vector<ReplayBuffer>& list = m.buffers[base];
    if (!list.empty()) {
        ReplayBuffer& newest = list.back();
        if (newest.low <= low && newest.high >= high) return &newest;
        low = std::min(low, newest.low);
        high = std::max(high, newest.high);
    }
    const uint64_t size = uint64_t(high - low);
    if (size > kMaxRegionBytes || m.bytes + size > m.limit) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "absurd size: %" PRIu64 " bytes of host memory at 0x%" PRIx64 " (%" PRIu64
                      " held already)",
                      size, base, m.bytes);
        error = text;
        return nullptr;
    }
    ReplayBuffer b;
    b.low = low;
    b.high = high;
    b.memory = static_cast<uint8_t*>(std::calloc(size_t(size), 1));
    if (!b.memory) {
        error = "out of memory for " + std::to_string(size) + " bytes of host memory";
        return nullptr;
    }
    if (!list.empty()) {
        const ReplayBuffer& old = list.back();
        std::memcpy(b.memory + (old.low - low), old.memory, size_t(old.high - old.low));
    }
    m.bytes += size;
    list.push_back(b);
    return &list.back();
}

// The replay's pointer standing for recorded pointer `base`, with the span
// `rows` around it provided. Null stays null.
uint8_t* pointerFor(Replay& r, uint64_t base, const MemoryRows& rows, std::string& error) {
    if (!base) return nullptr;
    ReplayBuffer* b = rows.empty() ? bufferFor(r.memory, base, 0, 1, error)
                                   : bufferFor(r.memory, base, rows.low(), rows.high(), error);
    return b ? b->memory - b->low : nullptr;
}

// Copies contents into every buffer of their pointer; the newest covers them.
bool writeContents(Replay& r, const TraceItem& item, std::string& error) {
    const MemoryRows& rows = item.rows;
    if (!bufferFor(r.memory, item.base, rows.low(), rows.high(), error)) return false;
    for (ReplayBuffer& b : r.memory.buffers[item.base]) {
        const MemoryRows& last = b.lastRows;
        if (b.lastData == item.data && last.offset == rows.offset && last.pitch == rows.pitch &&
            last.rows == rows.rows && last.rowBytes == rows.rowBytes)
            continue;
        for (uint32_t i = 0; i < rows.rows; ++i) {
            int64_t from = rows.offset + int64_t(i) * rows.pitch;
            int64_t begin = std::max(from, b.low), end = std::min(from + rows.rowBytes, b.high);
            if (begin < end)
                std::memcpy(b.memory + (begin - b.low),
                            item.data + size_t(i) * rows.rowBytes + (begin - from),
                            size_t(end - begin));
        }
        b.lastData = item.data;
        b.lastRows = rows;
    }
    return true;
}

TextureRecord* handleFor(Replay& r, uint64_t recorded) {
    if (!recorded) return nullptr;
    auto found = r.textures.find(recorded);
    if (found != r.textures.end()) return found->second.handle;
    // A handle the trace never loaded: something no loaded texture is.
    auto& stranger = r.strangerHandles[recorded];
    if (!stranger) {
        r.strangers.push_back(0);
        stranger = reinterpret_cast<TextureRecord*>(&r.strangers.back());
    }
    return stranger;
}

void compareInt(Replay& r, size_t index, const char* name, uint64_t recorded, int replayed) {
    int32_t was = argInt(recorded);
    if (was == replayed) return;
    char text[160];
    std::snprintf(text, sizeof text, "%s returned %d, recorded %d", name, replayed, was);
    report(r, index, text, was != 0 && replayed == 0);
}

void compareData(Replay& r, size_t index, const TraceCall& call, const char* name,
                 const void* replayed, uint32_t size) {
    for (uint32_t k = 0; k < call.itemCount; ++k) {
        const TraceItem& item = r.trace->items[call.firstItem + k];
        if (item.kind != kItemResultData) continue;
        if (!replayed || item.dataSize != size || std::memcmp(item.data, replayed, size) != 0)
            report(r, index, std::string(name) + " returned other data than recorded", false);
        return;
    }
}

void compareText(Replay& r, size_t index, const TraceCall& call, const char* name,
                 const char* replayed) {
    compareData(r, index, call, name, replayed,
                replayed ? uint32_t(strnlen(replayed, kMaxResultDataBytes)) : 0);
}

} // namespace

ReplayMemory::~ReplayMemory() {
    for (auto& entry : buffers)
        for (ReplayBuffer& b : entry.second)
            std::free(b.memory);
}

void resetReplay(Replay& r) {
    // Textures the session left loaded go with its handles.
    if (r.api) r.api->ResetTextures();
    for (auto& entry : r.memory.buffers)
        for (ReplayBuffer& b : entry.second)
            std::free(b.memory);
    r.memory.buffers.clear();
    r.memory.bytes = 0;
    r.textures.clear();
    r.strangerHandles.clear();
    r.strangers.clear();
}

namespace {

// The host memory a pointer argument of the call reaches, by the driver's
// own rules (host_reads.h).
MemoryRows argumentRows(const Replay& r, const TraceCall& call, int arg) {
    const uint64_t* a = call.args;
    switch (call.entry) {
    case kEntry_DrawPrimitive:
        return verticesRead(argInt(a[1]));
    case kEntry_LoadTexture:
        return arg == 0 ? textureRead(argInt(a[1]), argInt(a[2]), uint32_t(a[4])) : paletteRead();
    case kEntry_ModifyTexture: {
        auto t = r.textures.find(a[0]);
        return t == r.textures.end()
                   ? MemoryRows{}
                   : textureRead(t->second.width, t->second.height, t->second.format);
    }
    case kEntry_LoadPalette:
        return paletteRead();
    case kEntry_BltToCard:
        return arg == 0 ? bltSourceRead(argInt(a[1]), argInt(a[2]), argInt(a[3]), argInt(a[4]),
                                        argInt(a[5]), uint32_t(a[6]))
                        : paletteRead();
    case kEntry_StretchBltToCard:
        return arg == 0
                   ? stretchSourceRead(argInt(a[1]), argInt(a[2]), argInt(a[3]), argInt(a[4]),
                                       argInt(a[5]), argInt(a[6]), argInt(a[7]), uint32_t(a[8]))
                   : paletteRead();
    case kEntry_BltFromCard:
        return readBackWritten(argInt(a[3]), argInt(a[4]), argInt(a[5]), uint32_t(a[6]));
    default:
        return MemoryRows{};
    }
}

// A replay buffer as the pointer type the entry point takes.
struct HostPointer {
    explicit HostPointer(uint8_t* p) : p(p) {}
    uint8_t* p;
    template <typename T> operator T*() const { return reinterpret_cast<T*>(p); }
};

// What the driver answered: an Int result, a Handle result.
struct Played {
    int result = 0;
    TextureRecord* handle = nullptr;
};

// The call, with the recorded words as the types the entry point takes and
// its pointers as `pointers` gives them; an Int, Guid or Text result is held
// against the recorded one.
#define KX_REPLAY_Int(i) argInt(a[i])
#define KX_REPLAY_Uint(i) uint32_t(a[i])
#define KX_REPLAY_Colour(i) uint32_t(a[i])
#define KX_REPLAY_Format(i) uint32_t(a[i])
#define KX_REPLAY_Pointer(i) HostPointer(pointers[i])
#define KX_REPLAY_Handle(i) handleFor(r, a[i])
#define KX_REPLAY_ARG(index, kind, name) KX_REPLAY_##kind(index)
#define KX_PLAYED_None(call) call
#define KX_PLAYED_Int(call) compareInt(r, index, name, recorded.result, played.result = call)
#define KX_PLAYED_Handle(call) played.handle = call
#define KX_PLAYED_Guid(call) compareData(r, index, recorded, name, call, 16)
#define KX_PLAYED_Text(call) compareText(r, index, recorded, name, call)
#define KX_REPLAY_CALL(code, name, Result, result, parameters, arguments)                          \
    case code:                                                                                     \
        KX_PLAYED_##result(api.name arguments);                                                    \
        break;
Played playEntry(Replay& r, size_t index, const TraceCall& recorded, uint8_t* const* pointers) {
    const KxEntryPoints& api = *r.api;
    const uint64_t* a = recorded.args;
    const char* name = entryInfo(recorded.entry).name;
    Played played;
    switch (recorded.entry) { KX_ENTRY_POINTS(KX_REPLAY_CALL, KX_REPLAY_ARG) }
    return played;
}

// What a call leaves that later calls need: the textures replay maps handles
// to, and which host memory the driver wrote.
void afterCall(Replay& r, size_t index, const TraceCall& call, const Played& played) {
    const uint64_t* a = call.args;
    const int result = played.result;
    TextureRecord* const handle = played.handle;
    switch (call.entry) {
    case kEntry_ChangeResolution:
        if (result) r.textures.clear(); // a new resolution frees every texture
        break;
    case kEntry_LoadTexture:
        if (call.result && !handle) report(r, index, "LoadTexture returned no texture", true);
        if (!call.result && handle)
            report(r, index, "LoadTexture gave a texture it refused when recorded", false);
        if (call.result && handle)
            r.textures[call.result] =
                ReplayTexture{handle, argInt(a[1]), argInt(a[2]), uint32_t(a[4])};
        break;
    case kEntry_UnloadTexture:
        r.textures.erase(a[0]);
        break;
    case kEntry_ResetTextures:
        r.textures.clear();
        break;
    case kEntry_BltFromCard:
        // The driver wrote there: contents copied in before are gone.
        for (ReplayBuffer& b : r.memory.buffers[a[0]])
            b.lastData = nullptr;
        break;
    default:
        break;
    }
}

// What the host memory held as the call was made, and every pointer
// argument given a buffer that holds what the driver reads; false with
// `error` when the trace asks for memory it cannot have.
bool provideHostMemory(Replay& r, const TraceCall& call, uint8_t** pointers, std::string& error) {
    for (uint32_t k = 0; k < call.itemCount; ++k) {
        const TraceItem& item = r.trace->items[call.firstItem + k];
        if ((item.kind == kItemBlobContents || item.kind == kItemInlineContents) &&
            !writeContents(r, item, error))
            return false;
    }
    const EntryInfo& info = entryInfo(call.entry);
    for (int i = 0; i < info.argCount && error.empty(); ++i)
        if (info.args[i].kind == kArgPointer)
            pointers[i] = pointerFor(r, call.args[i], argumentRows(r, call, i), error);
    return error.empty();
}

// What the driver wrote into host memory, against what it wrote then.
void compareReadBacks(Replay& r, size_t index, const TraceCall& call, const char* name) {
    for (uint32_t k = 0; k < call.itemCount; ++k) {
        const TraceItem& item = r.trace->items[call.firstItem + k];
        if (item.kind != kItemReadBack) continue;
        auto list = r.memory.buffers.find(item.base);
        if (list == r.memory.buffers.end() || list->second.empty()) continue;
        const ReplayBuffer& b = list->second.back();
        if (item.rows.low() < b.low || item.rows.high() > b.high) continue;
        const uint8_t* first = b.memory - b.low + item.rows.offset;
        if (hashRows(first, item.rows.rowBytes, item.rows.rows, item.rows.pitch) != item.hash)
            report(r, index, std::string(name) + " read back other pixels than when recorded",
                   false);
    }
}

} // namespace

bool playCall(Replay& r, size_t index, std::string& error) {
    const TraceCall& call = r.trace->calls[index];
    const char* name = entryInfo(call.entry).name;
    uint8_t* pointers[kMaxArgs] = {};
    if (!provideHostMemory(r, call, pointers, error)) {
        error = "call " + std::to_string(index) + " " + name + ": " + error;
        return false;
    }
    Played played = playEntry(r, index, call, pointers);
    afterCall(r, index, call, played);
    compareReadBacks(r, index, call, name);
    return true;
}
