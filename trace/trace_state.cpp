#include "trace/trace_state.h"

#include "trace/host_reads.h"

namespace {

bool isContents(const TraceItem& item) {
    return item.kind == kItemBlobContents || item.kind == kItemInlineContents;
}

bool isPalette(const TraceItem& item, uint64_t base) {
    const MemoryRows p = paletteRead();
    return isContents(item) && item.base == base && item.rows.offset == 0 &&
           item.rows.bytes() == p.bytes();
}

bool isImage(const TraceItem& item, const TraceTexture& t) {
    const MemoryRows r = textureRead(t.width, t.height, t.format);
    return isContents(item) && !r.empty() && item.rows.offset == r.offset &&
           item.rows.rowBytes == r.rowBytes && item.rows.rows == r.rows;
}

// A texture's image and own palette as a call recorded them.
void takeContents(TraceTexture& t, const Trace& trace, const TraceCall& call, size_t index,
                  uint64_t pixels) {
    for (uint32_t k = 0; k < call.itemCount; ++k) {
        const TraceItem& item = trace.items[call.firstItem + k];
        if (t.palette && isPalette(item, t.palette)) {
            t.ownPalette = &item;
        } else if (isImage(item, t) && (!pixels || item.base == pixels) && t.imageCall != index) {
            t.image = &item;
            t.imageCall = index;
            t.pixels = item.base;
        }
    }
}

void unload(TraceState& s, uint64_t handle, size_t index) {
    auto found = s.live.find(handle);
    if (found == s.live.end()) return;
    s.textures[found->second].unloadCall = index;
    s.live.erase(found);
}

} // namespace

const TraceTexture* TraceState::texture(uint64_t handle) const {
    auto found = live.find(handle);
    return found == live.end() ? nullptr : &textures[found->second];
}

bool paletteColours(const TraceItem* item, uint32_t colours[256]) {
    if (!item || !item->data || item->dataSize != paletteRead().bytes()) return false;
    for (int i = 0; i < 256; ++i)
        colours[i] = getU32(item->data + 4 * i);
    return true;
}

void applyCall(TraceState& s, const Trace& trace, size_t index) {
    const TraceCall& call = trace.calls[index];
    const uint64_t* a = call.args;
    switch (call.entry) {
    case kEntry_Init:
        if (argInt(call.result) == 1) s.started = true;
        break;
    case kEntry_Shutdown:
        s.started = false;
        break;
    case kEntry_ChangeResolution:
        if (argInt(call.result)) {
            s.resolution = argInt(a[0]);
            for (auto& entry : s.live)
                s.textures[entry.second].unloadCall = index;
            s.live.clear();
        }
        break;
    case kEntry_ssAlphaBlend:
        s.alphaBlendMode = argInt(a[0]);
        s.alphaBlendSet = true;
        break;
    case kEntry_ssChromaKey:
        s.chromaKeyMode = argInt(a[0]);
        s.chromaKeyColour = uint32_t(a[1]);
        s.chromaKeySet = true;
        break;
    case kEntry_LoadTexture:
        if (call.result) {
            unload(s, call.result, index); // a handle the trace never saw unloaded
            TraceTexture t;
            t.number = int(s.textures.size());
            t.handle = call.result;
            t.loadCall = index;
            t.pixels = a[0];
            t.width = argInt(a[1]);
            t.height = argInt(a[2]);
            t.format = uint32_t(a[4]);
            t.palette = uint32_t(a[4]) == 0 ? a[6] : 0;
            s.live[call.result] = s.textures.size();
            s.textures.push_back(t);
        }
        break;
    case kEntry_UnloadTexture:
        unload(s, a[0], index);
        break;
    case kEntry_ResetTextures:
        for (auto& entry : s.live)
            s.textures[entry.second].unloadCall = index;
        s.live.clear();
        break;
    case kEntry_SelectTexture: {
        s.selected = a[0];
        s.selectCall = index;
        auto found = s.live.find(a[0]);
        if (found != s.live.end()) takeContents(s.textures[found->second], trace, call, index, 0);
        break;
    }
    case kEntry_ModifyTexture: {
        auto found = s.live.find(a[0]);
        if (found != s.live.end() && a[1])
            takeContents(s.textures[found->second], trace, call, index, a[1]);
        break;
    }
    case kEntry_LoadPalette: {
        if (!a[0]) break;
        // The palette, then the images of the textures without one of their own.
        std::unordered_map<uint64_t, const TraceItem*> images;
        bool paletteSeen = false;
        for (uint32_t k = 0; k < call.itemCount; ++k) {
            const TraceItem& item = trace.items[call.firstItem + k];
            if (!paletteSeen && isPalette(item, a[0])) {
                paletteSeen = true;
                s.globalPalette = &item;
                s.globalPaletteCall = index;
            } else if (isContents(item)) {
                images.emplace(item.base, &item);
            }
        }
        for (auto& entry : s.live) {
            TraceTexture& t = s.textures[entry.second];
            auto image = images.find(t.pixels);
            if (!t.palette && image != images.end() && isImage(*image->second, t)) {
                t.image = image->second;
                t.imageCall = index;
            }
        }
        break;
    }
    default:
        break;
    }
}

TraceState stateBefore(const Trace& trace, size_t index) {
    TraceState s;
    for (size_t i = 0; i < index && i < trace.calls.size(); ++i)
        applyCall(s, trace, i);
    return s;
}
