// The blit kernels of the SSE2 and AVX2 levels, written once over a level's
// lanes. A level's file defines KX_LANES (its target attribute) and a struct
// of lanes, then includes this file inside its own anonymous namespace, so
// that each level's copy is compiled for that level only. The lanes:
//
//   N                    pixels a vector V holds (16-bit words)
//   kTwoGroups           whether the plain copy keeps two lookups in flight
//   lookup(s, table)     the colours of N indices
//   load, store          N pixels, unaligned
//   splat(word)          a word in every pixel
//   keyedBytes(c, key)   a bit per byte of c, set where its pixel is key
//   kAllKeyed            keyedBytes when every pixel is the key
//   storeDoubled8(o, c)  eight colours (lookup8), each twice: 32 bytes
//   Shift, shiftOf(s)    a component's shift as the lanes take it
//   component(p, m, s)   (p AND m) shifted by s, each pixel
//   blueGreen(b, g)      b | g << 8, each pixel
//   Packing, storeBgr(o, bg, r, packing)  N pixels as 3-byte blue, green,
//                        red; the stores reach kSpare pixels beyond them
//
// Every kernel gives exactly the scalar set's pixels.
//
// Needs blit/kernel_parts.h and <immintrin.h>.

// The colours of eight indices, as eight 16-bit words: the colours are
// inserted one at a time (PINSRW straight from the table). Neither AVX2's
// gather (one element per load port) nor a byte shuffle (16 entries, not
// 256) measured faster. Two chains of inserts, joined at the end, halve the
// dependency chain.
KX_LANES inline __m128i lookup8(const uint8_t* s, const uint16_t* table) {
    const uint32_t a = kernel::load32(s), b = kernel::load32(s + 4);
    const uint32_t ah = a >> 16, bh = b >> 16;
    __m128i x = _mm_cvtsi32_si128(table[a & 0xFF]);
    __m128i y = _mm_cvtsi32_si128(table[b & 0xFF]);
    x = _mm_insert_epi16(x, table[(a >> 8) & 0xFF], 1);
    y = _mm_insert_epi16(y, table[(b >> 8) & 0xFF], 1);
    x = _mm_insert_epi16(x, table[ah & 0xFF], 2);
    y = _mm_insert_epi16(y, table[bh & 0xFF], 2);
    x = _mm_insert_epi16(x, table[ah >> 8], 3);
    y = _mm_insert_epi16(y, table[bh >> 8], 3);
    return _mm_unpacklo_epi64(x, y);
}

// N colours, the keyed ones left out: one store when none is keyed, nothing
// when all are.
template <class L>
KX_LANES inline void storeUnkeyedGroup(uint8_t* d, typename L::V colours, typename L::V key) {
    const uint32_t keyed = L::keyedBytes(colours, key);
    if (keyed == 0) {
        L::store(d, colours);
    } else if (keyed != L::kAllKeyed) {
        uint16_t c[L::N];
        L::store(reinterpret_cast<uint8_t*>(c), colours);
        for (int q = 0; q < L::N; ++q)
            if (!(keyed >> (2 * q) & 1)) kernel::store16(d + 2 * q, c[q]);
    }
}

template <class L>
KX_LANES void copyIndexedLanes(const uint8_t* source, ptrdiff_t sourcePitch, uint8_t* destination,
                               ptrdiff_t destinationPitch, int32_t width, int32_t height,
                               const uint16_t* table) {
    constexpr int32_t N = L::N;
    for (int32_t i = 0; i < height; ++i) {
        const uint8_t* s = source + i * sourcePitch;
        uint8_t* d = destination + i * destinationPitch;
        int32_t j = 0;
        if constexpr (L::kTwoGroups) {
            for (; j + 2 * N <= width; j += 2 * N) {
                const typename L::V first = L::lookup(s + j, table),
                                    second = L::lookup(s + j + N, table);
                L::store(d + 2 * j, first);
                L::store(d + 2 * j + 2 * N, second);
            }
        }
        for (; j + N <= width; j += N)
            L::store(d + 2 * j, L::lookup(s + j, table));
        for (; j < width; ++j)
            kernel::store16(d + 2 * j, table[s[j]]);
    }
}

template <class L>
KX_LANES void copyIndexedKeyedLanes(const uint8_t* source, ptrdiff_t sourcePitch,
                                    uint8_t* destination, ptrdiff_t destinationPitch, int32_t width,
                                    int32_t height, const uint16_t* table, uint16_t key) {
    const typename L::V keyColour = L::splat(key);
    for (int32_t i = 0; i < height; ++i) {
        const uint8_t* s = source + i * sourcePitch;
        uint8_t* d = destination + i * destinationPitch;
        int32_t j = 0;
        for (; j + L::N <= width; j += L::N)
            storeUnkeyedGroup<L>(d + 2 * j, L::lookup(s + j, table), keyColour);
        for (; j < width; ++j)
            kernel::storeUnlessKey(d + 2 * j, table[s[j]], key);
    }
}

template <class L>
KX_LANES void doubleIndexedLanes(const uint8_t* indices, int32_t count, const uint16_t* table,
                                 const uint32_t* doubled, uint8_t* out) {
    int32_t k = 0;
    for (; k + 8 <= count; k += 8)
        L::storeDoubled8(out + 4 * k, lookup8(indices + k, table));
    for (; k < count; ++k)
        kernel::store32(out + 4 * k, doubled[indices[k]]);
}

template <class L>
KX_LANES void storeUnkeyedLanes(const uint16_t* colours, int32_t count, uint8_t* out,
                                uint16_t key) {
    const typename L::V keyColour = L::splat(key);
    int32_t j = 0;
    for (; j + L::N <= count; j += L::N)
        storeUnkeyedGroup<L>(out + 2 * j, L::load(colours + j), keyColour);
    for (; j < count; ++j)
        kernel::storeUnlessKey(out + 2 * j, colours[j], key);
}

template <class L>
const StretchRowKernels kLaneRows = {copyIndexedLanes<L>, doubleIndexedLanes<L>,
                                     storeUnkeyedLanes<L>, false};

template <class L>
KX_LANES void readBack888Lanes(const uint8_t* source, ptrdiff_t sourcePitch, uint8_t* destination,
                               ptrdiff_t destinationPitch, int32_t width, int32_t height,
                               const ScreenPixelFormat& f) {
    if (!kernel::blueFitsItsByte(f)) {
        scalarBlitKernels.readBack888(source, sourcePitch, destination, destinationPitch, width,
                                      height, f);
        return;
    }
    using V = typename L::V;
    const typename L::Shift blue = L::shiftOf(f.blueShift), green = L::shiftOf(f.greenShift),
                            red = L::shiftOf(f.redShift);
    const V blueMask = L::splat(static_cast<uint16_t>(f.blueMask));
    const V greenMask = L::splat(static_cast<uint16_t>(f.greenMask));
    const V redMask = L::splat(static_cast<uint16_t>(f.redMask));
    const typename L::Packing packing = L::packing();
    for (int32_t i = 0; i < height; ++i) {
        const uint8_t* s = source + i * sourcePitch;
        uint8_t* d = destination + i * destinationPitch;
        int32_t j = 0;
        for (; j + L::N + L::kSpare <= width; j += L::N) {
            const V p = L::load(s + 2 * j);
            const V bg =
                L::blueGreen(L::component(p, blueMask, blue), L::component(p, greenMask, green));
            L::storeBgr(d + 3 * j, bg, L::component(p, redMask, red), packing);
        }
        for (; j < width; ++j)
            kernel::readBackPixel(s + 2 * j, d + 3 * j, f);
    }
}

// The set of these lanes.
template <class L> constexpr BlitKernelSet laneBlitKernels(const char* name) {
    return {name, copyIndexedLanes<L>, copyIndexedKeyedLanes<L>, stretchIndexedWith<kLaneRows<L>>,
            readBack888Lanes<L>};
}
