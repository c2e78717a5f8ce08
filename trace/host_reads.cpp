#include "trace/host_reads.h"

#include "blit/host_bytes.h"

namespace {

MemoryRows rows(int64_t offset, int64_t rowBytes, int64_t rows, int64_t pitch) {
    MemoryRows m;
    if (rowBytes <= 0 || rows <= 0 || rowBytes > UINT32_MAX || rows > UINT32_MAX) return m;
    m.offset = offset;
    m.rowBytes = uint32_t(rowBytes);
    m.rows = uint32_t(rows);
    m.pitch = rows == 1 ? rowBytes : pitch;
    return m;
}

// The box of an 8-bit image's pixels as rows of its bytes.
MemoryRows boxRows(const SourceBox& box, int32_t pitch) {
    return rows(box.firstRow * pitch + box.firstColumn, box.columns, box.rows, pitch);
}

} // namespace

MemoryRows packedRows(uint64_t bytes) {
    return rows(0, int64_t(bytes), 1, 0);
}

MemoryRows verticesRead(int32_t count) {
    return rows(0, sizeof(HostVertex), count, sizeof(HostVertex));
}

MemoryRows textureRead(int32_t width, int32_t height, uint32_t format) {
    if (!hostImageBytes(width, height, format)) return MemoryRows{};
    int64_t row = int64_t(width) * hostBytesPerPixel(format);
    return rows(0, row, height, row);
}

MemoryRows paletteRead() {
    return packedRows(kxPaletteBytes);
}

MemoryRows bltSourceRead(int32_t x, int32_t y, int32_t width, int32_t height, int32_t pitch,
                         uint32_t format) {
    StretchWindow window;
    SourceBox box;
    if (!plainBlitReach(x, y, width, height, format, kxScreenWidth, kxScreenHeight, &window, &box))
        return MemoryRows{};
    return boxRows(box, pitch);
}

MemoryRows stretchSourceRead(int32_t x, int32_t y, int32_t width, int32_t height,
                             int32_t sourceWidth, int32_t sourceHeight, int32_t pitch,
                             uint32_t format) {
    StretchWindow window;
    SourceBox box;
    if (!stretchBlitReach(x, y, width, height, sourceWidth, sourceHeight, format, kxScreenWidth,
                          kxScreenHeight, &window, &box))
        return MemoryRows{};
    return boxRows(box, pitch);
}

MemoryRows readBackWritten(int32_t width, int32_t height, int32_t pitch, uint32_t format) {
    int32_t columns = 0, count = 0;
    if (!readBackReach(width, height, format, kxScreenWidth, kxScreenHeight, &columns, &count))
        return MemoryRows{};
    return rows(0, int64_t(columns) * hostBytesPerPixel(kx888), count, pitch);
}
