#include "trace/trace_trim.h"

#include <unordered_set>

#include "trace/trace_writer.h"

namespace {

// A call with no effect that outlasts its frame.
bool onlyDraws(uint32_t entry) {
    return entry == kEntry_DrawPrimitive || entry == kEntry_BltToCard ||
           entry == kEntry_StretchBltToCard || entry == kEntry_BltFromCard;
}

} // namespace

std::vector<size_t> callsForFrames(const Trace& trace, const FrameIndex& frames, size_t first,
                                   size_t last, size_t stop) {
    std::vector<size_t> calls;
    if (first >= frames.frames() || last < first) return calls;
    last = std::min(last, frames.frames() - 1);
    const size_t begin = frames.firstCall[first];
    const size_t end = std::min(frames.endCall(last), stop == SIZE_MAX ? stop : stop + 1);
    // The last DrawPrimitive before the frames, and the last fan drawn with
    // blending on (the alpha-blend mode is the last one set).
    size_t lastDraw = SIZE_MAX, lastBlendedFan = SIZE_MAX;
    int32_t alphaBlendMode = 0;
    for (size_t i = 0; i < begin; ++i) {
        const TraceCall& c = trace.calls[i];
        if (c.entry == kEntry_ssAlphaBlend) alphaBlendMode = argInt(c.args[0]);
        if (c.entry != kEntry_DrawPrimitive) continue;
        lastDraw = i;
        if (alphaBlendMode == 1 && argInt(c.args[1]) >= 3) lastBlendedFan = i;
    }
    for (size_t i = 0; i < begin; ++i)
        if (!onlyDraws(trace.calls[i].entry) || i == lastDraw || i == lastBlendedFan)
            calls.push_back(i);
    for (size_t i = begin; i < end; ++i)
        if (trace.calls[i].entry != kEntry_BltFromCard || frameReadBack(frames, i) >= long(first))
            calls.push_back(i);
    return calls;
}

bool writeTraceOfCalls(const Trace& trace, const std::vector<size_t>& calls,
                       const std::string& path, uint32_t compression, const std::string& note,
                       std::string& error) {
    TraceWriter w;
    if (!openTrace(w, path, compression, trace.info + note, error)) return false;
    std::unordered_set<const uint8_t*> written; // blobs, by where their bytes lie
    const uint8_t* body = trace.body.data();
    for (size_t index : calls) {
        const TraceCall& call = trace.calls[index];
        for (uint32_t k = 0; k < call.itemCount; ++k) {
            const TraceItem& item = trace.items[call.firstItem + k];
            if (item.kind != kItemBlobContents || !written.insert(item.data).second) continue;
            // The blob's record: its header and hash lie just before its bytes.
            const uint8_t* record = item.data - 16 - kRecordHeaderSize;
            w.buffer.insert(w.buffer.end(), record, item.data + item.dataSize);
            w.blobBytes += item.dataSize;
        }
        // Offsets count from the start of the unpacked file, the header included.
        const uint8_t* record = body + (call.offset - kTraceHeaderSize);
        w.buffer.insert(w.buffer.end(), record, record + kRecordHeaderSize + getU32(record + 4));
        ++w.calls;
        if (w.buffer.size() >= (4u << 20)) flushTrace(w);
    }
    const bool failed = w.failed;
    closeTrace(w);
    if (failed || w.failed) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}
