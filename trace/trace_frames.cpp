#include "trace/trace_frames.h"

#include <cstdint>
#include <cstdlib>

FrameIndex indexFrames(const Trace& trace) {
    FrameIndex index;
    const size_t n = trace.calls.size();
    index.frameOfCall.resize(n);
    bool afterFlip = false; // only read-backs since the last flip
    for (size_t i = 0; i < n; ++i) {
        const uint32_t entry = trace.calls[i].entry;
        if (i == 0 || (afterFlip && entry != kEntry_BltFromCard)) {
            index.firstCall.push_back(i);
            index.flipCall.push_back(SIZE_MAX);
            afterFlip = false;
        }
        index.frameOfCall[i] = uint32_t(index.firstCall.size() - 1);
        if (entry == kEntry_PageFlip) {
            ++index.flipped;
            index.flipCall.back() = i;
            afterFlip = true;
        }
    }
    return index;
}

long frameReadBack(const FrameIndex& index, size_t call) {
    const size_t frame = index.frameOfCall[call];
    // After its frame's flip: that frame; before it: the one before.
    return index.flipCall[frame] < call ? long(frame) : long(frame) - 1;
}

bool parseNumberList(const std::string& list, long last, const char* what, std::set<long>& out,
                     std::string& error) {
    auto number = [&](const std::string& text, long& value) {
        char* end = nullptr;
        value = std::strtol(text.c_str(), &end, 10);
        if (text.empty() || *end || value < 0 || text[0] == '-' || text[0] == '+') {
            error = "bad " + std::string(what) + " number \"" + text + "\" in \"" + list + "\"";
            return false;
        }
        if (value > last) {
            error = std::string(what) + " " + text + " is past the end: the trace has " +
                    (last < 0 ? std::string("none")
                              : std::to_string(last + 1) + " (0 to " + std::to_string(last) + ")");
            return false;
        }
        return true;
    };
    size_t at = 0;
    for (;;) {
        const size_t comma = list.find(',', at);
        const std::string item = list.substr(at, comma == std::string::npos ? comma : comma - at);
        const size_t dash = item.find('-');
        long first, end;
        if (dash == std::string::npos) {
            if (!number(item, first)) return false;
            end = first;
        } else {
            if (!number(item.substr(0, dash), first) || !number(item.substr(dash + 1), end))
                return false;
            if (end < first) {
                error = "empty range \"" + item + "\"";
                return false;
            }
        }
        for (long v = first; v <= end; ++v)
            out.insert(v);
        if (comma == std::string::npos) return true;
        at = comma + 1;
    }
}
