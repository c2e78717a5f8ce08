// The stand-in's video memory: the pool of released chains' blocks and the
// guards before each block's rows.
#include "platform/posix/video_memory_pool.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define KX_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KX_ASAN 1
#endif
#endif
#if KX_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace {

constexpr int kHeight = kSurfaceHeight;
uint32_t garbageSeed = 0x2545F491u;

void fillBytes(uint8_t* bytes, size_t count) {
    // A pool of leftovers made once, copied in from a different place each
    // time: surfaces are made and restored often (every start, every fuzz
    // input), and drawing fresh random words for each cost most of a run.
    static uint16_t pool[4099];
    static bool poolMade = false;
    if (!poolMade) {
        for (uint16_t& word : pool) {
            garbageSeed ^= garbageSeed << 13;
            garbageSeed ^= garbageSeed >> 17;
            garbageSeed ^= garbageSeed << 5;
            word = static_cast<uint16_t>(garbageSeed) | 0x0421;
        }
        poolMade = true;
    }
    const size_t words = count / 2;
    size_t start = (garbageSeed += 0x9E3779B9u) % 4096;
    for (size_t done = 0; done < words;) {
        const size_t run = std::min(words - done, sizeof pool / 2 - start);
        std::memcpy(bytes + 2 * done, pool + start, 2 * run);
        done += run;
        start = 0;
    }
}

// Memory of released chains, handed to the next chain as video memory is:
// leftovers and all. Reusing it also spares a fresh mapping and its page
// faults per start, so every block holds at least a chain of the default
// pitch and any block large enough serves. Under AddressSanitizer pooled
// memory is poisoned, and so is what a chain of a smaller pitch leaves of a
// block, so a write through an address of a released chain or past the
// chain's memory is still caught.
constexpr size_t kSlack = 32; // room for the alignment and the offset of the rows
constexpr size_t kPooledBlocks = 6;
constexpr size_t kSmallestBlock = size_t{1536} * kHeight + kSlack;
std::vector<PixelBlock> freeVideoMemory; // oldest first

size_t bytesFor(int pitch) {
    return rowSpan(pitch) * kHeight + kSlack;
}

// The bytes between a block's start and its rows (alignment and offset) are
// the surface's guard: a driver that writes there wrote outside the surface.
// Under AddressSanitizer every 8-byte granule of them that holds no byte of
// the rows is poisoned and caught at the write; a granule shares its start
// with the rows' first bytes only as a whole, so those few bytes hold a
// pattern that the stand-in checks at every call on the chain.
constexpr uint8_t kGuardByte = 0xC3;
int strayWrites = 0;

uint8_t* guardStart(const PixelBlock& block) {
#if KX_ASAN
    const auto granule = reinterpret_cast<uintptr_t>(block.base) & ~uintptr_t{7};
    return std::max(block.storage.get(), reinterpret_cast<uint8_t*>(granule));
#else
    return block.storage.get();
#endif
}

void poison(const PixelBlock& block, bool poisoned) {
#if KX_ASAN
    __asan_poison_memory_region(block.storage.get(), block.capacity);
    if (!poisoned) __asan_unpoison_memory_region(block.base, rowSpan(block.pitch) * kHeight);
#else
    (void)block;
    (void)poisoned;
#endif
}

void armGuard(const PixelBlock& block) {
    uint8_t* first = guardStart(block);
    std::memset(first, kGuardByte, static_cast<size_t>(block.base - first));
}

} // namespace

void checkGuard(const PixelBlock& block) {
    for (const uint8_t* at = guardStart(block); at < block.base; ++at) {
        if (*at == kGuardByte) continue;
        ++strayWrites;
        std::fprintf(stderr,
                     "DirectDraw stand-in: a write outside a surface, %d byte(s) before its rows\n",
                     static_cast<int>(block.base - at));
        armGuard(block);
        return;
    }
}

int strayWriteCount() {
    return strayWrites;
}

size_t rowSpan(int pitch) {
    const size_t size = pitch < 0 ? 0 - static_cast<size_t>(pitch) : static_cast<size_t>(pitch);
    return std::max(size, size_t{2} * kSurfaceWidth);
}

void fillGarbage(const PixelBlock& block) {
    fillBytes(block.base, rowSpan(block.pitch) * kHeight);
}

PixelBlock takeVideoMemory(int pitch, int offset, bool leftovers) {
    const size_t bytes = bytesFor(pitch);
    size_t best = freeVideoMemory.size();
    for (size_t i = 0; i < freeVideoMemory.size(); ++i)
        if (freeVideoMemory[i].capacity >= bytes &&
            (best == freeVideoMemory.size() ||
             freeVideoMemory[i].capacity < freeVideoMemory[best].capacity))
            best = i;
    PixelBlock block;
    bool fresh = best == freeVideoMemory.size();
    if (fresh) {
        block.capacity = std::max(bytes, kSmallestBlock);
        block.storage.reset(new uint8_t[block.capacity]);
    } else {
        block = std::move(freeVideoMemory[best]);
        freeVideoMemory.erase(freeVideoMemory.begin() + static_cast<long>(best));
    }
    block.pitch = pitch;
    const auto start = reinterpret_cast<uintptr_t>(block.storage.get());
    block.base = block.storage.get() + ((16 - start % 16) % 16) + offset;
    block.pixels = block.base + (pitch < 0 ? rowSpan(pitch) * (kHeight - 1) : 0);
    poison(block, false);
    armGuard(block);
    if (fresh || leftovers) fillGarbage(block);
    return block;
}

void poolVideoMemory(PixelBlock* blocks, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        poison(blocks[i], true);
        freeVideoMemory.push_back(std::move(blocks[i]));
    }
    if (freeVideoMemory.size() > kPooledBlocks)
        freeVideoMemory.erase(freeVideoMemory.begin(),
                              freeVideoMemory.end() - static_cast<long>(kPooledBlocks));
}
