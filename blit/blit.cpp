// BltToCard and StretchBltToCard, and the four kernels behind them: format
// dispatch, the per-call colour table, and clipping to the back buffer.
#include "blit/blit.h"

#include <algorithm>

#include "blit/blit_kernels.h"
#include "blit/pixel_format.h"
#include "display/display.h"
#include "driver/diag.h"
#include "driver/driver_state.h"
#include "driver/kxapi.h"
#include "texture/texture.h"

BltKernel activeBlt;
StretchBltKernel activeStretchBlt;

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
// this call, or the global palette when there is none.
const uint16_t* colourTable(const uint32_t* palette, uint16_t (&local)[256]) {
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

// The destination rectangle clipped to the display; false when nothing of it
// is visible or there is no back buffer to draw into.
bool clipToBackBuffer(int32_t x, int32_t y, int32_t width, int32_t height, StretchWindow* w) {
    if (!renderTargetAddress) return false;
    return clipSpan(x, width, kDisplayWidth, &w->firstColumn, &w->columns) &&
           clipSpan(y, height, kDisplayHeight, &w->firstRow, &w->rows);
}

// Byte address of screen pixel (x, y) of the back buffer; inside the display.
uint8_t* backBufferPixel(int64_t x, int64_t y) {
    return renderTargetAddress + y * renderTargetPitch + 2 * x;
}

void plainBlt(const uint8_t* source, int32_t x, int32_t y, int32_t width, int32_t height,
              int32_t sourcePitch, uint32_t format, const uint32_t* palette, bool keyed) {
    if (!drawsFormat(format, keyed ? kBltCMessages : kBltMessages)) return;
    StretchWindow w;
    if (!source || !clipToBackBuffer(x, y, width, height, &w)) return;
    uint16_t local[256];
    const uint16_t* table = colourTable(palette, local);
    const uint8_t* s =
        source + static_cast<ptrdiff_t>(int64_t{w.firstRow} * sourcePitch) + w.firstColumn;
    uint8_t* d = backBufferPixel(int64_t{x} + w.firstColumn, int64_t{y} + w.firstRow);
    if (keyed)
        blitKernels().copyIndexedKeyed(s, sourcePitch, d, renderTargetPitch, w.columns, w.rows,
                                       table, chromaKeyScreenColour);
    else
        blitKernels().copyIndexed(s, sourcePitch, d, renderTargetPitch, w.columns, w.rows, table);
}

void stretchBlt(int32_t x, int32_t y, int32_t width, int32_t height, const uint8_t* source,
                int32_t sourceWidth, int32_t sourceHeight, int32_t sourcePitch, uint32_t format,
                const uint32_t* palette, bool keyed) {
    if (!drawsFormat(format, keyed ? kStBltCMessages : kStBltMessages)) return;
    // An image without pixels (or none at all) has nothing to read.
    if (!source || sourceWidth <= 0 || sourceHeight <= 0) return;
    // The window keeps its place in the whole rectangle, so every pixel drawn
    // takes the source pixel it would take unclipped.
    StretchWindow w;
    if (!clipToBackBuffer(x, y, width, height, &w)) return;
    uint16_t local[256];
    const uint16_t* table = colourTable(palette, local);
    uint8_t* d = backBufferPixel(int64_t{x} + w.firstColumn, int64_t{y} + w.firstRow);
    blitKernels().stretchIndexed(source, sourcePitch, d, renderTargetPitch, width, height,
                                 sourceWidth, sourceHeight, w, table, keyed, chromaKeyScreenColour);
}

} // namespace

void blt(const uint8_t* source, int32_t x, int32_t y, int32_t width, int32_t height,
         int32_t sourcePitch, uint32_t format, const uint32_t* palette) {
    plainBlt(source, x, y, width, height, sourcePitch, format, palette, false);
}

void bltC(const uint8_t* source, int32_t x, int32_t y, int32_t width, int32_t height,
          int32_t sourcePitch, uint32_t format, const uint32_t* palette) {
    plainBlt(source, x, y, width, height, sourcePitch, format, palette, true);
}

void stBlt(int32_t x, int32_t y, int32_t width, int32_t height, const uint8_t* source,
           int32_t sourceWidth, int32_t sourceHeight, int32_t sourcePitch, uint32_t format,
           const uint32_t* palette) {
    stretchBlt(x, y, width, height, source, sourceWidth, sourceHeight, sourcePitch, format, palette,
               false);
}

void stBltC(int32_t x, int32_t y, int32_t width, int32_t height, const uint8_t* source,
            int32_t sourceWidth, int32_t sourceHeight, int32_t sourcePitch, uint32_t format,
            const uint32_t* palette) {
    stretchBlt(x, y, width, height, source, sourceWidth, sourceHeight, sourcePitch, format, palette,
               true);
}

// Both entry points render the frame's scene first (once per frame), so the
// image lies over it. Without a kernel pair (before Init) or a valid back
// buffer they draw nothing; either way the host is told 1.
KXAPI int KX_CDECL BltToCard(const uint8_t* source, int32_t x, int32_t y, int32_t width,
                             int32_t height, int32_t sourcePitch, uint32_t format,
                             const uint32_t* palette) {
    if (activeBlt && renderSceneForBlit())
        activeBlt(source, x, y, width, height, sourcePitch, format, palette);
    return 1;
}

KXAPI int KX_CDECL StretchBltToCard(const uint8_t* source, int32_t x, int32_t y, int32_t width,
                                    int32_t height, int32_t sourceWidth, int32_t sourceHeight,
                                    int32_t sourcePitch, uint32_t format, const uint32_t* palette) {
    if (activeStretchBlt && renderSceneForBlit())
        activeStretchBlt(x, y, width, height, source, sourceWidth, sourceHeight, sourcePitch,
                         format, palette);
    return 1;
}
