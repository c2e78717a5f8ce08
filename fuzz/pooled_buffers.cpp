// Blocks are mapped once and reused: a fresh mapping for every image would
// be faulted in anew each input, which costs more than the driver's work. A
// buffer starts its block; the rest of the block (at least a guard's worth)
// is poisoned, so a read past the buffer is still reported. Mapped memory is
// neither counted as the input's allocations nor scanned for pointers by the
// leak checker, which would otherwise read every image of the pool.
//
// Block sizes come in classes (four per doubling), so that a block serves
// buffers of neighbouring sizes and the pool stops growing once it holds
// what inputs ask for. Free blocks are listed by class; an input's blocks go
// back at its end, and only the bytes it used are poisoned again.
//
// Source images are filled only when their block does not already hold the
// fill asked for: the driver never writes them, so a block keeps its fill.
#include "fuzz/pooled_buffers.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <list>
#include <map>
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
// Beyond this the blocks unused for longest are given back, so a run of huge
// images does not keep the memory for good.
constexpr size_t kPoolLimit = size_t(256) << 20;
// Classes a request may take a block from above its own: at most twice the
// memory it needs.
constexpr int kLargerClasses = 4;

struct Block {
    uint8_t* bytes;
    size_t capacity;
    size_t used; // bytes unpoisoned for the current input
    int fill;    // the byte the first `filled` bytes hold, or kNoFill
    size_t filled;
    unsigned long lastInput;
};

std::list<Block> blocks;                          // until given back; the lists hold pointers
std::map<size_t, std::vector<Block*>> freeBlocks; // by capacity
std::vector<Block*> inUse;
unsigned long inputNumber = 0;
size_t mapped = 0;

// Pages up to 64 KiB, then four classes per doubling.
size_t capacityFor(size_t bytes) {
    size_t pages = (bytes + kPage - 1) / kPage * kPage;
    if (pages <= 16 * kPage) return pages;
    size_t step = size_t(1) << (63 - __builtin_clzll(pages)) >> 2;
    return (pages + step - 1) / step * step;
}

Block* mapBlock(size_t capacity) {
    // Populated at once: faulting the pages in one at a time costs more.
    void* at = mmap(nullptr, capacity, PROT_READ | PROT_WRITE,
                    MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (at == MAP_FAILED) std::abort();
    ASAN_POISON_MEMORY_REGION(at, capacity);
    mapped += capacity;
    blocks.push_back({static_cast<uint8_t*>(at), capacity, 0, kNoFill, 0, 0});
    return &blocks.back();
}

// A free block that holds the fill already, else one of the smallest class
// that has one; a new block when none is near the size.
Block* takeBlock(size_t size, int fill) {
    const size_t bytes = size + kGuard;
    const auto first = freeBlocks.lower_bound(capacityFor(bytes));
    std::vector<Block*>* from = nullptr;
    size_t pick = 0;
    auto it = first;
    for (int classes = 0; it != freeBlocks.end() && classes <= kLargerClasses; ++it, ++classes) {
        std::vector<Block*>& list = it->second;
        if (!from && !list.empty()) from = &list, pick = list.size() - 1;
        if (fill == kNoFill) continue;
        auto filled = std::find_if(list.begin(), list.end(), [&](const Block* b) {
            return b->fill == fill && b->filled >= size;
        });
        if (filled != list.end()) {
            from = &list, pick = size_t(filled - list.begin());
            break;
        }
    }
    if (!from) return mapBlock(capacityFor(bytes));
    Block* block = (*from)[pick];
    (*from)[pick] = from->back();
    from->pop_back();
    return block;
}

// At the end of an input, when every block is free: gives back the blocks
// unused for longest until the pool is well inside its limit.
void trimPool() {
    std::vector<std::list<Block>::iterator> idle;
    for (auto it = blocks.begin(); it != blocks.end(); ++it)
        idle.push_back(it);
    std::sort(idle.begin(), idle.end(), [](auto a, auto b) { return a->lastInput < b->lastInput; });
    for (auto block : idle) {
        if (mapped <= kPoolLimit / 4 * 3) break;
        std::vector<Block*>& list = freeBlocks[block->capacity];
        list.erase(std::find(list.begin(), list.end(), &*block));
        ASAN_UNPOISON_MEMORY_REGION(block->bytes, block->capacity);
        munmap(block->bytes, block->capacity);
        mapped -= block->capacity;
        blocks.erase(block);
    }
}

} // namespace

uint8_t* pooledBuffer(size_t size, int fill) {
    size = size ? size : 1;
    Block& b = *takeBlock(size, fill);
    inUse.push_back(&b);
    b.used = size;
    b.lastInput = inputNumber;
    ASAN_UNPOISON_MEMORY_REGION(b.bytes, size);
    if (fill == kNoFill) {
        b.fill = kNoFill;
        b.filled = 0;
    } else if (b.fill != fill || b.filled < size) {
        size_t from = b.fill == fill ? b.filled : 0;
        std::memset(b.bytes + from, fill, size - from);
        b.fill = fill;
        b.filled = size;
    }
    return b.bytes;
}

void releasePooledBuffers() {
    for (Block* b : inUse) {
        ASAN_POISON_MEMORY_REGION(b->bytes, b->used);
        freeBlocks[b->capacity].push_back(b);
    }
    inUse.clear();
    ++inputNumber;
    if (mapped > kPoolLimit) trimPool();
}
