#include "trace/trace_format.h"

#include <initializer_list>

namespace {

constexpr int countArgs(std::initializer_list<EntryArg> args) {
    return int(args.size());
}

// The interface's table, one record a row.
#define KX_ARG(index, kind, name)                                                                  \
    EntryArg {                                                                                     \
        index, kArg##kind, #name                                                                   \
    }
#define KX_ROW(code, name, Result, result, parameters, arguments)                                  \
    EntryInfo{code,                                                                                \
              #name,                                                                               \
              kResult##result,                                                                     \
              countArgs({KX_ENTRY_LIST arguments}),                                                \
              {KX_ENTRY_LIST arguments}},
constexpr EntryInfo kEntries[kEntryCount] = {KX_ENTRY_POINTS(KX_ROW, KX_ARG)};
#undef KX_ROW
#undef KX_ARG

// Rows in code order and their arguments numbered 0, 1, 2 ... in order:
// entryInfo() finds a row by its code, replay a word by its index.
constexpr bool rowsInOrder() {
    for (uint32_t entry = 0; entry < kEntryCount; ++entry) {
        if (kEntries[entry].code != entry) return false;
        for (int i = 0; i < kEntries[entry].argCount; ++i)
            if (kEntries[entry].args[i].index != i) return false;
    }
    return true;
}
static_assert(rowsInOrder(), "entry point rows in code order, their arguments numbered from 0");

} // namespace

const EntryInfo& entryInfo(uint32_t entry) {
    return kEntries[entry < kEntryCount ? entry : 0];
}

const char* compressionName(uint32_t compression) {
    static const char* const names[] = {"none", "zstd", "lz4"};
    return compression < 3 ? names[compression] : nullptr;
}
