// Blocks are mapped once and reused: a fresh mapping for every image would
// be faulted in anew each input, which costs more than the driver's work. A
// buffer starts its block; the rest of the block (at least a guard's worth)
// is poisoned, so a read past the buffer is still reported. Mapped memory is
// neither counted as the input's allocations nor scanned for pointers by the
// leak checker, which would otherwise read every image of the pool.
//
// Source images are filled only when their block does not already hold the
// fill asked for: the driver never writes them, so a block keeps its fill.
#include "fuzz/pooled_buffers.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#if defined(__has_include)
#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#endif
#endif
#ifndef ASAN_POISON_MEMORY_REGION
#define ASAN_POISON_MEMORY_REGION(at, size) ((void)(at), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(at, size) ((void)(at), (void)(size))
#endif

namespace {

constexpr size_t kPage = 4096;
constexpr size_t kGuard = 64;
// Beyond this the pool is given back, so a run of huge images does not keep
// the memory for good.
constexpr size_t kPoolLimit = size_t(256) << 20;

struct Block {
    uint8_t* bytes;
    size_t capacity;
    bool inUse;
    int fill; // the byte the first `filled` bytes hold, or kNoFill
    size_t filled;
};

std::vector<Block> blocks;

// The smallest free block that holds size bytes of the fill, or else the
// smallest free block that is large enough.
Block* freeBlockFor(size_t size, int fill) {
    Block* best = nullptr;
    bool bestFilled = false;
    for (Block& b : blocks) {
        if (b.inUse || b.capacity < size + kGuard) continue;
        bool filled = fill != kNoFill && b.fill == fill && b.filled >= size;
        if (!best || (filled && !bestFilled) ||
            (filled == bestFilled && b.capacity < best->capacity)) {
            best = &b;
            bestFilled = filled;
        }
    }
    if (best) return best;
    size_t capacity = (size + kGuard + kPage - 1) / kPage * kPage;
    void* at = mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (at == MAP_FAILED) std::abort();
    ASAN_POISON_MEMORY_REGION(at, capacity);
    blocks.push_back({static_cast<uint8_t*>(at), capacity, false, kNoFill, 0});
    return &blocks.back();
}

} // namespace

uint8_t* pooledBuffer(size_t size, int fill) {
    size = size ? size : 1;
    Block& b = *freeBlockFor(size, fill);
    b.inUse = true;
    ASAN_UNPOISON_MEMORY_REGION(b.bytes, size);
    if (fill == kNoFill) {
        b.fill = kNoFill;
        b.filled = 0;
    } else if (b.fill != fill || b.filled < size) {
        std::memset(b.bytes, fill, size);
        b.fill = fill;
        b.filled = size;
    }
    return b.bytes;
}

void releasePooledBuffers() {
    size_t total = 0;
    for (Block& b : blocks) {
        if (b.inUse) ASAN_POISON_MEMORY_REGION(b.bytes, b.capacity);
        b.inUse = false;
        total += b.capacity;
    }
    if (total <= kPoolLimit) return;
    for (Block& b : blocks) {
        ASAN_UNPOISON_MEMORY_REGION(b.bytes, b.capacity);
        munmap(b.bytes, b.capacity);
    }
    blocks.clear();
}
