// Reading a trace: the header, the records unpacked into memory and checked
// one by one. Every fault is reported with the offset of the record (in the
// unpacked trace) and what is wrong with it.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "trace/host_reads.h"
#include "trace/trace_format.h"
#include "trace/trace_hash.h"

struct TraceItem {
    uint32_t kind = 0;
    uint64_t base = 0;             // the pointer the rows are relative to
    MemoryRows rows;               // contents and read-back items
    const uint8_t* data = nullptr; // packed rows (contents), or the result data
    uint32_t dataSize = 0;
    BlobHash hash = {}; // blob and read-back items
};

struct TraceCall {
    uint32_t entry = 0;
    uint64_t args[kMaxArgs] = {};
    uint64_t result = 0;
    uint32_t firstItem = 0, itemCount = 0;
    uint64_t offset = 0; // of the record in the unpacked trace
};

struct Trace {
    uint32_t version = 0;
    uint32_t compression = 0;
    uint32_t pointerBits = 0;
    uint64_t fileBytes = 0;
    std::string info;          // the recorder's "key=value" lines
    std::vector<uint8_t> body; // the records, unpacked
    std::vector<TraceCall> calls;
    std::vector<TraceItem> items;
    uint64_t blobCount = 0, blobBytes = 0;
    bool ended = false;             // the end record is there
    std::vector<std::string> notes; // not errors: e.g. no end record
};

struct TraceLimits {
    uint64_t maxBodyBytes = 4ull << 30; // the unpacked records
    // Off only for the fuzzer, so that damaged records reach the parser
    // behind their checks.
    bool verifyChecks = true;
};

// Reads and checks a whole trace. On failure `error` says where and what.
bool readTraceBytes(const uint8_t* data, size_t size, Trace& trace, std::string& error,
                    const TraceLimits& limits = TraceLimits{});
bool readTraceFile(const std::string& path, Trace& trace, std::string& error,
                   const TraceLimits& limits = TraceLimits{});

// The value of `key` in the information text, or "".
std::string traceInfoValue(const Trace& trace, const std::string& key);
