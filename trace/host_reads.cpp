#include "trace/host_reads.h"

#include <algorithm>

#include "trace/trace_format.h"

namespace {

// [first, first + count) of [origin, origin + length) inside [0, limit).
bool clipSpan(int32_t origin, int32_t length, int32_t limit, int64_t& first, int64_t& count) {
    int64_t begin = std::max<int64_t>(origin, 0);
    int64_t end = std::min<int64_t>(int64_t(origin) + length, limit);
    if (end <= begin) return false;
    first = begin - origin;
    count = end - begin;
    return true;
}

MemoryRows rows(int64_t offset, int64_t rowBytes, int64_t rows, int64_t pitch) {
    MemoryRows m;
    if (rowBytes <= 0 || rows <= 0 || rowBytes > UINT32_MAX || rows > UINT32_MAX) return m;
    m.offset = offset;
    m.rowBytes = uint32_t(rowBytes);
    m.rows = uint32_t(rows);
    m.pitch = rows == 1 ? rowBytes : pitch;
    return m;
}

} // namespace

MemoryRows packedRows(uint64_t bytes) {
    return rows(0, int64_t(bytes), 1, 0);
}

MemoryRows verticesRead(int32_t count) {
    return rows(0, sizeof(HostVertex), count, sizeof(HostVertex));
}

MemoryRows textureRead(int32_t width, int32_t height, uint32_t format) {
    if (!textureImageBytes(width, height, format)) return MemoryRows{};
    int64_t row = int64_t(width) * bytesPerPixel(format);
    return rows(0, row, height, row);
}

MemoryRows paletteRead() {
    return packedRows(kPaletteBytes);
}

MemoryRows bltSourceRead(int32_t x, int32_t y, int32_t width, int32_t height, int32_t pitch,
                         uint32_t format) {
    int64_t column, columns, row, rowCount;
    if (format != 0 || !clipSpan(x, width, kTraceDisplayWidth, column, columns) ||
        !clipSpan(y, height, kTraceDisplayHeight, row, rowCount))
        return MemoryRows{};
    return rows(row * pitch + column, columns, rowCount, pitch);
}

MemoryRows stretchSourceRead(int32_t x, int32_t y, int32_t width, int32_t height,
                             int32_t sourceWidth, int32_t sourceHeight, int32_t pitch,
                             uint32_t format) {
    int64_t column, columns, row, rowCount;
    if (format != 0 || sourceWidth <= 0 || sourceHeight <= 0 ||
        !clipSpan(x, width, kTraceDisplayWidth, column, columns) ||
        !clipSpan(y, height, kTraceDisplayHeight, row, rowCount))
        return MemoryRows{};
    // Both steps grow with the destination position, so the first and last
    // visible pixels bound what is read.
    const int64_t xStep = int64_t(65536 / width) * sourceWidth;
    auto sourceRow = [&](int64_t i) { return ((i * 65536) / height * sourceHeight) >> 16; };
    int64_t firstColumn = (column * xStep) >> 16;
    int64_t lastColumn = ((column + columns - 1) * xStep) >> 16;
    int64_t firstRow = sourceRow(row), lastRow = sourceRow(row + rowCount - 1);
    return rows(firstRow * pitch + firstColumn, lastColumn - firstColumn + 1,
                lastRow - firstRow + 1, pitch);
}

MemoryRows readBackWritten(int32_t width, int32_t height, int32_t pitch, uint32_t format) {
    width = std::min(width, kTraceDisplayWidth);
    height = std::min(height, kTraceDisplayHeight);
    if (format != 2 || width <= 0 || height <= 0) return MemoryRows{};
    return rows(0, int64_t(width) * 3, height, pitch);
}
