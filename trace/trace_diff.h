// Comparing two traces call by call. Host addresses and texture handles
// differ from one run to the next, so each is mapped to the other trace's by
// first appearance and must stay mapped the same way; memory contents are
// compared by their bytes, and the items of one call as a set (a call may
// read its textures in another order). A few calls inserted on one side are
// found and shown as such, and the comparison goes on after them.
#pragma once

#include <cstddef>
#include <set>
#include <string>

#include "trace/trace_reader.h"

struct DiffOptions {
    size_t shown = 10;  // differences printed in full
    size_t context = 3; // calls shown around each
};

struct DiffResult {
    size_t compared = 0;         // pairs of calls compared
    size_t differing = 0;        // of those, calls that differ
    size_t onlyA = 0, onlyB = 0; // calls found on one side alone
    std::set<size_t> frames;     // frames of A with a difference (or a call of its own)
    std::string text;            // the differences shown, with context
    bool same() const { return differing == 0 && onlyA == 0 && onlyB == 0; }
};

DiffResult diffTraces(const Trace& a, const Trace& b, const DiffOptions& options = DiffOptions{});
