// The call log and the failures on demand.
#include <cstring>

#include "calls/call_counter.h"
#include "softsgl/softsgl_control.h"
#include "softsgl/softsgl_state.h"

namespace softsgl {
namespace {

// The log keeps the newest calls: when it reaches kLogLimit entries the
// older half is dropped, so a long-running host does not grow it forever.
// The counts are kept apart and are not affected.
constexpr size_t kLogLimit = 1u << 16;

std::vector<SoftsglCall> callLog;
CallCounter calls;
// Off unless a test turns it on: a game's tens of thousands of calls a
// second would pay for copies that nobody reads (a fifth of a heavy frame).
bool loggingOn = false;

} // namespace

bool enterCall(const char* name, std::initializer_list<int64_t> args, int* failResult,
               const SGLCONTEXT* context, const SGLVERTEX* vertices, size_t vertexCount,
               const int32_t* indices, size_t indexCount) {
    if (loggingOn) {
        if (callLog.size() >= kLogLimit)
            callLog.erase(callLog.begin(), callLog.begin() + kLogLimit / 2);
        SoftsglCall call;
        call.name = name;
        call.args.assign(args.begin(), args.end());
        if (context) std::memcpy(&call.context, context, sizeof(SGLCONTEXT));
        if (vertices) call.vertices.assign(vertices, vertices + vertexCount);
        if (indices) call.indices.assign(indices, indices + indexCount);
        callLog.push_back(std::move(call));
    }
    return calls.enter(name, failResult);
}

} // namespace softsgl

using namespace softsgl;

const std::vector<SoftsglCall>& softsglCalls() {
    return callLog;
}

void softsglClearCalls() {
    callLog.clear();
    calls.clearCounts();
}

int softsglCallCount(const char* name) {
    return calls.count(name);
}

void softsglSetCallLogging(bool on) {
    loggingOn = on;
}

void softsglFailCall(const char* name, int result, int fromCall, int times) {
    calls.dropFailures(name); // a new failure for a name replaces the previous one
    calls.failCall(name, result, fromCall, times);
}

void softsglClearFailures() {
    calls.clearFailures();
}
