// Which calls a replay of some frames needs, and a trace cut to them.
//
// Of the calls before the first frame wanted, only those that leave state
// behind are needed: everything but the drawing. Blits and read-backs leave
// nothing once their frame is flipped; a DrawPrimitive leaves two render
// flags (texturing off when no texture is selected, and per-vertex
// translucency when a fan is drawn with alpha blending on), so the last
// DrawPrimitive before the frames, and the last fan drawn with blending on,
// are kept. PageFlips are kept too: the frame counter is the texture cache's
// clock, and the frames keep their numbers. A read-back inside the frames
// that reads a frame before them is left out: that frame is not drawn.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "trace/trace_frames.h"
#include "trace/trace_reader.h"

// The calls, in order, that a replay of frames first..last needs, up to
// call `stop` at most.
std::vector<size_t> callsForFrames(const Trace& trace, const FrameIndex& frames, size_t first,
                                   size_t last, size_t stop = SIZE_MAX);

// Writes a trace of `calls` (in order) of `trace`: their records as they
// were, each blob before the first call that reads it. `note` is added to
// the information text.
bool writeTraceOfCalls(const Trace& trace, const std::vector<size_t>& calls,
                       const std::string& path, uint32_t compression, const std::string& note,
                       std::string& error);
