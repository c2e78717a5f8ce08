// Calls as text, one a line, with the interface's argument names: for
// "kxtrace dump" and "kxreplay --verbose"; and with what they read (a
// primitive's vertices, the texture, a blit's rectangle) as "kxtrace dump"
// shows them, in text or as one JSON object a line.
#pragma once

#include <string>

#include "trace/trace_frames.h"
#include "trace/trace_reader.h"
#include "trace/trace_state.h"

std::string describeCall(const Trace& trace, size_t index);
// "3f2a09c1": the first bytes of a hash, enough to tell blobs apart.
std::string shortHash(const BlobHash& hash);
// A host image format's name ("8-bit indexed"), "invalid" above 5.
const char* formatName(uint32_t format);

// The call's line with its frame, and below it, indented, what it read and
// meant; `state` is the state in force when the call was made.
std::string dumpCall(const Trace& trace, const FrameIndex& frames, const TraceState& state,
                     size_t index);
// The same as one JSON object, without a line break.
std::string dumpCallJson(const Trace& trace, const FrameIndex& frames, const TraceState& state,
                         size_t index);
// What a call meant, in a few words ("fan of 2 triangles; texture #3 ...;
// alpha blend 0, colour key 1 0xFFFF00FF"); empty for calls that need none.
std::string callMeaning(const Trace& trace, const FrameIndex& frames, const TraceState& state,
                        size_t index);
// "texture #3 0x55d0c0a0 (256 x 256, 8-bit indexed, own palette)".
std::string describeTexture(const TraceTexture& texture);
