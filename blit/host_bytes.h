// Which bytes of host memory the blits read and the read-back writes: the
// clipping to the surface and the 16.16 stepping of the stretch. The blits
// draw by these rules, and a tool that must know what a blit reads (the
// recording driver stores exactly those bytes) calls them rather than
// restating them; inline, so that it needs nothing else of this layer.
#pragma once

#include <algorithm>
#include <cstdint>

#include "api/kxapi_records.h"

// The part of a width x height destination rectangle that is drawn: columns
// [firstColumn, firstColumn + columns) and rows [firstRow, firstRow + rows)
// of the rectangle.
struct StretchWindow {
    int32_t firstColumn, firstRow, columns, rows;
};

// The pixels of its image a blit reads: columns [firstColumn, firstColumn +
// columns) of rows [firstRow, firstRow + rows), counted in pixels of the
// image. A stretch may skip columns and rows inside the box, never outside.
struct SourceBox {
    int64_t firstColumn, firstRow, columns, rows;
};

// The part of [origin, origin + length) inside [0, limit), as an offset from
// origin and a count. Sums in 64 bits: origin + length may pass INT_MAX.
inline bool clipSpan(int32_t origin, int32_t length, int32_t limit, int32_t* offset,
                     int32_t* count) {
    int64_t first = std::max<int64_t>(origin, 0);
    int64_t end = std::min<int64_t>(static_cast<int64_t>(origin) + length, limit);
    if (end <= first) return false;
    *offset = static_cast<int32_t>(first - origin);
    *count = static_cast<int32_t>(end - first);
    return true;
}

// The window of a width x height rectangle at (x, y) that lies on a surface
// of surfaceWidth x surfaceHeight; false when none of it does.
inline bool visibleWindow(int32_t x, int32_t y, int32_t width, int32_t height, int32_t surfaceWidth,
                          int32_t surfaceHeight, StretchWindow* w) {
    return clipSpan(x, width, surfaceWidth, &w->firstColumn, &w->columns) &&
           clipSpan(y, height, surfaceHeight, &w->firstRow, &w->rows);
}

// The blits draw 8-bit indexed images only; other formats read nothing.
inline bool blitDrawsFormat(uint32_t format) {
    return format == kxIndexed8;
}

// The stretch's stepping, in 64 bits so that no size overflows; for sizes
// where the 32-bit arithmetic does not overflow the values are the same.
// Column step: (65536 / width) * sourceWidth, the division truncated first.
inline int64_t stretchColumnStep(int32_t width, int32_t sourceWidth) {
    return static_cast<int64_t>(65536 / width) * sourceWidth;
}
// Source column of destination column j: (j * step) >> 16.
inline int64_t stretchSourceColumn(int64_t j, int64_t step) {
    return (j * step) >> 16;
}
// Source row of destination row i: ((i * 65536) / height * sourceHeight) >> 16.
inline int64_t stretchSourceRow(int32_t i, int32_t height, int32_t sourceHeight) {
    return ((static_cast<int64_t>(i) * 65536) / height * sourceHeight) >> 16;
}

// What a plain blit of a width x height image at (x, y) reads and draws:
// the window on the surface, and the same pixels of the image. False when
// it reads nothing.
inline bool plainBlitReach(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t format,
                           int32_t surfaceWidth, int32_t surfaceHeight, StretchWindow* window,
                           SourceBox* box) {
    if (!blitDrawsFormat(format) ||
        !visibleWindow(x, y, width, height, surfaceWidth, surfaceHeight, window))
        return false;
    *box = {window->firstColumn, window->firstRow, window->columns, window->rows};
    return true;
}

// What a stretch of a sourceWidth x sourceHeight image onto the width x
// height rectangle at (x, y) reads and draws: the window on the surface, and
// the image's columns and rows between those of the window's first and last
// pixels (both steps grow with the position). False when it reads nothing:
// an image without pixels is not read.
inline bool stretchBlitReach(int32_t x, int32_t y, int32_t width, int32_t height,
                             int32_t sourceWidth, int32_t sourceHeight, uint32_t format,
                             int32_t surfaceWidth, int32_t surfaceHeight, StretchWindow* window,
                             SourceBox* box) {
    if (!blitDrawsFormat(format) || sourceWidth <= 0 || sourceHeight <= 0 ||
        !visibleWindow(x, y, width, height, surfaceWidth, surfaceHeight, window))
        return false;
    const int64_t step = stretchColumnStep(width, sourceWidth);
    const int64_t firstColumn = stretchSourceColumn(window->firstColumn, step);
    const int64_t lastColumn =
        stretchSourceColumn(int64_t{window->firstColumn} + window->columns - 1, step);
    const int64_t firstRow = stretchSourceRow(window->firstRow, height, sourceHeight);
    const int64_t lastRow =
        stretchSourceRow(window->firstRow + window->rows - 1, height, sourceHeight);
    *box = {firstColumn, firstRow, lastColumn - firstColumn + 1, lastRow - firstRow + 1};
    return true;
}

// What BltFromCard writes: the top-left width x height pixels of the screen,
// cut to it, as rows of 3-byte pixels. False when it writes nothing: format
// 888 is the only one copied.
inline bool readBackReach(int32_t width, int32_t height, uint32_t format, int32_t screenWidth,
                          int32_t screenHeight, int32_t* columns, int32_t* rows) {
    *columns = std::min(width, screenWidth);
    *rows = std::min(height, screenHeight);
    return format == kx888 && *columns > 0 && *rows > 0;
}
