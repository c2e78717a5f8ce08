#include "trace/trace_hash.h"

#include "trace/trace_format.h"

// Header-only use of the library, so that the Windows recorder, which must
// import nothing but system DLLs, hashes with the same code. (The library's
// run-time dispatch picks AVX-512 here, which slowed the whole demo down by
// a third while recording: the SSE2 code is the one to use.)
#define XXH_INLINE_ALL
#include <xxhash.h>

BlobHash hashBlob(const void* data, size_t size) {
    XXH128_hash_t h = XXH3_128bits(data, size);
    BlobHash out;
    putU64(out.bytes, h.low64);
    putU64(out.bytes + 8, h.high64);
    return out;
}

BlobHash hashRows(const uint8_t* first, uint32_t rowBytes, uint32_t rows, int64_t pitch) {
    if (rows == 1 || int64_t(rowBytes) == pitch) return hashBlob(first, size_t(rowBytes) * rows);
    XXH3_state_t state;
    XXH3_128bits_reset(&state);
    for (uint32_t r = 0; r < rows; ++r)
        XXH3_128bits_update(&state, first + int64_t(r) * pitch, rowBytes);
    XXH128_hash_t h = XXH3_128bits_digest(&state);
    BlobHash out;
    putU64(out.bytes, h.low64);
    putU64(out.bytes + 8, h.high64);
    return out;
}

uint32_t recordCheck(const void* data, size_t size) {
    return uint32_t(XXH3_64bits(data, size));
}
