#include "trace/who_drew.h"

#include <cstring>
#include <map>

#include "blit/host_bytes.h"
#include "host/frame_grab.h"
#include "host/host_library.h"
#include "trace/replay.h"
#include "trace/trace_trim.h"

bool findPixelProbe(void* library, PixelProbeApi& p) {
    p.set = reinterpret_cast<void (*)(int, int)>(findSymbol(library, "softsglSetProbe"));
    p.hits =
        reinterpret_cast<int (*)(const SoftsglProbeHit**)>(findSymbol(library, "softsglProbeHits"));
    p.queued = reinterpret_cast<int (*)()>(findSymbol(library, "softsglQueuedPrimitives"));
    p.target =
        reinterpret_cast<void (*)(uint8_t**, int*, int*)>(findSymbol(library, "softsglLastTarget"));
    if (p.set && p.hits && p.queued && p.target) return true;
    p = PixelProbeApi{};
    return false;
}

namespace {

bool isBlit(uint32_t entry) {
    return entry == kEntry_BltToCard || entry == kEntry_StretchBltToCard;
}

// The back buffer's pixel (x, y) as the latest render left it, or null.
uint16_t* targetPixel(const PixelProbeApi& probe, int x, int y, int& bitsPerPixel) {
    uint8_t* address = nullptr;
    int stride = 0;
    probe.target(&address, &stride, &bitsPerPixel);
    if (!address || x >= stride / 2) return nullptr;
    return reinterpret_cast<uint16_t*>(address + size_t(y) * size_t(stride) + 2 * size_t(x));
}

// Whether the blit's rectangle, as the blits clip it, holds pixel (x, y),
// and the source pixel it draws there with its index.
bool blitCovers(const Trace& trace, size_t index, int x, int y, PixelCover& c) {
    const TraceCall& call = trace.calls[index];
    const uint64_t* a = call.args;
    const bool stretch = call.entry == kEntry_StretchBltToCard;
    const int32_t bx = argInt(a[1]), by = argInt(a[2]), width = argInt(a[3]), height = argInt(a[4]);
    StretchWindow window;
    SourceBox box;
    const bool reaches =
        stretch ? stretchBlitReach(bx, by, width, height, argInt(a[5]), argInt(a[6]),
                                   uint32_t(a[8]), kxScreenWidth, kxScreenHeight, &window, &box)
                : plainBlitReach(bx, by, width, height, uint32_t(a[6]), kxScreenWidth,
                                 kxScreenHeight, &window, &box);
    const int64_t column = int64_t(x) - bx, row = int64_t(y) - by;
    if (!reaches || column < window.firstColumn || column >= window.firstColumn + window.columns ||
        row < window.firstRow || row >= window.firstRow + window.rows)
        return false;
    const int64_t sx =
        stretch ? stretchSourceColumn(column, stretchColumnStep(width, argInt(a[5]))) : column;
    const int64_t sy = stretch ? stretchSourceRow(int32_t(row), height, argInt(a[6])) : row;
    c.sourceX = int32_t(sx);
    c.sourceY = int32_t(sy);
    // The recorded rows are the box's, packed.
    for (uint32_t k = 0; k < call.itemCount; ++k) {
        const TraceItem& item = trace.items[call.firstItem + k];
        if (item.base != a[0] || !item.data) continue;
        const int64_t r = sy - box.firstRow, col = sx - box.firstColumn;
        if (r >= 0 && r < item.rows.rows && col >= 0 && col < item.rows.rowBytes)
            c.sourceIndex = item.data[size_t(r) * item.rows.rowBytes + size_t(col)];
        break;
    }
    return true;
}

struct QueuedCall {
    size_t call;
    uint32_t first; // its first primitive in the frame's queue
    int parts;
};

} // namespace

std::string sampleCounts(const PixelCover& c) {
    if (c.blit || c.samples <= 1) return "";
    return "; samples: " + std::to_string(c.covered) + " of " + std::to_string(c.samples) +
           " covered, " + std::to_string(c.passed) + " passed the depth test";
}

bool whoDrew(const Trace& trace, const FrameIndex& frames, size_t frame, int x, int y,
             const KxEntryPoints& api, const PixelProbeApi& probe, PixelStory& story,
             std::string& error) {
    story = PixelStory{};
    Replay replay;
    replay.trace = &trace;
    replay.api = &api;
    std::map<uint32_t, QueuedCall> queue; // by the first primitive of each DrawPrimitive
    std::vector<PixelCover> blits;
    bool rendered = false;
    for (size_t i : callsForFrames(trace, frames, frame, frame)) {
        const uint32_t entry = trace.calls[i].entry;
        const bool mine = frames.frameOfCall[i] == frame;
        if (mine && i == frames.firstCall[frame]) probe.set(x, y);
        const int queuedBefore = probe.queued();
        if (!playCall(replay, i, error)) return false;
        if (!mine) continue;
        if (entry == kEntry_DrawPrimitive) {
            const int queued = probe.queued();
            if (queued > queuedBefore) {
                if (rendered) story.drawnAfterRender += size_t(queued - queuedBefore);
                queue[uint32_t(queuedBefore)] =
                    QueuedCall{i, uint32_t(queuedBefore), queued - queuedBefore};
            }
        }
        if (isBlit(entry)) {
            rendered = true;
            // Played once more over a pixel of another value: the blit writes
            // the pixel (the value it wrote the first time) or leaves it.
            uint16_t* pixel = targetPixel(probe, x, y, story.bitsPerPixel);
            if (!pixel) continue;
            const uint16_t value = *pixel;
            *pixel = uint16_t(~value);
            if (!playCall(replay, i, error)) return false;
            PixelCover c;
            c.call = i;
            c.blit = true;
            c.drawn = *pixel != uint16_t(~value);
            c.before = c.after = value;
            *pixel = value;
            if (blitCovers(trace, i, x, y, c) || c.drawn) blits.push_back(c);
        }
        if (entry == kEntry_PageFlip) {
            const SoftsglProbeHit* hits = nullptr;
            const int n = probe.hits(&hits);
            for (int k = 0; k < n; ++k) {
                auto owner = queue.upper_bound(hits[k].primitive);
                if (owner == queue.begin()) continue; // queued by no call of this frame
                --owner;
                const QueuedCall& q = owner->second;
                if (hits[k].primitive >= q.first + uint32_t(q.parts)) continue;
                PixelCover c;
                c.call = q.call;
                c.part = int(hits[k].primitive - q.first);
                c.parts = q.parts;
                c.translucent = hits[k].translucent != 0;
                c.drawn = hits[k].drawn != 0;
                c.before = hits[k].before;
                c.after = hits[k].pixel;
                c.samples = hits[k].samples;
                c.covered = hits[k].covered;
                c.passed = hits[k].passed;
                story.covers.push_back(c);
            }
            probe.set(-1, -1);
            RgbImage image = readBackFrame(api, kxScreenWidth, kxScreenHeight);
            std::memcpy(story.rgb, &image.rgb[(size_t(y) * size_t(image.width) + size_t(x)) * 3],
                        3);
            int bits = 0;
            targetPixel(probe, x, y, bits);
            if (!story.bitsPerPixel) story.bitsPerPixel = bits;
        }
    }
    story.covers.insert(story.covers.end(), blits.begin(), blits.end());
    // The last cover that set the pixel: a blit, or a primitive that passed
    // the depth test and changed it or is opaque.
    for (long k = long(story.covers.size()) - 1; k >= 0 && story.shows < 0; --k) {
        const PixelCover& c = story.covers[size_t(k)];
        if (c.drawn && (c.blit || !c.translucent || c.after != c.before)) story.shows = k;
    }
    if (story.shows >= 0) {
        const PixelCover& c = story.covers[size_t(story.shows)];
        story.blendedOver = !c.blit && c.translucent;
        story.mixed = !c.blit && c.passed < c.samples;
    }
    // The replay stops inside the trace: its textures are still loaded.
    api.ResetTextures();
    api.Shutdown();
    return true;
}
