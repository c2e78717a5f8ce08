// kxtrace: looks into trace files. "dump" prints the calls one a line,
// "info" counts them, "pack" and "unpack" compress and uncompress a trace.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "trace/trace_print.h"
#include "trace/trace_reader.h"
#include "trace/trace_writer.h"

namespace {

enum { kDone = 0, kBadUsage = 2, kBadTrace = 3, kCannotWrite = 4 };

void usage(FILE* out) {
    std::fprintf(out, "usage: kxtrace dump TRACE [--calls [FIRST-]LAST]\n"
                      "       kxtrace info TRACE\n"
                      "       kxtrace pack TRACE OUT.kxtrace     (zstd-compressed copy)\n"
                      "       kxtrace unpack TRACE OUT.kxtrace   (uncompressed copy)\n"
                      "Exit: 0 done, 2 usage, 3 bad trace, 4 cannot write.\n");
}

bool load(const char* path, Trace& trace) {
    std::string error;
    if (!readTraceFile(path, trace, error)) {
        std::fprintf(stderr, "kxtrace: %s\n", error.c_str());
        return false;
    }
    for (const std::string& note : trace.notes)
        std::fprintf(stderr, "kxtrace: note: %s\n", note.c_str());
    return true;
}

int dump(const Trace& trace, long first, long last) {
    size_t end = last >= 0 ? std::min(trace.calls.size(), size_t(last) + 1) : trace.calls.size();
    for (size_t i = size_t(first); i < end; ++i)
        std::printf("%s\n", describeCall(trace, i).c_str());
    return kDone;
}

int info(const Trace& trace, const char* path) {
    uint64_t counts[kEntryCount] = {};
    uint64_t inlineBytes = 0;
    for (const TraceCall& c : trace.calls)
        ++counts[c.entry];
    for (const TraceItem& item : trace.items)
        if (item.kind == kItemInlineContents) inlineBytes += item.dataSize;
    std::printf("%s\n", path);
    std::printf("  recorded by    %s on %s (%u-bit), %s\n",
                traceInfoValue(trace, "program").c_str(), traceInfoValue(trace, "system").c_str(),
                trace.pointerBits, traceInfoValue(trace, "recorder").c_str());
    std::printf("  driver         %s\n", traceInfoValue(trace, "driver").c_str());
    std::printf("  file           %llu bytes, %s; %llu bytes unpacked\n",
                static_cast<unsigned long long>(trace.fileBytes),
                trace.compression == kCompressionNone ? "uncompressed"
                                                      : compressionName(trace.compression),
                static_cast<unsigned long long>(trace.body.size() + kTraceHeaderSize));
    std::printf("  calls          %zu%s\n", trace.calls.size(),
                trace.ended ? "" : " (no end record: the recording stopped early)");
    std::printf("  frames         %llu\n",
                static_cast<unsigned long long>(counts[kEntry_PageFlip]));
    std::printf("  blobs          %llu, %llu bytes (each stored once)\n",
                static_cast<unsigned long long>(trace.blobCount),
                static_cast<unsigned long long>(trace.blobBytes));
    std::printf("  inline data    %llu bytes\n", static_cast<unsigned long long>(inlineBytes));
    std::printf("  calls per entry point:\n");
    for (uint32_t e = 0; e < kEntryCount; ++e)
        if (counts[e])
            std::printf("    %-22s %llu\n", entryInfo(e).name,
                        static_cast<unsigned long long>(counts[e]));
    return kDone;
}

// Writes the trace's records unchanged under a new header and compression.
int copy(const Trace& trace, const char* out, uint32_t compression) {
    TraceWriter w;
    std::string error;
    if (!openTrace(w, out, compression, trace.info, error)) {
        std::fprintf(stderr, "kxtrace: %s\n", error.c_str());
        return kCannotWrite;
    }
    // The information record is written by openTrace; the rest as they are.
    const uint64_t infoRecord = kRecordHeaderSize + trace.info.size();
    const size_t endRecord = trace.ended ? kRecordHeaderSize + 8 : 0;
    const uint8_t* records = trace.body.data() + infoRecord;
    size_t size = trace.body.size() - infoRecord - endRecord;
    const size_t chunk = 4u << 20;
    for (size_t at = 0; at < size; at += chunk) {
        size_t n = std::min(chunk, size - at);
        w.buffer.insert(w.buffer.end(), records + at, records + at + n);
        flushTrace(w);
    }
    w.calls = trace.calls.size();
    const bool failed = w.failed;
    closeTrace(w, trace.ended);
    if (failed || w.failed) {
        std::fprintf(stderr, "kxtrace: cannot write %s\n", out);
        return kCannotWrite;
    }
    std::printf("kxtrace: wrote %s\n", out);
    return kDone;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        usage(stdout);
        return kDone;
    }
    if (argc < 3) {
        usage(stderr);
        return kBadUsage;
    }
    std::string command = argv[1];
    const char* path = argv[2];
    long first = 0, last = -1;
    if (command == "dump" && argc == 5 && !std::strcmp(argv[3], "--calls")) {
        std::string range = argv[4];
        size_t dash = range.find('-');
        char* end = nullptr;
        if (dash == std::string::npos) {
            last = std::strtol(range.c_str(), &end, 10);
        } else {
            first = std::strtol(range.substr(0, dash).c_str(), &end, 10);
            last = std::strtol(range.c_str() + dash + 1, &end, 10);
        }
        if (!end || *end || first < 0 || last < first) {
            std::fprintf(stderr, "kxtrace: bad call range %s\n", argv[4]);
            return kBadUsage;
        }
    } else if (!((command == "dump" || command == "info") && argc == 3) &&
               !((command == "pack" || command == "unpack") && argc == 4)) {
        usage(stderr);
        return kBadUsage;
    }
    if (command == "pack" && !traceCanCompress(kCompressionZstd)) {
        std::fprintf(stderr, "kxtrace: this build cannot compress; pack on Linux\n");
        return kBadUsage;
    }
    Trace trace;
    if (!load(path, trace)) return kBadTrace;
    if (command == "dump") return dump(trace, first, last);
    if (command == "info") return info(trace, path);
    return copy(trace, argv[3], command == "pack" ? kCompressionZstd : kCompressionNone);
}
