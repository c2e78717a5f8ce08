// The frames of a trace. A frame is the calls from the end of the one before
// up to and including its PageFlip, with the read-backs that follow that
// flip at once (BltFromCard there reads the frame just flipped). Calls after
// the last flip make a frame of their own that was never flipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "trace/trace_reader.h"

struct FrameIndex {
    std::vector<uint32_t> frameOfCall; // per call
    std::vector<size_t> firstCall;     // per frame, the unflipped last one included
    std::vector<size_t> flipCall;      // per frame: its PageFlip, or SIZE_MAX
    size_t flipped = 0;                // frames that end with a PageFlip
    size_t frames() const { return firstCall.size(); }
    // One past the frame's last call.
    size_t endCall(size_t frame) const {
        return frame + 1 < firstCall.size() ? firstCall[frame + 1] : frameOfCall.size();
    }
};

FrameIndex indexFrames(const Trace& trace);

// The frame a BltFromCard reads: the last one flipped before it, or -1 when
// none was.
long frameReadBack(const FrameIndex& index, size_t call);

// "0,30,60-90": frame or call numbers and ranges. False, with the reason in
// `error`, for a malformed list or a number above `last`; `what` names the
// numbers in messages ("frame", "call").
bool parseNumberList(const std::string& list, long last, const char* what, std::set<long>& out,
                     std::string& error);
