// Call counting, the call log, and failures on demand for every Win32 call and
// DirectDraw method of the stand-ins.
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "calls/call_counter.h"
#include "platform/posix/standin_control.h"
#include "platform/posix/standin_internal.h"

namespace {

CallCounter calls;
std::vector<std::string> callLog;
// Off until a program asks (the test programs do): a log of every call,
// kept for a long-running program, would only grow.
bool loggingCalls = false;
int deadCalls = 0;

} // namespace

bool standinCallFails(const char* name, HRESULT* result, const char* argsFormat, ...) {
    if (loggingCalls) {
        std::string line = name;
        if (argsFormat) {
            char args[160];
            va_list list;
            va_start(list, argsFormat);
            std::vsnprintf(args, sizeof args, argsFormat, list);
            va_end(list);
            line += '(';
            line += args;
            line += ')';
        }
        callLog.push_back(line);
    }
    return calls.enter(name, result);
}

void standinNoteReturnedCount(uint32_t count) {
    if (loggingCalls && !callLog.empty()) callLog.back() += " -> " + std::to_string(count);
}

void standinNoteDeadCall(const char* name) {
    ++deadCalls;
    std::fprintf(stderr, "stand-in: %s called on a freed object\n", name);
}

void kxstandFailCall(const char* name, HRESULT result, int fromCall, int times) {
    calls.failCall(name, result, fromCall, times);
}

void kxstandSetCallLogging(bool on) {
    loggingCalls = on;
}

bool standinLoggingCalls() {
    return loggingCalls;
}

void kxstandClearFailures() {
    calls.clearFailures();
}

int kxstandCallCount(const char* name) {
    return calls.count(name);
}

const std::vector<std::string>& kxstandCallLog() {
    return callLog;
}

void kxstandClearCallLog() {
    callLog.clear();
}

int kxstandDeadCalls() {
    return deadCalls;
}
