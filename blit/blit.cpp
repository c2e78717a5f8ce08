// The four blits: format dispatch, the per-call colour table, and clipping
// to the render target; the pixel loops are the kernels of blit_kernels.
#include "blit/blit.h"

#include <algorithm>

#include "blit/blit_kernels.h"
#include "diag/diag.h"

namespace {

// Messages for formats 1 to 5, one row per kernel.
const char* const kBltMessages[6] = {nullptr,       "blt: 8888\n", "blt: 888\n",
                                     "blt: 1555\n", "blt: 555\n",  "blt: 565\n"};
const char* const kBltCMessages[6] = {nullptr,        "bltC: 8888\n", "bltC: 888\n",
                                      "bltC: 1555\n", "bltC: 555\n",  "bltC: 565\n"};
const char* const kStBltMessages[6] = {nullptr,         "stBlt: 8888\n", "stBlt: 888\n",
                                       "stBlt: 1555\n", "stBlt: 555\n",  "stBlt: 565\n"};
const char* const kStBltCMessages[6] = {nullptr,          "stBltC: 8888\n", "stBltC: 888\n",
                                        "stBltC: 1555\n", "stBltC: 555\n",  "stBltC: 565\n"};

// Only 8-bit indexed images (format 0) are drawn; formats 1 to 5 are named
// in the kernel's message, anything above is ignored silently.
bool drawsFormat(uint32_t format, const char* const messages[6]) {
    if (format == 0) return true;
    if (format <= 5) kxPrint("%s", messages[format]);
    return false;
}

// The colours of the 256 indices: the palette argument converted afresh for
// this call, or the screen palette when there is none.
const uint16_t* colourTable(const uint32_t* palette, const uint16_t* screenPalette,
                            uint16_t (&local)[256]) {
    if (!palette) return screenPalette;
    ColourConverter convert = screenPixelFormat.screenColourConverter;
    for (int k = 0; k < 256; ++k)
        convert(&local[k], &palette[k]);
    return local;
}

// The part of [origin, origin + length) inside [0, limit), as an offset from
// origin and a count. Sums in 64 bits: origin + length may pass INT_MAX.
bool clipSpan(int32_t origin, int32_t length, int32_t limit, int32_t* offset, int32_t* count) {
    int64_t first = std::max<int64_t>(origin, 0);
    int64_t end = std::min<int64_t>(static_cast<int64_t>(origin) + length, limit);
    if (end <= first) return false;
    *offset = static_cast<int32_t>(first - origin);
    *count = static_cast<int32_t>(end - first);
    return true;
}

// The destination rectangle clipped to the target; false when nothing of it
// is visible or there is no surface to draw into.
bool clipToTarget(const RenderTarget& t, int32_t x, int32_t y, int32_t width, int32_t height,
                  StretchWindow* w) {
    if (!t.valid || !t.address) return false;
    return clipSpan(x, width, t.width, &w->firstColumn, &w->columns) &&
           clipSpan(y, height, t.height, &w->firstRow, &w->rows);
}

// Byte address of pixel (x, y) of the target; inside it.
uint8_t* targetPixel(const RenderTarget& t, int64_t x, int64_t y) {
    return t.address + y * t.pitch + 2 * x;
}

// key: null for the unkeyed kernel, else the colour the keyed one skips.
void plainBlt(const RenderTarget& target, const uint16_t* screenPalette, const uint8_t* source,
              int32_t x, int32_t y, int32_t width, int32_t height, int32_t sourcePitch,
              uint32_t format, const uint32_t* palette, const char* const messages[6],
              const uint16_t* key) {
    if (!drawsFormat(format, messages)) return;
    StretchWindow w;
    if (!source || !clipToTarget(target, x, y, width, height, &w)) return;
    uint16_t local[256];
    const uint16_t* table = colourTable(palette, screenPalette, local);
    const uint8_t* s =
        source + static_cast<ptrdiff_t>(int64_t{w.firstRow} * sourcePitch) + w.firstColumn;
    uint8_t* d = targetPixel(target, int64_t{x} + w.firstColumn, int64_t{y} + w.firstRow);
    if (key)
        blitKernels().copyIndexedKeyed(s, sourcePitch, d, target.pitch, w.columns, w.rows, table,
                                       *key);
    else
        blitKernels().copyIndexed(s, sourcePitch, d, target.pitch, w.columns, w.rows, table);
}

void stretchBlt(const RenderTarget& target, const uint16_t* screenPalette, int32_t x, int32_t y,
                int32_t width, int32_t height, const uint8_t* source, int32_t sourceWidth,
                int32_t sourceHeight, int32_t sourcePitch, uint32_t format, const uint32_t* palette,
                const char* const messages[6], const uint16_t* key) {
    if (!drawsFormat(format, messages)) return;
    // An image without pixels (or none at all) has nothing to read.
    if (!source || sourceWidth <= 0 || sourceHeight <= 0) return;
    // The window keeps its place in the whole rectangle, so every pixel drawn
    // takes the source pixel it would take unclipped.
    StretchWindow w;
    if (!clipToTarget(target, x, y, width, height, &w)) return;
    uint16_t local[256];
    const uint16_t* table = colourTable(palette, screenPalette, local);
    uint8_t* d = targetPixel(target, int64_t{x} + w.firstColumn, int64_t{y} + w.firstRow);
    blitKernels().stretchIndexed(source, sourcePitch, d, target.pitch, width, height, sourceWidth,
                                 sourceHeight, w, table, key != nullptr, key ? *key : 0);
}

} // namespace

void blt(const RenderTarget& target, const uint16_t* screenPalette, const uint8_t* source,
         int32_t x, int32_t y, int32_t width, int32_t height, int32_t sourcePitch, uint32_t format,
         const uint32_t* palette) {
    plainBlt(target, screenPalette, source, x, y, width, height, sourcePitch, format, palette,
             kBltMessages, nullptr);
}

void bltC(const RenderTarget& target, const uint16_t* screenPalette, uint16_t key,
          const uint8_t* source, int32_t x, int32_t y, int32_t width, int32_t height,
          int32_t sourcePitch, uint32_t format, const uint32_t* palette) {
    plainBlt(target, screenPalette, source, x, y, width, height, sourcePitch, format, palette,
             kBltCMessages, &key);
}

void stBlt(const RenderTarget& target, const uint16_t* screenPalette, int32_t x, int32_t y,
           int32_t width, int32_t height, const uint8_t* source, int32_t sourceWidth,
           int32_t sourceHeight, int32_t sourcePitch, uint32_t format, const uint32_t* palette) {
    stretchBlt(target, screenPalette, x, y, width, height, source, sourceWidth, sourceHeight,
               sourcePitch, format, palette, kStBltMessages, nullptr);
}

void stBltC(const RenderTarget& target, const uint16_t* screenPalette, uint16_t key, int32_t x,
            int32_t y, int32_t width, int32_t height, const uint8_t* source, int32_t sourceWidth,
            int32_t sourceHeight, int32_t sourcePitch, uint32_t format, const uint32_t* palette) {
    stretchBlt(target, screenPalette, x, y, width, height, source, sourceWidth, sourceHeight,
               sourcePitch, format, palette, kStBltCMessages, &key);
}
