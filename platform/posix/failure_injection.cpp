// Call counting, the call log, and failures on demand for every Win32 call and
// DirectDraw method of the stand-ins.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/posix/standin_control.h"
#include "platform/posix/standin_internal.h"

namespace {

struct FailureRule {
    std::string name;
    HRESULT result;
    int skip;  // calls of that name still to let through
    int times; // failing calls left; negative: no end
};

// Counted by the address of the name, which callers give as a literal: a
// count by text compared strings at every call. Counts of one name given
// from two places are summed when read.
std::unordered_map<const char*, int> callCounts;
std::vector<std::string> callLog;
bool loggingCalls = true;
std::vector<FailureRule> failureRules;
int deadCalls = 0;

} // namespace

bool standinCallFails(const char* name, HRESULT* result, const char* argsFormat, ...) {
    ++callCounts[name];
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

    // Every rule for this name sees every call, so rules set side by side
    // count alike; the first one due decides the result.
    bool fails = false;
    for (FailureRule& rule : failureRules) {
        if (rule.name != name || rule.times == 0) continue;
        if (rule.skip > 0) {
            --rule.skip;
            continue;
        }
        if (rule.times > 0) --rule.times;
        if (!fails) *result = rule.result;
        fails = true;
    }
    return fails;
}

void standinNoteReturnedCount(uint32_t count) {
    if (loggingCalls && !callLog.empty()) callLog.back() += " -> " + std::to_string(count);
}

void standinNoteDeadCall(const char* name) {
    ++deadCalls;
    std::fprintf(stderr, "stand-in: %s called on a freed object\n", name);
}

void kxstandFailCall(const char* name, HRESULT result, int fromCall, int times) {
    if (!name || times == 0) return;
    failureRules.push_back({name, result, fromCall > 1 ? fromCall - 1 : 0, times});
}

void kxstandSetCallLogging(bool on) {
    loggingCalls = on;
}

bool standinLoggingCalls() {
    return loggingCalls;
}

void kxstandClearFailures() {
    failureRules.clear();
}

int kxstandCallCount(const char* name) {
    int count = 0;
    for (const auto& [counted, calls] : callCounts)
        if (name && std::strcmp(counted, name) == 0) count += calls;
    return count;
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
