#include "trace/trace_reader.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>

#include <lz4frame.h>
#include <zstd.h>

namespace {

// The MinGW builds format with their own C99 printf (gnu_printf).
#if defined(__MINGW32__)
#define KX_PRINTF_FORMAT gnu_printf
#else
#define KX_PRINTF_FORMAT printf
#endif
std::string format(const char* fmt, ...) __attribute__((format(KX_PRINTF_FORMAT, 1, 2)));
std::string format(const char* fmt, ...) {
    char text[512];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    return text;
}

std::string hex(const BlobHash& h) {
    std::string s;
    char b[3];
    for (uint8_t v : h.bytes) {
        std::snprintf(b, sizeof b, "%02x", v);
        s += b;
    }
    return s;
}

const char* recordName(uint32_t type) {
    switch (type) {
    case kRecordInfo:
        return "information record";
    case kRecordBlob:
        return "blob record";
    case kRecordCall:
        return "call record";
    case kRecordEnd:
        return "end record";
    default:
        return "record";
    }
}

struct BlobRef {
    const uint8_t* data;
    uint64_t size;
};
using BlobMap = std::unordered_map<BlobHash, BlobRef, BlobHashKey>;

// Reads a call's payload; `where` prefixes every message.
bool parseCall(const uint8_t* p, uint64_t size, uint64_t offset, const BlobMap& blobs, Trace& trace,
               std::string& error) {
    auto fail = [&](const std::string& what) {
        error = format("offset %" PRIu64 " (call %zu): ", offset, trace.calls.size()) + what;
        return false;
    };
    const uint8_t* end = p + size;
    if (size < 8) return fail("call record too short for its entry point and argument count");
    TraceCall call;
    call.offset = offset;
    call.entry = getU32(p);
    uint32_t argCount = getU32(p + 4);
    p += 8;
    if (call.entry >= kEntryCount) return fail(format("unknown entry point %u", call.entry));
    const EntryInfo& info = entryInfo(call.entry);
    if (argCount != uint32_t(info.argCount))
        return fail(format("%s takes %d arguments, the record gives %u", info.name, info.argCount,
                           argCount));
    if (uint64_t(end - p) < 8ull * argCount + 12)
        return fail(format("%s record too short for its arguments and result", info.name));
    for (uint32_t i = 0; i < argCount; ++i, p += 8)
        call.args[i] = getU64(p);
    call.result = getU64(p);
    uint32_t itemCount = getU32(p + 8);
    p += 12;
    if (itemCount > kMaxItemsPerCall || itemCount > uint64_t(end - p) / 8)
        return fail(format("%s: absurd item count %u", info.name, itemCount));
    call.firstItem = uint32_t(trace.items.size());
    call.itemCount = itemCount;
    for (uint32_t n = 0; n < itemCount; ++n) {
        TraceItem item;
        if (end - p < 8) return fail(format("%s: item %u is cut short", info.name, n));
        item.kind = getU32(p);
        if (item.kind == kItemResultData) {
            item.dataSize = getU32(p + 4);
            if (item.dataSize > kMaxResultDataBytes || item.dataSize > uint64_t(end - p - 8))
                return fail(format("%s: absurd result data size %u", info.name, item.dataSize));
            item.data = p + 8;
            p += 8 + item.dataSize;
            trace.items.push_back(item);
            continue;
        }
        if (item.kind != kItemBlobContents && item.kind != kItemInlineContents &&
            item.kind != kItemReadBack)
            return fail(format("%s: item %u has unknown kind %u", info.name, n, item.kind));
        if (uint64_t(end - p) < kMemoryItemFixedSize)
            return fail(format("%s: item %u is cut short", info.name, n));
        item.base = getU64(p + 4);
        item.rows.offset = int64_t(getU64(p + 12));
        item.rows.rowBytes = getU32(p + 20);
        item.rows.rows = getU32(p + 24);
        item.rows.pitch = int64_t(getU64(p + 28));
        p += kMemoryItemFixedSize;
        const MemoryRows& r = item.rows;
        // Spans far beyond what one pointer reaches are corrupt, and would
        // overflow the arithmetic of whoever places them.
        const int64_t reach = int64_t(kMaxRegionBytes);
        if (r.empty() || r.bytes() > kMaxRegionBytes || r.offset < -reach || r.offset > reach ||
            r.pitch < -reach || r.pitch > reach || r.low() < -reach || r.high() > reach)
            return fail(format("%s: absurd memory rows (%u rows of %u bytes, pitch %" PRId64
                               ", offset %" PRId64 ")",
                               info.name, r.rows, r.rowBytes, r.pitch, r.offset));
        if (item.kind == kItemInlineContents) {
            if (r.bytes() > uint64_t(end - p))
                return fail(format("%s: inline contents of %" PRIu64 " bytes are cut short",
                                   info.name, r.bytes()));
            item.data = p;
            item.dataSize = uint32_t(r.bytes());
            p += r.bytes();
        } else {
            if (end - p < 16) return fail(format("%s: item %u is cut short", info.name, n));
            std::memcpy(item.hash.bytes, p, 16);
            p += 16;
            if (item.kind == kItemBlobContents) {
                auto found = blobs.find(item.hash);
                if (found == blobs.end())
                    return fail(format("%s: blob %s is missing (no blob record before the call)",
                                       info.name, hex(item.hash).c_str()));
                if (found->second.size != r.bytes())
                    return fail(
                        format("%s: blob %s holds %" PRIu64 " bytes, the call reads %" PRIu64,
                               info.name, hex(item.hash).c_str(), found->second.size, r.bytes()));
                item.data = found->second.data;
                item.dataSize = uint32_t(r.bytes());
            }
        }
        trace.items.push_back(item);
    }
    if (p != end)
        return fail(
            format("%s: %zu bytes left over after the last item", info.name, size_t(end - p)));
    trace.calls.push_back(call);
    return true;
}

bool parseRecords(Trace& trace, std::string& error, bool verifyChecks) {
    const uint8_t* body = trace.body.data();
    const uint64_t size = trace.body.size();
    BlobMap blobs;
    uint64_t at = 0;
    bool first = true;
    while (at < size) {
        // Offsets are counted as in the unpacked file: header included.
        const uint64_t offset = kTraceHeaderSize + at;
        if (trace.ended) {
            error = format("offset %" PRIu64 ": records after the end record", offset);
            return false;
        }
        if (size - at < kRecordHeaderSize) {
            error =
                format("offset %" PRIu64
                       ": truncated: the record header is cut short after %" PRIu64 " of %u bytes",
                       offset, size - at, kRecordHeaderSize);
            return false;
        }
        const uint32_t type = getU32(body + at);
        const uint64_t length = getU32(body + at + 4);
        const uint32_t check = getU32(body + at + 8);
        const uint8_t* payload = body + at + kRecordHeaderSize;
        if (type < kRecordInfo || type > kRecordEnd) {
            error = format("offset %" PRIu64 ": corrupted record: unknown record type %u", offset,
                           type);
            return false;
        }
        const uint64_t limit = type == kRecordBlob   ? 16 + kMaxBlobBytes
                               : type == kRecordCall ? kMaxCallBytes
                               : type == kRecordInfo ? kMaxInfoBytes
                                                     : 8;
        if (length > limit || (type == kRecordEnd && length != 8) ||
            (type == kRecordBlob && length < 16)) {
            error = format("offset %" PRIu64 ": %s of absurd size %" PRIu64 " bytes", offset,
                           recordName(type), length);
            return false;
        }
        if (length > size - at - kRecordHeaderSize) {
            error = format("offset %" PRIu64 ": truncated: the %s claims %" PRIu64
                           " bytes, only %" PRIu64 " follow",
                           offset, recordName(type), length, size - at - kRecordHeaderSize);
            return false;
        }
        const uint64_t checked = type == kRecordBlob ? 16 : length;
        if (verifyChecks && recordCheck(payload, checked) != check) {
            error = format("offset %" PRIu64 ": corrupted %s: its check does not match its bytes",
                           offset, recordName(type));
            return false;
        }
        if (first && type != kRecordInfo) {
            error =
                format("offset %" PRIu64 ": the first record is a %s, not the information record",
                       offset, recordName(type));
            return false;
        }
        first = false;
        switch (type) {
        case kRecordInfo:
            trace.info.assign(reinterpret_cast<const char*>(payload), length);
            break;
        case kRecordBlob: {
            BlobHash hash;
            std::memcpy(hash.bytes, payload, 16);
            if (verifyChecks && hashBlob(payload + 16, length - 16) != hash) {
                error = format("offset %" PRIu64
                               ": corrupted blob record: its bytes do not have the hash it names",
                               offset);
                return false;
            }
            if (blobs.emplace(hash, BlobRef{payload + 16, length - 16}).second) {
                ++trace.blobCount;
                trace.blobBytes += length - 16;
            }
            break;
        }
        case kRecordCall:
            if (!parseCall(payload, length, offset, blobs, trace, error)) return false;
            break;
        case kRecordEnd:
            trace.ended = true;
            if (getU64(payload) != trace.calls.size()) {
                error = format("offset %" PRIu64 ": the end record counts %" PRIu64
                               " calls, the trace holds %zu",
                               offset, getU64(payload), trace.calls.size());
                return false;
            }
            break;
        }
        at += kRecordHeaderSize + length;
    }
    if (first) {
        error = format("offset %u: the trace holds no records", kTraceHeaderSize);
        return false;
    }
    if (!trace.ended)
        trace.notes.push_back(format("the trace has no end record: the recording stopped early "
                                     "(did the host crash?); its %zu complete calls are read",
                                     trace.calls.size()));
    return true;
}

// Room for up to `chunk` more unpacked bytes, within the reader's limit;
// `chunk` becomes the room given. Only a body already at the limit that
// needs more is refused.
bool growBody(Trace& trace, size_t& chunk, size_t fileOffset, std::string& error,
              const TraceLimits& limits) {
    const uint64_t size = trace.body.size();
    const uint64_t room = limits.maxBodyBytes > size ? limits.maxBodyBytes - size : 0;
    if (room == 0) {
        error = format("offset %zu of the file: the unpacked trace passes %" PRIu64
                       " bytes, more than this reader holds",
                       fileOffset, limits.maxBodyBytes);
        return false;
    }
    chunk = size_t(std::min<uint64_t>(chunk, room));
    trace.body.resize(trace.body.size() + chunk);
    return true;
}

const char* kCutShort = "the compressed data stops inside a frame: the file was cut short";

bool unpackZstd(const uint8_t* data, size_t size, Trace& trace, std::string& error,
                const TraceLimits& limits) {
    ZSTD_DCtx* d = ZSTD_createDCtx();
    ZSTD_inBuffer in = {data, size, 0};
    bool ok = true, complete = false;
    for (;;) {
        size_t chunk = ZSTD_DStreamOutSize();
        const size_t at = trace.body.size(), taken = in.pos;
        if (!growBody(trace, chunk, kTraceHeaderSize + in.pos, error, limits)) {
            ok = false;
            break;
        }
        ZSTD_outBuffer out = {trace.body.data() + at, chunk, 0};
        const size_t hint = ZSTD_decompressStream(d, &out, &in);
        trace.body.resize(at + out.pos);
        if (ZSTD_isError(hint)) {
            error = format("offset %zu of the file: corrupted compressed data: %s",
                           kTraceHeaderSize + in.pos, ZSTD_getErrorName(hint));
            ok = false;
            break;
        }
        // 0: a frame ended and everything is out; more frames may follow.
        if (hint == 0 && in.pos == in.size) {
            complete = true;
            break;
        }
        if (out.pos == 0 && in.pos == taken) break; // input used up inside a frame
    }
    ZSTD_freeDCtx(d);
    if (ok && !complete) trace.notes.push_back(kCutShort);
    return ok;
}

bool unpackLz4(const uint8_t* data, size_t size, Trace& trace, std::string& error,
               const TraceLimits& limits) {
    LZ4F_dctx* d = nullptr;
    if (LZ4F_isError(LZ4F_createDecompressionContext(&d, LZ4F_VERSION))) {
        error = "out of memory for the lz4 decoder";
        return false;
    }
    size_t pos = 0, hint = 1;
    bool ok = true;
    for (;;) {
        // Room grows with the body (zero-filled, so not a megabyte for a
        // trace of a few kilobytes).
        size_t chunk = std::clamp<size_t>(trace.body.size(), 64u << 10, 1u << 20);
        const size_t at = trace.body.size();
        if (!growBody(trace, chunk, kTraceHeaderSize + pos, error, limits)) {
            ok = false;
            break;
        }
        size_t outSize = chunk, inSize = size - pos;
        hint = LZ4F_decompress(d, trace.body.data() + at, &outSize, data + pos, &inSize, nullptr);
        trace.body.resize(at + outSize);
        if (LZ4F_isError(hint)) {
            error = format("offset %zu of the file: corrupted compressed data: %s",
                           kTraceHeaderSize + pos, LZ4F_getErrorName(hint));
            ok = false;
            break;
        }
        pos += inSize;
        // 0: a frame ended and everything is out; more frames may follow.
        if (hint == 0 && pos == size) break;
        if (outSize == 0 && inSize == 0) break; // input used up inside a frame
    }
    LZ4F_freeDecompressionContext(d);
    if (ok && hint != 0) trace.notes.push_back(kCutShort);
    return ok;
}

bool unpackBody(const uint8_t* data, size_t size, Trace& trace, std::string& error,
                const TraceLimits& limits) {
    if (trace.compression == kCompressionZstd) return unpackZstd(data, size, trace, error, limits);
    return unpackLz4(data, size, trace, error, limits);
}

} // namespace

bool readTraceBytes(const uint8_t* data, size_t size, Trace& trace, std::string& error,
                    const TraceLimits& limits) {
    trace = Trace{};
    trace.fileBytes = size;
    if (size < 16 || std::memcmp(data, kTraceMagic, 8) != 0) {
        error = "offset 0: not a trace: the file does not start with \"KXTRACE\"";
        return false;
    }
    trace.version = getU32(data + 8);
    const uint32_t headerSize = getU32(data + 12);
    if (trace.version != kTraceVersion) {
        error = format("offset 8: wrong version: the trace is version %u, this reader reads "
                       "version %u",
                       trace.version, kTraceVersion);
        return false;
    }
    if (headerSize != kTraceHeaderSize || size < kTraceHeaderSize) {
        error = format("offset 12: corrupted header: header size %u (expected %u, file %zu bytes)",
                       headerSize, kTraceHeaderSize, size);
        return false;
    }
    trace.compression = getU32(data + 16);
    trace.pointerBits = getU32(data + 20);
    if (trace.pointerBits != 32 && trace.pointerBits != 64) {
        error = format("offset 20: corrupted header: %u-bit pointers", trace.pointerBits);
        return false;
    }
    const uint8_t* body = data + kTraceHeaderSize;
    const size_t bodySize = size - kTraceHeaderSize;
    if (trace.compression == kCompressionNone) {
        if (bodySize > limits.maxBodyBytes) {
            error = "the trace is larger than this reader holds";
            return false;
        }
        trace.body.assign(body, body + bodySize);
    } else if (compressionName(trace.compression)) {
        if (!unpackBody(body, bodySize, trace, error, limits)) return false;
    } else {
        error = format("offset 16: corrupted header: unknown compression %u", trace.compression);
        return false;
    }
    return parseRecords(trace, error, limits.verifyChecks);
}

bool readTraceFile(const std::string& path, Trace& trace, std::string& error,
                   const TraceLimits& limits) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    if (!readTraceBytes(bytes.data(), bytes.size(), trace, error, limits)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

std::string traceInfoValue(const Trace& trace, const std::string& key) {
    size_t at = 0;
    while (at < trace.info.size()) {
        size_t end = trace.info.find('\n', at);
        if (end == std::string::npos) end = trace.info.size();
        if (trace.info.compare(at, key.size() + 1, key + "=") == 0)
            return trace.info.substr(at + key.size() + 1, end - at - key.size() - 1);
        at = end + 1;
    }
    return "";
}
