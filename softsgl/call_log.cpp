// The call log and the failures on demand.
#include <cstring>
#include <string>

#include "softsgl/softsgl_control.h"
#include "softsgl/softsgl_state.h"

namespace softsgl {
namespace {

// The log keeps the newest calls: when it reaches kLogLimit entries the
// older half is dropped, so a long-running host does not grow it forever.
// The counts are kept apart and are not affected.
constexpr size_t kLogLimit = 1u << 16;

struct Failure {
    std::string name;
    int result;
    int fromCall;
    int times;
    int seen;
};

std::vector<SoftsglCall> callLog;
// Counted by the address of the name, which callers give as a literal: a
// count by text made a string (often on the heap) at every call. Counts of
// one name given from two places are summed when read.
std::unordered_map<const char*, int> callCounts;
std::vector<Failure> failures;
// Off unless a test turns it on: a game's tens of thousands of calls a
// second would pay for copies that nobody reads (a fifth of a heavy frame).
bool loggingOn = false;

} // namespace

bool enterCall(const char* name, std::initializer_list<int64_t> args, int* failResult,
               const SGLCONTEXT* context, const SGLVERTEX* vertices, size_t vertexCount,
               const int32_t* indices, size_t indexCount) {
    ++callCounts[name];
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
    for (Failure& f : failures) {
        if (f.name != name) continue;
        ++f.seen;
        bool fails = f.seen >= f.fromCall && (f.times < 0 || f.seen < f.fromCall + f.times);
        if (fails) *failResult = f.result;
        return fails;
    }
    return false;
}

} // namespace softsgl

using namespace softsgl;

const std::vector<SoftsglCall>& softsglCalls() {
    return callLog;
}

void softsglClearCalls() {
    callLog.clear();
    callCounts.clear();
}

int softsglCallCount(const char* name) {
    int count = 0;
    for (const auto& [counted, calls] : callCounts)
        if (name && std::strcmp(counted, name) == 0) count += calls;
    return count;
}

void softsglSetCallLogging(bool on) {
    loggingOn = on;
}

void softsglFailCall(const char* name, int result, int fromCall, int times) {
    if (!name) return;
    for (Failure& f : failures) {
        if (f.name == name) {
            f = Failure{name, result, fromCall, times, 0};
            return;
        }
    }
    failures.push_back(Failure{name, result, fromCall, times, 0});
}

void softsglClearFailures() {
    failures.clear();
}
