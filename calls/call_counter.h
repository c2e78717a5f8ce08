// Counting calls by name and failing them on demand: what the Linux
// stand-ins and softsgl keep for their tests. Each keeps a counter of its
// own; their logs stay theirs, since each logs calls its own way.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class CallCounter {
  public:
    // Counts a call of `name` and tells whether it is to fail; *result then
    // holds the result to return. `name` must outlive the counter (a
    // literal): the counts keep the pointer. Every rule for the name sees
    // every call, so rules set side by side count alike; the first one due
    // decides the result.
    bool enter(const char* name, int32_t* result);

    // The call of `name` numbered `fromCall` (1 = the next one, counted from
    // now; below 1 counts as 1) and the `times` - 1 calls after it fail with
    // `result` (times < 0: every call from then on; 0: none).
    void failCall(const char* name, int32_t result, int fromCall, int times);
    // Forgets the rules for `name`.
    void dropFailures(const char* name);
    void clearFailures();

    // Calls of `name` since the last clear; counts of one name given from
    // two places are summed.
    int count(const char* name) const;
    void clearCounts();

  private:
    struct Rule {
        std::string name;
        int32_t result;
        int fromCall;
        int times;
        int seen; // calls of that name since the rule was set
    };
    // Counted by the address of the name: a count by text compared (or made)
    // a string at every call.
    std::unordered_map<const char*, int> counts_;
    std::vector<Rule> rules_;
};
