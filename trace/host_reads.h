// What each entry point reads from (or writes to) the host's memory, as
// rows relative to the pointer it is given. The recorder stores these bytes;
// replay gives the driver buffers that hold them. Both use these rules, so a
// replayed driver never reaches past what replay provides. The rules are the
// driver's own: the interface's image sizes (api/kxapi_records.h) and the
// blits' clipping and stepping (blit/host_bytes.h).
#pragma once

#include <cstdint>

#include "api/kxapi.h"

struct MemoryRows {
    int64_t offset = 0; // of the first row's first byte from the pointer
    uint32_t rowBytes = 0;
    uint32_t rows = 0;
    int64_t pitch = 0;
    bool empty() const { return rows == 0 || rowBytes == 0; }
    uint64_t bytes() const { return uint64_t(rowBytes) * rows; }
    // The span reached, relative to the pointer: [low, high).
    int64_t low() const { return offset + (pitch < 0 ? int64_t(rows - 1) * pitch : 0); }
    int64_t high() const {
        return offset + (pitch > 0 ? int64_t(rows - 1) * pitch : 0) + int64_t(rowBytes);
    }
};

MemoryRows packedRows(uint64_t bytes);
MemoryRows verticesRead(int32_t count);
MemoryRows textureRead(int32_t width, int32_t height, uint32_t format);
MemoryRows paletteRead();
// The part of a BltToCard image that lands on the display.
MemoryRows bltSourceRead(int32_t x, int32_t y, int32_t width, int32_t height, int32_t pitch,
                         uint32_t format);
// The source rows and columns a StretchBltToCard takes for the part of its
// rectangle on the display.
MemoryRows stretchSourceRead(int32_t x, int32_t y, int32_t width, int32_t height,
                             int32_t sourceWidth, int32_t sourceHeight, int32_t pitch,
                             uint32_t format);
// What BltFromCard writes: 3-byte pixels of the display's top-left corner.
MemoryRows readBackWritten(int32_t width, int32_t height, int32_t pitch, uint32_t format);
