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

bool playCall(Replay& r, size_t index, std::string& error) {
    const TraceCall& call = r.trace->calls[index];
    const KxEntryPoints& api = *r.api;
    const uint64_t* a = call.args;
    // What the host memory held as the call was made.
    for (uint32_t k = 0; k < call.itemCount; ++k) {
        const TraceItem& item = r.trace->items[call.firstItem + k];
        if ((item.kind == kItemBlobContents || item.kind == kItemInlineContents) &&
            !writeContents(r, item, error))
            break;
    }
    uint8_t* p0 = nullptr;
    uint8_t* palette = nullptr;
    if (error.empty()) switch (call.entry) {
        case kEntry_DrawPrimitive:
            p0 = pointerFor(r, a[0], verticesRead(argInt(a[1])), error);
            break;
        case kEntry_LoadTexture:
            p0 =
                pointerFor(r, a[0], textureRead(argInt(a[1]), argInt(a[2]), uint32_t(a[4])), error);
            palette = pointerFor(r, a[6], paletteRead(), error);
            break;
        case kEntry_ModifyTexture: {
            auto t = r.textures.find(a[0]);
            p0 = pointerFor(r, a[1],
                            t == r.textures.end()
                                ? MemoryRows{}
                                : textureRead(t->second.width, t->second.height, t->second.format),
                            error);
            break;
        }
        case kEntry_LoadPalette:
            p0 = pointerFor(r, a[0], paletteRead(), error);
            break;
        case kEntry_BltToCard:
            p0 = pointerFor(r, a[0],
                            bltSourceRead(argInt(a[1]), argInt(a[2]), argInt(a[3]), argInt(a[4]),
                                          argInt(a[5]), uint32_t(a[6])),
                            error);
            palette = pointerFor(r, a[7], paletteRead(), error);
            break;
        case kEntry_StretchBltToCard:
            p0 = pointerFor(r, a[0],
                            stretchSourceRead(argInt(a[1]), argInt(a[2]), argInt(a[3]),
                                              argInt(a[4]), argInt(a[5]), argInt(a[6]),
                                              argInt(a[7]), uint32_t(a[8])),
                            error);
            palette = pointerFor(r, a[9], paletteRead(), error);
            break;
        case kEntry_BltFromCard:
            p0 = pointerFor(
                r, a[0], readBackWritten(argInt(a[3]), argInt(a[4]), argInt(a[5]), uint32_t(a[6])),
                error);
            break;
        default:
            break;
        }
    if (!error.empty()) {
        error = "call " + std::to_string(index) + " " + entryInfo(call.entry).name + ": " + error;
        return false;
    }

    const char* name = entryInfo(call.entry).name;
    const uint32_t* pal = reinterpret_cast<const uint32_t*>(palette);
    switch (call.entry) {
    case kEntry_GetGuid:
        compareData(r, index, call, name, api.GetGuid(), 16);
        break;
    case kEntry_GetID: {
        const char* id = api.GetID();
        compareData(r, index, call, name, id, id ? uint32_t(strnlen(id, kMaxResultDataBytes)) : 0);
        break;
    }
    case kEntry_Detect:
        compareInt(r, index, name, call.result, api.Detect());
        break;
    case kEntry_Init:
        compareInt(r, index, name, call.result, api.Init());
        break;
    case kEntry_Shutdown:
        api.Shutdown();
        break;
    case kEntry_Pause:
        compareInt(r, index, name, call.result, api.Pause());
        break;
    case kEntry_Restore:
        compareInt(r, index, name, call.result, api.Restore());
        break;
    case kEntry_ChangeResolution: {
        int result = api.ChangeResolution(argInt(a[0]));
        compareInt(r, index, name, call.result, result);
        if (result) r.textures.clear();
        break;
    }
    case kEntry_ssAlphaBlend:
        api.ssAlphaBlend(argInt(a[0]));
        break;
    case kEntry_ssChromaKey:
        api.ssChromaKey(argInt(a[0]), uint32_t(a[1]));
        break;
    case kEntry_ssTexture:
        api.ssTexture(argInt(a[0]));
        break;
    case kEntry_ssZBuffer:
        api.ssZBuffer(argInt(a[0]));
        break;
    case kEntry_ssZBufferCompareMode:
        compareInt(r, index, name, call.result, api.ssZBufferCompareMode(argInt(a[0])));
        break;
    case kEntry_PushState:
        api.PushState();
        break;
    case kEntry_PopState:
        api.PopState();
        break;
    case kEntry_WaitForIdle:
        compareInt(r, index, name, call.result, api.WaitForIdle());
        break;
    case kEntry_PageFlip:
        compareInt(r, index, name, call.result, api.PageFlip());
        break;
    case kEntry_DrawPrimitive:
        api.DrawPrimitive(reinterpret_cast<const HostVertex*>(p0), argInt(a[1]));
        break;
    case kEntry_LoadTexture: {
        TextureRecord* handle = api.LoadTexture(p0, argInt(a[1]), argInt(a[2]), uint32_t(a[3]),
                                                uint32_t(a[4]), uint32_t(a[5]), pal);
        if (call.result && !handle) report(r, index, "LoadTexture returned no texture", true);
        if (!call.result && handle)
            report(r, index, "LoadTexture gave a texture it refused when recorded", false);
        if (call.result && handle)
            r.textures[call.result] =
                ReplayTexture{handle, argInt(a[1]), argInt(a[2]), uint32_t(a[4])};
        break;
    }
    case kEntry_UnloadTexture:
        api.UnloadTexture(handleFor(r, a[0]));
        r.textures.erase(a[0]);
        break;
    case kEntry_ResetTextures:
        api.ResetTextures();
        r.textures.clear();
        break;
    case kEntry_SelectTexture:
        api.SelectTexture(handleFor(r, a[0]));
        break;
    case kEntry_ModifyTexture:
        api.ModifyTexture(handleFor(r, a[0]), p0);
        break;
    case kEntry_LoadPalette:
        api.LoadPalette(reinterpret_cast<const uint32_t*>(p0));
        break;
    case kEntry_BltToCard:
        compareInt(r, index, name, call.result,
                   api.BltToCard(p0, argInt(a[1]), argInt(a[2]), argInt(a[3]), argInt(a[4]),
                                 argInt(a[5]), uint32_t(a[6]), pal));
        break;
    case kEntry_StretchBltToCard:
        compareInt(r, index, name, call.result,
                   api.StretchBltToCard(p0, argInt(a[1]), argInt(a[2]), argInt(a[3]), argInt(a[4]),
                                        argInt(a[5]), argInt(a[6]), argInt(a[7]), uint32_t(a[8]),
                                        pal));
        break;
    case kEntry_BltFromCard:
        compareInt(r, index, name, call.result,
                   api.BltFromCard(p0, argInt(a[1]), argInt(a[2]), argInt(a[3]), argInt(a[4]),
                                   argInt(a[5]), uint32_t(a[6])));
        // The driver wrote there: contents copied in before are gone.
        for (ReplayBuffer& b : r.memory.buffers[a[0]])
            b.lastData = nullptr;
        break;
    case kEntry_BltFromCardToCard:
        compareInt(r, index, name, call.result, api.BltFromCardToCard());
        break;
    }

    // What the driver wrote into host memory, against what it wrote then.
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
    return true;
}
