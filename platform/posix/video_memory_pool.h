// The stand-in's video memory: blocks of pixel memory for the surfaces of a
// chain, pooled when a chain is released and handed to the next one as
// video memory is, leftovers and all; guarded against writes outside the
// rows. Only the surfaces (ddraw_surface.cpp) include this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// The one display mode's size.
constexpr int kSurfaceWidth = 640;
constexpr int kSurfaceHeight = 480;

struct PixelBlock {
    std::unique_ptr<uint8_t[]> storage;
    size_t capacity = 0;
    uint8_t* base = nullptr;   // lowest byte of the rows
    uint8_t* pixels = nullptr; // first byte of row 0
    int pitch = 0;
};

// Bytes from one row's start to the next in memory: the pitch's size, but
// at least a row of pixels. A pitch of a smaller size (a DirectDraw that
// misdescribes its surface) makes rows overlap inside that memory; a
// negative one lays the rows out bottom-up.
size_t rowSpan(int pitch);

// A block for a surface of `pitch` whose rows start `offset` bytes past a
// 16-byte boundary: the smallest pooled one large enough, else a fresh one.
// Fresh memory holds garbage; pooled memory holds garbage too, or with
// `leftovers` false what it held.
PixelBlock takeVideoMemory(int pitch, int offset, bool leftovers);

// Puts the blocks of a released chain in the pool (the newest few are kept).
void poolVideoMemory(PixelBlock* blocks, size_t count);

// Video memory is not cleared for anyone: a restored surface holds garbage
// in which no 16-bit word is 0, so a missed clear shows.
void fillGarbage(const PixelBlock& block);

// Checks the block's guard (the bytes before its rows) and counts a write
// found there.
void checkGuard(const PixelBlock& block);
int strayWriteCount();
