// Writing small traces call by call for the tools' tests, with the writer
// the recorder uses.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "trace/host_reads.h"
#include "trace/trace_writer.h"

class TraceBuilder {
  public:
    explicit TraceBuilder(const std::string& path, uint32_t compression = kCompressionNone) {
        std::string error;
        EXPECT_TRUE(openTrace(writer, path, compression, "program=test\nsystem=linux\n", error))
            << error;
    }
    ~TraceBuilder() { close(); }

    // Starts a call; it is written when the next one starts or on close().
    TraceBuilder& call(uint32_t entry, const std::vector<uint64_t>& args = {},
                       uint64_t result = 0) {
        finish();
        startCall(pending, entry);
        for (uint64_t a : args)
            addArg(pending, a);
        pending.result = result;
        open = true;
        return *this;
    }
    // The host memory the call read, at `base` (as rows of it).
    TraceBuilder& reads(uint64_t base, const void* data, const MemoryRows& rows) {
        addContents(writer, pending, base, static_cast<const uint8_t*>(data), rows);
        return *this;
    }
    // What the call wrote there (a read-back).
    TraceBuilder& wrote(uint64_t base, const void* data, const MemoryRows& rows) {
        addReadBack(pending, base, static_cast<const uint8_t*>(data), rows);
        return *this;
    }
    void close() {
        finish();
        if (writer.file) closeTrace(writer);
    }

  private:
    void finish() {
        if (open) finishCall(writer, pending);
        open = false;
    }
    TraceWriter writer;
    CallBuilder pending;
    bool open = false;
};
