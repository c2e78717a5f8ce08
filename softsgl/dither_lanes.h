// Ordered dithering in vector lanes: ditherLevel of pixel_ops.h without its
// tables, for the span kernels (32-bit lanes at every level) and the
// resolve (16-bit lanes of SSE2). The includer defines KX_SPAN (its target
// attribute) first; L gives the lanes' type I and operations set1i, add,
// sub, andi, ori, srli, slli, mul16 and greaterAsMinusOne.
//
// c of 0..255 goes to level k, the highest whose widened value W(k) is at
// most c, plus one where the cell's number m is below n = round(16 (c -
// W(k)) / s) (s = W(k + 1) - W(k)), halves up; that is where (2 m + 1) s
// <= 32 (c - W(k)). `cells` holds 2 m + 1. At the top level c - W(k) is 0,
// so k stays.
#pragma once

template <int Bits, class L> KX_SPAN typename L::I ditherWidened(typename L::I k) {
    return Bits == 5 ? L::ori(L::slli(k, 3), L::srli(k, 2)) : L::ori(L::slli(k, 2), L::srli(k, 4));
}

template <int Bits, class L>
KX_SPAN typename L::I ditherLevelLanes(typename L::I c, typename L::I cells) {
    using I = typename L::I;
    // k is c's top bits, less one where their copy below passes c's low bits.
    const I top = L::srli(c, 8 - Bits);
    const I low = L::andi(c, L::set1i((1 << (8 - Bits)) - 1));
    const I k = L::add(top, L::greaterAsMinusOne(L::srli(top, 2 * Bits - 8), low));
    const I up = L::add(k, L::set1i(1));
    const I base = ditherWidened<Bits, L>(k);
    const I step = L::sub(ditherWidened<Bits, L>(up), base);
    const I rest = L::slli(L::sub(c, base), 5);
    return L::add(up, L::greaterAsMinusOne(L::mul16(cells, step), rest));
}
