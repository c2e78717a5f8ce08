// The texel kernels of the SSE2 and AVX2 levels, written once over a level's
// lanes. A level's file defines KX_LANES (its target attribute) and a struct
// of lanes, then includes this file inside its own anonymous namespace, so
// that each level's copy is compiled for that level only. The lanes:
//
//   k8888Pixels, convert8888Group(d, s)  that many 8888 pixels into texels
//   k888Pixels, convert888Group(d, s)    that many 888 pixels into texels
//   kGatherTexels, gatherPays(columns, count),
//   gatherGroup(row, nextRow, from, nextFrom, columns, rowLength)
//                                        that many texels of two rows
//                                        through one column map, and whether
//                                        the map suits the lanes at all
//
// Pixels past the last whole group take the plain conversions, so every
// kernel gives exactly the scalar set's texels.
//
// Needs texture/texel_kernels.h.

template <class L>
KX_LANES void convert8888Lanes(uint32_t* destination, const uint8_t* source, int32_t count) {
    int32_t i = 0;
    for (; i + L::k8888Pixels <= count; i += L::k8888Pixels)
        L::convert8888Group(destination + i, source + 4 * i);
    for (; i < count; ++i) {
        uint32_t colour;
        std::memcpy(&colour, source + 4 * i, 4);
        destination[i] = texelFromHostColour(colour);
    }
}

template <class L>
KX_LANES void convert888Lanes(uint32_t* destination, const uint8_t* source, int32_t count) {
    int32_t i = 0;
    for (; i + L::k888Pixels <= count; i += L::k888Pixels)
        L::convert888Group(destination + i, source + 3 * i);
    for (; i < count; ++i)
        destination[i] = texelFrom888(source + 3 * i);
}

template <class L>
KX_LANES void gatherTexelRowsLanes(uint32_t* row, uint32_t* nextRow, const uint32_t* from,
                                   const uint32_t* nextFrom, const int32_t* columns, int32_t count,
                                   int32_t rowLength) {
    if (!L::gatherPays(columns, count)) {
        scalarTexelKernels.gatherTexelRows(row, nextRow, from, nextFrom, columns, count, rowLength);
        return;
    }
    int32_t x = 0;
    for (; x + L::kGatherTexels <= count; x += L::kGatherTexels)
        L::gatherGroup(row + x, nextRow + x, from, nextFrom, columns + x, rowLength);
    for (; x < count; ++x) {
        row[x] = from[columns[x]];
        nextRow[x] = nextFrom[columns[x]];
    }
}

// The set of these lanes; the indexed layout takes the scalar loop, as no
// vector form of a 256-entry lookup measured faster.
template <class L> constexpr TexelKernelSet laneTexelKernels(const char* name) {
    return {name, convertIndexedTexelsScalar, convert8888Lanes<L>, convert888Lanes<L>,
            gatherTexelRowsLanes<L>};
}
