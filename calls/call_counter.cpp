#include "calls/call_counter.h"

#include <algorithm>
#include <cstring>

bool CallCounter::enter(const char* name, int32_t* result) {
    ++counts_[name];
    bool fails = false;
    for (Rule& rule : rules_) {
        if (rule.name != name) continue;
        ++rule.seen;
        const bool due = rule.seen >= rule.fromCall &&
                         (rule.times < 0 || rule.seen < rule.fromCall + rule.times);
        if (due && !fails) *result = rule.result;
        fails = fails || due;
    }
    return fails;
}

void CallCounter::failCall(const char* name, int32_t result, int fromCall, int times) {
    if (!name || times == 0) return;
    rules_.push_back({name, result, std::max(fromCall, 1), times, 0});
}

void CallCounter::dropFailures(const char* name) {
    if (!name) return;
    rules_.erase(std::remove_if(rules_.begin(), rules_.end(),
                                [name](const Rule& rule) { return rule.name == name; }),
                 rules_.end());
}

void CallCounter::clearFailures() {
    rules_.clear();
}

int CallCounter::count(const char* name) const {
    int count = 0;
    for (const auto& [counted, calls] : counts_)
        if (name && std::strcmp(counted, name) == 0) count += calls;
    return count;
}

void CallCounter::clearCounts() {
    counts_.clear();
}
