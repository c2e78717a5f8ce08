// Buffers the harness hands to the driver, carved from blocks kept from
// input to input.
#pragma once

#include <cstddef>
#include <cstdint>

// A buffer of `size` bytes, each holding `fill`; kNoFill for a buffer the
// driver only writes. Any access past its end is reported under ASan.
constexpr int kNoFill = -1;
uint8_t* pooledBuffer(size_t size, int fill);

// The end of an input: every buffer goes back to the pool, poisoned, so a
// pointer the driver kept past the input is caught when it is used.
void releasePooledBuffers();
