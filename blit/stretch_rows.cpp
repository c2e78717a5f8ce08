// The stretch driver shared by the scalar, SSE2 and AVX2 sets. Per call it
// maps every destination column of the window to its source column; per
// destination row it draws the pixels from the row's source row in one of
// three ways, and a row that reads the same source row as the one above it
// reuses that row's pixels:
// - enlargements with long runs of equal repeat (2x: every source column
//   twice): segments of plain lookups, doubled lookups, or repeats;
// - other enlargements: the colours of the source columns once, then one
//   colour per destination column;
// - reductions: the indices of the destination columns, then lookups.
// Keyed rows are drawn into a row buffer and stored without the key colour:
// by the set's keyed store, or as copies of the row's runs of unkeyed pixels
// (sprites have few and long ones), found once per source row.
#include "blit/kernel_parts.h"

#include <cstdint>
#include <cstring>

namespace {

using kernel::store16;

inline uint32_t load32(const uint16_t* at) {
    uint32_t value;
    std::memcpy(&value, at, 4);
    return value;
}

// Destination columns handled at once; wider windows go in several chunks.
constexpr int32_t kChunk = 1024;

// count source columns from first, each filling repeat destination columns.
struct Segment {
    int32_t first, count, repeat;
};
// Segments are used only when they average at least this many source columns.
constexpr int32_t kMinSegmentLength = 4;
constexpr int32_t kMaxSegments = kChunk / kMinSegmentLength;

// Pixel by pixel in 64-bit stepping: for steps that run backwards and sizes
// whose source offsets do not fit 32 bits.
void stretchEachPixel(const uint8_t* source, ptrdiff_t sourcePitch, uint8_t* destination,
                      ptrdiff_t destinationPitch, int32_t height, int32_t sourceHeight,
                      int64_t xStep, StretchWindow window, const uint16_t* table, bool hasKey,
                      uint16_t key) {
    for (int32_t r = 0; r < window.rows; ++r) {
        int64_t sy = stretchSourceRow(window.firstRow + r, height, sourceHeight);
        const uint8_t* s = source + static_cast<ptrdiff_t>(sy * sourcePitch);
        uint8_t* d = destination + r * destinationPitch;
        int64_t accumulator = window.firstColumn * xStep;
        for (int32_t j = 0; j < window.columns; ++j, accumulator += xStep) {
            uint16_t c = table[s[accumulator >> 16]];
            if (!hasKey || c != key) store16(d + 2 * j, c);
        }
    }
}

// How one chunk's row is drawn, decided once per call.
struct ChunkPlan {
    int32_t columns;        // destination columns of the chunk
    int32_t span;           // source columns from the first one read
    int32_t column[kChunk]; // source column of each destination column
    int32_t segmentCount;   // 0: no segments
    Segment segment[kMaxSegments];
};

// Runs of destination columns that read one source column (steps of at most
// one source column), grouped into segments of equal repeat; segmentCount
// stays 0 when they are too short to pay.
void findSegments(ChunkPlan& plan) {
    plan.segmentCount = 0;
    int32_t count = 0;
    for (int32_t j = 0; j < plan.columns;) {
        const int32_t source = plan.column[j];
        int32_t repeat = 1;
        while (j + repeat < plan.columns && plan.column[j + repeat] == source)
            ++repeat;
        j += repeat;
        if (count > 0 && plan.segment[count - 1].repeat == repeat) {
            ++plan.segment[count - 1].count;
            continue;
        }
        if (count == kMaxSegments || count * kMinSegmentLength > plan.span) return;
        plan.segment[count++] = {source, 1, repeat};
    }
    if (count * kMinSegmentLength <= plan.span) plan.segmentCount = count;
}

// One chunk of a destination row (2 * columns bytes at out) from the source
// row's bytes s, which start at the chunk's first source column.
void drawRow(const StretchRowKernels& rows, const ChunkPlan& plan, bool enlarging, const uint8_t* s,
             const uint16_t* table, const uint32_t* doubled, uint8_t* out) {
    if (plan.segmentCount > 0) {
        uint8_t* d = out;
        for (int32_t k = 0; k < plan.segmentCount; ++k) {
            const Segment& g = plan.segment[k];
            const uint8_t* from = s + g.first;
            if (g.repeat == 1) {
                rows.copyIndexed(from, 0, d, 0, g.count, 1, table);
            } else if (g.repeat == 2) {
                rows.doubleIndexed(from, g.count, table, doubled, d);
            } else {
                for (int32_t c = 0; c < g.count; ++c) {
                    const uint16_t colour = table[from[c]];
                    for (int32_t q = 0; q < g.repeat; ++q)
                        store16(d + 2 * (c * g.repeat + q), colour);
                }
            }
            d += 2 * g.count * g.repeat;
        }
        return;
    }
    if (enlarging) {
        // Each source column's colour once, then a colour per destination column.
        alignas(16) uint16_t colours[kChunk];
        rows.copyIndexed(s, 0, reinterpret_cast<uint8_t*>(colours), 0, plan.span, 1, table);
        for (int32_t j = 0; j < plan.columns; ++j)
            store16(out + 2 * j, colours[plan.column[j]]);
        return;
    }
    alignas(16) uint8_t indices[kChunk];
    for (int32_t j = 0; j < plan.columns; ++j)
        indices[j] = s[plan.column[j]];
    rows.copyIndexed(indices, 0, out, 0, plan.columns, 1, table);
}

// Whether a 16-bit half of x is zero.
inline bool hasZeroHalf(uint32_t x) {
    return ((x - 0x10001u) & ~x & 0x80008000u) != 0;
}

// The first pixel from j on whose colour is not the key (count if none);
// four pixels per step while all are the key.
int32_t skipKeyed(const uint16_t* colours, int32_t j, int32_t count, uint16_t key) {
    const uint32_t keys = key * 0x10001u;
    for (; j + 4 <= count; j += 4)
        if ((load32(colours + j) ^ keys) | (load32(colours + j + 2) ^ keys)) break;
    while (j < count && colours[j] == key)
        ++j;
    return j;
}

// The first pixel from j on whose colour is the key (count if none).
int32_t skipUnkeyed(const uint16_t* colours, int32_t j, int32_t count, uint16_t key) {
    const uint32_t keys = key * 0x10001u;
    for (; j + 4 <= count; j += 4)
        if (hasZeroHalf(load32(colours + j) ^ keys) || hasZeroHalf(load32(colours + j + 2) ^ keys))
            break;
    while (j < count && colours[j] != key)
        ++j;
    return j;
}

// The runs of pixels of a keyed row that differ from the key: run k covers
// [start[k], end[k]). Returns the number of runs, or -1 once there are more
// than maxRuns.
int32_t unkeyedRuns(const uint16_t* colours, int32_t count, uint16_t key, int32_t* start,
                    int32_t* end, int32_t maxRuns) {
    int32_t runs = 0;
    for (int32_t j = skipKeyed(colours, 0, count, key); j < count;
         j = skipKeyed(colours, j, count, key)) {
        if (runs == maxRuns) return -1;
        start[runs] = j;
        j = skipUnkeyed(colours, j, count, key);
        end[runs++] = j;
    }
    return runs;
}

// Runs are copied only while they average at least this many pixels.
constexpr int32_t kMinRunLength = 16;
constexpr int32_t kMaxRuns = kChunk / kMinRunLength;

} // namespace

void stretchIndexedRows(const StretchRowKernels& rows, const uint8_t* source, ptrdiff_t sourcePitch,
                        uint8_t* destination, ptrdiff_t destinationPitch, int32_t width,
                        int32_t height, int32_t sourceWidth, int32_t sourceHeight,
                        StretchWindow window, const uint16_t* table, bool hasKey, uint16_t key) {
    if (width <= 0 || height <= 0 || window.columns <= 0 || window.rows <= 0) return;
    const int64_t xStep = stretchColumnStep(width, sourceWidth);
    const int64_t lastOffset = ((window.firstColumn + int64_t{window.columns} - 1) * xStep >> 16) -
                               (window.firstColumn * xStep >> 16);
    if (xStep < 0 || lastOffset >= INT32_MAX) {
        stretchEachPixel(source, sourcePitch, destination, destinationPitch, height, sourceHeight,
                         xStep, window, table, hasKey, key);
        return;
    }
    // An enlargement moves at most one source column per destination column.
    const bool enlarging = xStep <= 65536;
    static_assert(sizeof(ChunkPlan) < 16 * 1024, "the plan lives on the stack");
    ChunkPlan plan;
    // Each colour twice, as the 32-bit pair that a doubled pixel stores.
    uint32_t doubled[256];
    if (enlarging)
        for (int k = 0; k < 256; ++k)
            doubled[k] = table[k] * 0x10001u;
    alignas(16) uint16_t keyedRow[kChunk];
    int32_t runStart[kMaxRuns], runEnd[kMaxRuns], runs = -1;
    for (int32_t c0 = 0; c0 < window.columns; c0 += kChunk) {
        plan.columns = window.columns - c0 < kChunk ? window.columns - c0 : kChunk;
        int64_t accumulator = (window.firstColumn + int64_t{c0}) * xStep;
        const int64_t firstSource = accumulator >> 16;
        for (int32_t j = 0; j < plan.columns; ++j, accumulator += xStep)
            plan.column[j] = static_cast<int32_t>((accumulator >> 16) - firstSource);
        plan.span = plan.column[plan.columns - 1] + 1;
        plan.segmentCount = 0;
        if (enlarging) findSegments(plan);

        const uint8_t* previousSource = nullptr;
        uint8_t* previousRow = nullptr;
        for (int32_t r = 0; r < window.rows; ++r) {
            const int64_t sy = stretchSourceRow(window.firstRow + r, height, sourceHeight);
            const uint8_t* s = source + static_cast<ptrdiff_t>(sy * sourcePitch + firstSource);
            uint8_t* d = destination + r * destinationPitch + 2 * static_cast<ptrdiff_t>(c0);
            if (hasKey) {
                if (s != previousSource) {
                    drawRow(rows, plan, enlarging, s, table, doubled,
                            reinterpret_cast<uint8_t*>(keyedRow));
                    runs = rows.copyUnkeyedRuns ? unkeyedRuns(keyedRow, plan.columns, key, runStart,
                                                              runEnd, plan.columns / kMinRunLength)
                                                : -1;
                }
                if (runs < 0) rows.storeUnkeyed(keyedRow, plan.columns, d, key);
                for (int32_t k = 0; k < runs; ++k)
                    std::memcpy(d + 2 * runStart[k], keyedRow + runStart[k],
                                2 * static_cast<size_t>(runEnd[k] - runStart[k]));
            } else if (s == previousSource) {
                // Defined for any two rows, overlapping ones included.
                std::memmove(d, previousRow, 2 * static_cast<size_t>(plan.columns));
            } else {
                drawRow(rows, plan, enlarging, s, table, doubled, d);
            }
            previousSource = s;
            previousRow = d;
        }
    }
}
