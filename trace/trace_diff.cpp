#include "trace/trace_diff.h"

#include <cstring>
#include <unordered_map>
#include <vector>

#include "trace/trace_frames.h"
#include "trace/trace_print.h"
#include "trace/trace_state.h"

namespace {

// A one-to-one map of one trace's values to the other's, grown by first
// appearance. Bindings a call would add are held apart until the whole call
// matches. Memory a call reads or writes may bind its pointers anew: two builds of one
// program reuse stack and heap addresses differently, and what such a
// pointer means is the bytes read there, which are compared.
struct ValueMap {
    std::unordered_map<uint64_t, uint64_t> forward, backward;
    std::vector<std::pair<uint64_t, uint64_t>> pending;

    bool known(uint64_t a, uint64_t& b) const {
        for (const auto& p : pending)
            if (p.first == a) {
                b = p.second;
                return true;
            }
        auto f = forward.find(a);
        if (f != forward.end()) {
            b = f->second;
            return true;
        }
        return false;
    }
    bool taken(uint64_t b) const {
        for (const auto& p : pending)
            if (p.second == b) return true;
        return backward.count(b) != 0;
    }
    // True when a and b correspond, binding them when both are new (or, with
    // `rebind`, replacing what either was bound to).
    bool match(uint64_t a, uint64_t b, bool rebind = false) {
        if (!a || !b) return a == b;
        uint64_t mapped;
        const bool knownA = known(a, mapped);
        if (knownA && mapped == b) return true;
        if (!rebind && (knownA || taken(b))) return false;
        for (auto& p : pending)
            if (p.first == a || p.second == b) p = {0, 0};
        pending.emplace_back(a, b);
        return true;
    }
    void commit() {
        for (const auto& p : pending) {
            if (!p.first) continue;
            auto f = forward.find(p.first);
            if (f != forward.end()) {
                backward.erase(f->second);
                forward.erase(f);
            }
            auto r = backward.find(p.second);
            if (r != backward.end()) {
                forward.erase(r->second);
                backward.erase(r);
            }
            forward.emplace(p.first, p.second);
            backward.emplace(p.second, p.first);
        }
        pending.clear();
    }
};

struct Side {
    const Trace* trace;
    FrameIndex frames;
    TraceState state;
    size_t next = 0; // the next call to compare
};

bool sameRows(const MemoryRows& a, const MemoryRows& b) {
    return a.offset == b.offset && a.rowBytes == b.rowBytes && a.rows == b.rows &&
           a.pitch == b.pitch;
}

bool sameBytes(const TraceItem& a, const TraceItem& b) {
    if (a.kind == kItemReadBack || a.kind == kItemBlobContents) return a.hash == b.hash;
    return a.dataSize == b.dataSize &&
           (a.dataSize == 0 || std::memcmp(a.data, b.data, a.dataSize) == 0);
}

bool sameItem(const TraceItem& x, const TraceItem& y) {
    return x.kind == y.kind && sameRows(x.rows, y.rows) && sameBytes(x, y);
}

// The call reads memory at `pointer`, or writes there (a read-back).
bool readsAt(const Trace& trace, const TraceCall& call, uint64_t pointer) {
    for (uint32_t k = 0; k < call.itemCount; ++k)
        if (trace.items[call.firstItem + k].base == pointer) return true;
    return false;
}

// The pointers mapped in the comparison so far, and the handles.
struct Maps {
    ValueMap pointers, handles;
};

// Compares one call of each side; keeps what they newly map when equal.
bool sameCallWith(const Trace& ta, const TraceCall& a, const Trace& tb, const TraceCall& b,
                  Maps& maps) {
    if (a.entry != b.entry) return false;
    const EntryInfo& info = entryInfo(a.entry);
    for (int i = 0; i < info.argCount; ++i) {
        const uint64_t va = a.args[i], vb = b.args[i];
        switch (info.args[i].kind) {
        case kArgPointer:
            // A pointer to memory the call reads or writes is matched by
            // those bytes.
            if (!maps.pointers.match(va, vb, readsAt(ta, a, va) && readsAt(tb, b, vb)))
                return false;
            break;
        case kArgHandle:
            if (!maps.handles.match(va, vb)) return false;
            break;
        default:
            if (uint32_t(va) != uint32_t(vb)) return false;
        }
    }
    // Results that point to data are compared by that data, among the items.
    if (info.result == kResultInt && uint32_t(a.result) != uint32_t(b.result)) return false;
    if (info.result == kResultHandle && !maps.handles.match(a.result, b.result)) return false;
    if (a.itemCount != b.itemCount) return false;
    // Items as a set: those at a pointer mapped already go to the item at
    // its counterpart; then the others, by their contents.
    std::vector<bool> used(b.itemCount, false);
    std::unordered_multimap<uint64_t, uint32_t> byBase;
    for (uint32_t m = 0; m < b.itemCount; ++m)
        byBase.emplace(tb.items[b.firstItem + m].base, m);
    std::vector<uint32_t> later;
    for (uint32_t k = 0; k < a.itemCount; ++k) {
        const TraceItem& x = ta.items[a.firstItem + k];
        uint64_t base = 0;
        if (x.base && !maps.pointers.known(x.base, base)) {
            later.push_back(k);
            continue;
        }
        bool found = false;
        auto range = byBase.equal_range(base);
        for (auto it = range.first; it != range.second && !found; ++it)
            if (!used[it->second] && sameItem(x, tb.items[b.firstItem + it->second]))
                used[it->second] = found = true;
        if (!found) later.push_back(k); // the same bytes elsewhere bind anew
    }
    for (uint32_t k : later) {
        const TraceItem& x = ta.items[a.firstItem + k];
        bool found = false;
        for (uint32_t m = 0; m < b.itemCount && !found; ++m) {
            const TraceItem& y = tb.items[b.firstItem + m];
            if (used[m] || !sameItem(x, y) || !maps.pointers.match(x.base, y.base, true)) continue;
            used[m] = found = true;
        }
        if (!found) return false;
    }
    return true;
}

bool sameCall(const Trace& ta, size_t ia, const Trace& tb, size_t ib, Maps& maps) {
    const bool same = sameCallWith(ta, ta.calls[ia], tb, tb.calls[ib], maps);
    if (same) {
        maps.pointers.commit();
        maps.handles.commit();
    } else {
        maps.pointers.pending.clear();
        maps.handles.pending.clear();
    }
    return same;
}

// The next `count` calls' entry points of a side, from `at`.
bool entriesMatch(const Trace& ta, size_t ia, const Trace& tb, size_t ib, size_t count) {
    for (size_t k = 0; k < count; ++k) {
        if (ia + k >= ta.calls.size() || ib + k >= tb.calls.size())
            return ia + k >= ta.calls.size() && ib + k >= tb.calls.size();
        if (ta.calls[ia + k].entry != tb.calls[ib + k].entry) return false;
    }
    return true;
}

// Calls inserted on one side before the two go on alike: how many on A's
// side (>0) or B's (<0); 0 when no such short run is found.
long findInserted(const Side& a, const Side& b) {
    const size_t kLongest = 16, kAgree = 4;
    for (size_t d = 1; d <= kLongest; ++d) {
        if (entriesMatch(*a.trace, a.next + d, *b.trace, b.next, kAgree)) return long(d);
        if (entriesMatch(*a.trace, a.next, *b.trace, b.next + d, kAgree)) return -long(d);
    }
    return 0;
}

std::string line(char mark, const Side& s, size_t call) {
    return std::string(1, mark) + " [" + std::to_string(s.frames.frameOfCall[call]) + "] " +
           describeCall(*s.trace, call) + "\n";
}

// The call in full (what it read below it), each line marked.
std::string full(char mark, const Side& s, size_t call) {
    std::string text = dumpCall(*s.trace, s.frames, s.state, call), out;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        out += std::string(1, mark) + " " + text.substr(at, end - at) + "\n";
        at = end + 1;
    }
    return out;
}

} // namespace

DiffResult diffTraces(const Trace& ta, const Trace& tb, const DiffOptions& options) {
    DiffResult r;
    Side a{&ta, indexFrames(ta), {}, 0}, b{&tb, indexFrames(tb), {}, 0};
    Maps maps;
    size_t shown = 0, trailing = 0; // context lines still to print after a difference
    size_t lastPrinted = SIZE_MAX;  // A's call printed last
    auto advance = [](Side& s) { applyCall(s.state, *s.trace, s.next++); };
    auto header = [&](size_t callA) {
        if (lastPrinted != SIZE_MAX && callA <= lastPrinted + 1 + options.context) return;
        r.text += "@@ call " + std::to_string(callA) + " of A, " + std::to_string(b.next) +
                  " of B, frame " +
                  std::to_string(a.next < ta.calls.size() ? a.frames.frameOfCall[a.next]
                                                          : a.frames.frames()) +
                  " @@\n";
        // The calls before it, as context.
        const size_t from = callA > options.context ? callA - options.context : 0;
        for (size_t i = std::max(from, lastPrinted == SIZE_MAX ? 0 : lastPrinted + 1); i < callA;
             ++i)
            r.text += line(' ', a, i);
    };
    while (a.next < ta.calls.size() || b.next < tb.calls.size()) {
        const bool both = a.next < ta.calls.size() && b.next < tb.calls.size();
        if (both && sameCall(ta, a.next, tb, b.next, maps)) {
            ++r.compared;
            if (trailing) {
                r.text += line(' ', a, a.next);
                lastPrinted = a.next;
                --trailing;
            }
            advance(a);
            advance(b);
            continue;
        }
        // A difference: calls on one side alone, or a pair that differs.
        // Calls on one side alone are looked for only where the entry points
        // part: a call of the same entry point that differs is a change.
        long inserted =
            both ? (ta.calls[a.next].entry != tb.calls[b.next].entry ? findInserted(a, b) : 0)
                 : (a.next < ta.calls.size() ? 1 : -1);
        if (!both && inserted > 0) inserted = long(ta.calls.size() - a.next);
        if (!both && inserted < 0) inserted = -long(tb.calls.size() - b.next);
        const bool show = shown < options.shown;
        if (show) header(a.next);
        if (inserted > 0) {
            r.onlyA += size_t(inserted);
            for (long k = 0; k < inserted; ++k) {
                if (show) r.text += line('-', a, a.next);
                r.frames.insert(a.frames.frameOfCall[a.next]);
                lastPrinted = a.next;
                advance(a);
            }
        } else if (inserted < 0) {
            r.onlyB += size_t(-inserted);
            if (a.next < ta.calls.size()) r.frames.insert(a.frames.frameOfCall[a.next]);
            for (long k = 0; k < -inserted; ++k) {
                if (show) r.text += line('+', b, b.next);
                advance(b);
            }
        } else {
            ++r.compared;
            ++r.differing;
            r.frames.insert(a.frames.frameOfCall[a.next]);
            if (show) {
                r.text += full('-', a, a.next);
                r.text += full('+', b, b.next);
            }
            lastPrinted = a.next;
            advance(a);
            advance(b);
        }
        if (show) {
            ++shown;
            trailing = options.context;
        }
    }
    return r;
}
