// Writing a trace: records into a buffer, blobs stored once by hash, the
// buffer written out (uncompressed, or with lz4 or zstd) at every flush.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_set>
#include <vector>

#include "trace/host_reads.h"
#include "trace/trace_format.h"
#include "trace/trace_hash.h"

struct TraceWriter {
    FILE* file = nullptr;
    uint32_t compression = kCompressionNone;
    void* packer = nullptr;      // the compressor's context (ZSTD_CCtx, LZ4F_cctx)
    std::vector<uint8_t> buffer; // records not written yet
    std::vector<uint8_t> packed; // compressed bytes on their way to the file
    std::unordered_set<BlobHash, BlobHashKey> stored;
    uint64_t calls = 0;
    uint64_t blobBytes = 0; // bytes of the distinct blobs stored
    bool failed = false;    // a write failed; nothing more is written
    int failure = 0;        // errno of the first failed write (0: not known)
};

// One call under construction: arguments first, then the memory it reads,
// then the result and what it wrote.
struct CallBuilder {
    uint32_t entry = 0;
    int argCount = 0;
    uint64_t args[kMaxArgs] = {};
    uint64_t result = 0;
    uint32_t itemCount = 0;
    std::vector<uint8_t> items;
};

// Creates the file and writes the header and the information record.
bool openTrace(TraceWriter& w, const std::string& path, uint32_t compression,
               const std::string& info, std::string& error);
// Writes what is buffered, compressed data included, so that a reader sees
// every record so far.
void flushTrace(TraceWriter& w);
// Writes the end record (unless told not to) and closes the file.
void closeTrace(TraceWriter& w, bool endRecord = true);
// Closes the file as a host that crashed leaves it: what was flushed is
// there, without the end record and, compressed, inside an unfinished frame.
void abandonTrace(TraceWriter& w);

void startCall(CallBuilder& call, uint32_t entry);
void addArg(CallBuilder& call, uint64_t value);
// Records the bytes at `pointer` + rows, the memory `base` refers to: inline
// when small, else as a reference to a blob, stored now if new.
void addContents(TraceWriter& w, CallBuilder& call, uint64_t base, const uint8_t* pointer,
                 const MemoryRows& rows);
// Records the hash of bytes the call wrote, for replay to compare.
void addReadBack(CallBuilder& call, uint64_t base, const uint8_t* pointer, const MemoryRows& rows);
void addResultData(CallBuilder& call, const void* data, uint32_t size);
void finishCall(TraceWriter& w, CallBuilder& call);
