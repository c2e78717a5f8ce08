#include "trace/trace_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <lz4frame.h>
#include <zstd.h>

namespace {

// zstd is what "kxtrace pack" (and KXTRACE_COMPRESS=zstd) writes: level 3
// packs the demo's trace 5.6 to 1, lz4 3.1 to 1, but lz4 takes the recording
// host less than half the instructions of even zstd's fastest levels, so the
// recorder writes lz4 by default.
constexpr int kZstdLevel = 3;
constexpr size_t kFlushThreshold = 8u << 20;

// Appends without zero-filling first: the recorder writes every byte once.
void append(std::vector<uint8_t>& out, const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    out.insert(out.end(), p, p + size);
}

void appendRecordHeader(std::vector<uint8_t>& out, uint32_t type, size_t size, uint32_t check) {
    uint8_t header[kRecordHeaderSize];
    putU32(header, type);
    putU32(header + 4, uint32_t(size));
    putU32(header + 8, check);
    append(out, header, sizeof header);
}

void appendRecord(TraceWriter& w, uint32_t type, const uint8_t* payload, size_t size,
                  uint32_t check) {
    appendRecordHeader(w.buffer, type, size, check);
    append(w.buffer, payload, size);
}

void writeBytes(TraceWriter& w, const void* data, size_t size) {
    if (w.failed || !size) return;
    if (std::fwrite(data, 1, size, w.file) != size) {
        w.failed = true;
        w.failure = errno;
    }
}

void putRowsHeader(std::vector<uint8_t>& out, uint32_t kind, uint64_t base, const MemoryRows& r) {
    uint8_t p[kMemoryItemFixedSize];
    putU32(p, kind);
    putU64(p + 4, base);
    putU64(p + 12, uint64_t(r.offset));
    putU32(p + 20, r.rowBytes);
    putU32(p + 24, r.rows);
    putU64(p + 28, uint64_t(r.pitch));
    append(out, p, sizeof p);
}

void appendRows(std::vector<uint8_t>& out, const uint8_t* first, const MemoryRows& r) {
    if (int64_t(r.rowBytes) == r.pitch) {
        append(out, first, r.bytes());
        return;
    }
    for (uint32_t i = 0; i < r.rows; ++i)
        append(out, first + int64_t(i) * r.pitch, r.rowBytes);
}

// One lz4 frame of independent blocks, one or more at every flush, so that
// the compressor keeps nothing between flushes; no checksums of lz4's own, as
// every record has its check and every blob its hash. Level -1 is lz4's fast
// mode at acceleration 2, level 0 at acceleration 1. The 64-bit builds take
// -1: it costs the recording host least. The 32-bit build's lz4 hashes 4
// bytes where the 64-bit one hashes 5, and at acceleration 2 packed the
// 120-frame demo's trace 11 % larger than Linux did (4,361,963 bytes against
// 3,931,494), so it takes 0, which brings the gap down to 9 %. Blocks of
// 256 KiB pack the demo's trace as well as blocks of 4 MiB did (64 KiB: a
// tenth larger), and spare every reader two buffers of the block size per
// trace.
LZ4F_preferences_t lz4Preferences() {
    LZ4F_preferences_t p = {};
    p.frameInfo.blockSizeID = LZ4F_max256KB;
    p.frameInfo.blockMode = LZ4F_blockIndependent;
    p.compressionLevel = sizeof(void*) == 4 ? 0 : -1;
    p.autoFlush = 1;
    return p;
}

bool startPacking(TraceWriter& w) {
    if (w.compression == kCompressionZstd) {
        ZSTD_CCtx* c = ZSTD_createCCtx();
        w.packer = c;
        return c && !ZSTD_isError(ZSTD_CCtx_setParameter(c, ZSTD_c_compressionLevel, kZstdLevel)) &&
               !ZSTD_isError(ZSTD_CCtx_setParameter(c, ZSTD_c_checksumFlag, 1));
    }
    LZ4F_cctx* c = nullptr;
    if (LZ4F_isError(LZ4F_createCompressionContext(&c, LZ4F_VERSION))) return false;
    w.packer = c;
    const LZ4F_preferences_t p = lz4Preferences();
    w.packed.resize(LZ4F_HEADER_SIZE_MAX);
    size_t n = LZ4F_compressBegin(c, w.packed.data(), w.packed.size(), &p);
    if (LZ4F_isError(n)) return false;
    writeBytes(w, w.packed.data(), n);
    return true;
}

// Compresses `size` bytes and writes them; with `end` the stream is closed.
void pack(TraceWriter& w, const uint8_t* data, size_t size, bool end) {
    if (w.compression == kCompressionZstd) {
        ZSTD_inBuffer in = {data, size, 0};
        w.packed.resize(ZSTD_CStreamOutSize());
        size_t left;
        do {
            ZSTD_outBuffer out = {w.packed.data(), w.packed.size(), 0};
            left = ZSTD_compressStream2(static_cast<ZSTD_CCtx*>(w.packer), &out, &in,
                                        end ? ZSTD_e_end : ZSTD_e_flush);
            if (ZSTD_isError(left)) {
                w.failed = true;
                return;
            }
            writeBytes(w, w.packed.data(), out.pos);
        } while (left != 0 || in.pos < in.size);
        return;
    }
    LZ4F_cctx* c = static_cast<LZ4F_cctx*>(w.packer);
    const LZ4F_preferences_t p = lz4Preferences();
    // A block's worth at a time, so that the output buffer stays one block
    // long however large a blob the buffer holds.
    const size_t piece = size_t(256) << 10;
    if (w.packed.size() < LZ4F_compressBound(piece, &p))
        w.packed.resize(LZ4F_compressBound(piece, &p));
    for (size_t at = 0; at < size; at += piece) {
        const size_t n = LZ4F_compressUpdate(c, w.packed.data(), w.packed.size(), data + at,
                                             std::min(piece, size - at), nullptr);
        if (LZ4F_isError(n)) {
            w.failed = true;
            return;
        }
        writeBytes(w, w.packed.data(), n);
    }
    if (!end) return;
    const size_t n = LZ4F_compressEnd(c, w.packed.data(), w.packed.size(), nullptr);
    if (LZ4F_isError(n))
        w.failed = true;
    else
        writeBytes(w, w.packed.data(), n);
}

void freePacker(TraceWriter& w) {
    if (w.compression == kCompressionZstd)
        ZSTD_freeCCtx(static_cast<ZSTD_CCtx*>(w.packer));
    else if (w.packer)
        LZ4F_freeCompressionContext(static_cast<LZ4F_cctx*>(w.packer));
    w.packer = nullptr;
}

// Writes what is buffered; with `end` the compressed stream is closed.
void writeOut(TraceWriter& w, bool end) {
    if (w.packer && !w.failed)
        pack(w, w.buffer.data(), w.buffer.size(), end);
    else
        writeBytes(w, w.buffer.data(), w.buffer.size());
    w.buffer.clear();
    if (!w.failed && std::fflush(w.file) != 0) {
        w.failed = true;
        w.failure = errno;
    }
}

void closeFile(TraceWriter& w, bool end) {
    writeOut(w, end);
    freePacker(w);
    std::fclose(w.file);
    w.file = nullptr;
}

} // namespace

bool openTrace(TraceWriter& w, const std::string& path, uint32_t compression,
               const std::string& info, std::string& error) {
    if (!compressionName(compression)) {
        error = "unknown compression " + std::to_string(compression);
        return false;
    }
    w.file = std::fopen(path.c_str(), "wb");
    if (!w.file) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    w.compression = compression;
    uint8_t header[kTraceHeaderSize] = {};
    std::memcpy(header, kTraceMagic, 8);
    putU32(header + 8, kTraceVersion);
    putU32(header + 12, kTraceHeaderSize);
    putU32(header + 16, compression);
    putU32(header + 20, uint32_t(sizeof(void*) * 8));
    writeBytes(w, header, sizeof header);
    if (compression != kCompressionNone && !startPacking(w)) {
        freePacker(w);
        w.failed = true;
    }
    std::string text = info.substr(0, kMaxInfoBytes);
    const uint8_t* p = reinterpret_cast<const uint8_t*>(text.data());
    appendRecord(w, kRecordInfo, p, text.size(), recordCheck(p, text.size()));
    flushTrace(w);
    if (w.failed) {
        abandonTrace(w);
        error = "cannot write " + path;
        return false;
    }
    return true;
}

void flushTrace(TraceWriter& w) {
    if (w.file) writeOut(w, false);
}

void abandonTrace(TraceWriter& w) {
    if (w.file) closeFile(w, false);
}

void closeTrace(TraceWriter& w, bool endRecord) {
    if (!w.file) return;
    if (endRecord) {
        uint8_t payload[8];
        putU64(payload, w.calls);
        appendRecord(w, kRecordEnd, payload, 8, recordCheck(payload, 8));
    }
    closeFile(w, true);
}

void startCall(CallBuilder& call, uint32_t entry) {
    call.entry = entry;
    call.argCount = 0;
    call.result = 0;
    call.itemCount = 0;
    call.items.clear();
}

void addArg(CallBuilder& call, uint64_t value) {
    if (call.argCount < kMaxArgs) call.args[call.argCount++] = value;
}

void addContents(TraceWriter& w, CallBuilder& call, uint64_t base, const uint8_t* pointer,
                 const MemoryRows& rows) {
    if (rows.empty() || !pointer || rows.bytes() > kMaxBlobBytes) return;
    const uint8_t* first = pointer + rows.offset;
    ++call.itemCount;
    if (rows.bytes() <= kInlineLimit) {
        putRowsHeader(call.items, kItemInlineContents, base, rows);
        appendRows(call.items, first, rows);
        return;
    }
    BlobHash hash = hashRows(first, rows.rowBytes, rows.rows, rows.pitch);
    putRowsHeader(call.items, kItemBlobContents, base, rows);
    call.items.insert(call.items.end(), hash.bytes, hash.bytes + 16);
    if (!w.stored.insert(hash).second) return;
    // A new blob: its record goes before the call that refers to it.
    appendRecordHeader(w.buffer, kRecordBlob, 16 + rows.bytes(), recordCheck(hash.bytes, 16));
    append(w.buffer, hash.bytes, 16);
    appendRows(w.buffer, first, rows);
    w.blobBytes += rows.bytes();
    if (w.buffer.size() > kFlushThreshold) flushTrace(w);
}

void addReadBack(CallBuilder& call, uint64_t base, const uint8_t* pointer, const MemoryRows& rows) {
    if (rows.empty() || !pointer) return;
    BlobHash hash = hashRows(pointer + rows.offset, rows.rowBytes, rows.rows, rows.pitch);
    ++call.itemCount;
    putRowsHeader(call.items, kItemReadBack, base, rows);
    call.items.insert(call.items.end(), hash.bytes, hash.bytes + 16);
}

void addResultData(CallBuilder& call, const void* data, uint32_t size) {
    if (!data || size > kMaxResultDataBytes) return;
    ++call.itemCount;
    uint8_t header[8];
    putU32(header, kItemResultData);
    putU32(header + 4, size);
    append(call.items, header, sizeof header);
    append(call.items, data, size);
}

void finishCall(TraceWriter& w, CallBuilder& call) {
    if (!w.file) return;
    // Header, entry, argument count, arguments, result and item count, then
    // the items; the check covers everything after the header.
    uint8_t fixed[kRecordHeaderSize + 8 + 8 * kMaxArgs + 12];
    uint8_t* p = fixed + kRecordHeaderSize;
    putU32(p, call.entry);
    putU32(p + 4, uint32_t(call.argCount));
    p += 8;
    for (int i = 0; i < call.argCount; ++i, p += 8)
        putU64(p, call.args[i]);
    putU64(p, call.result);
    putU32(p + 8, call.itemCount);
    p += 12;
    const size_t fixedSize = size_t(p - fixed) - kRecordHeaderSize;
    const size_t size = fixedSize + call.items.size();
    const size_t at = w.buffer.size();
    append(w.buffer, fixed, size_t(p - fixed));
    append(w.buffer, call.items.data(), call.items.size());
    uint8_t* header = w.buffer.data() + at;
    putU32(header, kRecordCall);
    putU32(header + 4, uint32_t(size));
    putU32(header + 8, recordCheck(header + kRecordHeaderSize, size));
    ++w.calls;
    if (w.buffer.size() > kFlushThreshold) flushTrace(w);
}
