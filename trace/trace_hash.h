// Hashes that name blobs and check records: XXH3 from the xxHash library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>

struct BlobHash {
    uint8_t bytes[16];
    bool operator==(const BlobHash& o) const { return std::memcmp(bytes, o.bytes, 16) == 0; }
    bool operator!=(const BlobHash& o) const { return !(*this == o); }
};

// 128-bit XXH3 of the bytes, stored little-endian (low half first).
BlobHash hashBlob(const void* data, size_t size);
// 128-bit XXH3 of rows of bytes, as if the rows were packed one after another.
BlobHash hashRows(const uint8_t* first, uint32_t rowBytes, uint32_t rows, int64_t pitch);
// The check of a record: the low 32 bits of XXH3-64 of its payload.
uint32_t recordCheck(const void* data, size_t size);

struct BlobHashKey {
    size_t operator()(const BlobHash& h) const {
        size_t v;
        std::memcpy(&v, h.bytes, sizeof v);
        return v;
    }
};
