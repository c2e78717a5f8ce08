// The four blits: format dispatch, the per-call colour table, and clipping
// to the render target; the pixel loops are the kernels of blit_kernels.
#include "blit/blit.h"

#include "blit/blit_kernels.h"
#include "diag/diag.h"

namespace {

// Only 8-bit indexed images are drawn; formats 1 to 5 are named in the
// kernel's message ("blt: 8888\n"), anything above is ignored silently.
bool drawsFormat(uint32_t format, const char* kernel) {
    if (blitDrawsFormat(format)) return true;
    if (const char* layout = hostFormatLayout(format)) kxPrint("%s: %s\n", kernel, layout);
    return false;
}

// The colours of the 256 indices: the palette argument converted afresh for
// this call, or the screen palette when there is none.
const uint16_t* colourTable(const uint32_t* palette, const ScreenPixelFormat& pixelFormat,
                            const uint16_t* screenPalette, uint16_t (&local)[256]) {
    if (!palette) return screenPalette;
    ColourConverter convert = pixelFormat.screenColourConverter;
    for (int k = 0; k < 256; ++k)
        convert(&local[k], &palette[k]);
    return local;
}

// Byte address of pixel (x, y) of the target; inside it.
uint8_t* targetPixel(const RenderTarget& t, int64_t x, int64_t y) {
    return t.address + y * t.pitch + 2 * x;
}

// key: null for the unkeyed kernel, else the colour the keyed one skips.
void plainBlt(const RenderTarget& target, const ScreenPixelFormat& pixelFormat,
              const uint16_t* screenPalette, const uint8_t* source, int32_t x, int32_t y,
              int32_t width, int32_t height, int32_t sourcePitch, uint32_t format,
              const uint32_t* palette, const char* kernel, const uint16_t* key) {
    if (!drawsFormat(format, kernel)) return;
    StretchWindow w;
    SourceBox box;
    if (!source || !target.valid || !target.address ||
        !plainBlitReach(x, y, width, height, format, target.width, target.height, &w, &box))
        return;
    uint16_t local[256];
    const uint16_t* table = colourTable(palette, pixelFormat, screenPalette, local);
    const uint8_t* s =
        source + static_cast<ptrdiff_t>(box.firstRow * sourcePitch + box.firstColumn);
    uint8_t* d = targetPixel(target, int64_t{x} + w.firstColumn, int64_t{y} + w.firstRow);
    if (key)
        blitKernels().copyIndexedKeyed(s, sourcePitch, d, target.pitch, w.columns, w.rows, table,
                                       *key);
    else
        blitKernels().copyIndexed(s, sourcePitch, d, target.pitch, w.columns, w.rows, table);
}

void stretchBlt(const RenderTarget& target, const ScreenPixelFormat& pixelFormat,
                const uint16_t* screenPalette, int32_t x, int32_t y, int32_t width, int32_t height,
                const uint8_t* source, int32_t sourceWidth, int32_t sourceHeight,
                int32_t sourcePitch, uint32_t format, const uint32_t* palette, const char* kernel,
                const uint16_t* key) {
    if (!drawsFormat(format, kernel)) return;
    // The window keeps its place in the whole rectangle, so every pixel drawn
    // takes the source pixel it would take unclipped.
    StretchWindow w;
    SourceBox box;
    if (!source || !target.valid || !target.address ||
        !stretchBlitReach(x, y, width, height, sourceWidth, sourceHeight, format, target.width,
                          target.height, &w, &box))
        return;
    uint16_t local[256];
    const uint16_t* table = colourTable(palette, pixelFormat, screenPalette, local);
    uint8_t* d = targetPixel(target, int64_t{x} + w.firstColumn, int64_t{y} + w.firstRow);
    blitKernels().stretchIndexed(source, sourcePitch, d, target.pitch, width, height, sourceWidth,
                                 sourceHeight, w, table, key != nullptr, key ? *key : 0);
}

} // namespace

void blt(const RenderTarget& target, const ScreenPixelFormat& pixelFormat,
         const uint16_t* screenPalette, const uint8_t* source, int32_t x, int32_t y, int32_t width,
         int32_t height, int32_t sourcePitch, uint32_t format, const uint32_t* palette) {
    plainBlt(target, pixelFormat, screenPalette, source, x, y, width, height, sourcePitch, format,
             palette, "blt", nullptr);
}

void bltC(const RenderTarget& target, const ScreenPixelFormat& pixelFormat,
          const uint16_t* screenPalette, uint16_t key, const uint8_t* source, int32_t x, int32_t y,
          int32_t width, int32_t height, int32_t sourcePitch, uint32_t format,
          const uint32_t* palette) {
    plainBlt(target, pixelFormat, screenPalette, source, x, y, width, height, sourcePitch, format,
             palette, "bltC", &key);
}

void stBlt(const RenderTarget& target, const ScreenPixelFormat& pixelFormat,
           const uint16_t* screenPalette, int32_t x, int32_t y, int32_t width, int32_t height,
           const uint8_t* source, int32_t sourceWidth, int32_t sourceHeight, int32_t sourcePitch,
           uint32_t format, const uint32_t* palette) {
    stretchBlt(target, pixelFormat, screenPalette, x, y, width, height, source, sourceWidth,
               sourceHeight, sourcePitch, format, palette, "stBlt", nullptr);
}

void stBltC(const RenderTarget& target, const ScreenPixelFormat& pixelFormat,
            const uint16_t* screenPalette, uint16_t key, int32_t x, int32_t y, int32_t width,
            int32_t height, const uint8_t* source, int32_t sourceWidth, int32_t sourceHeight,
            int32_t sourcePitch, uint32_t format, const uint32_t* palette) {
    stretchBlt(target, pixelFormat, screenPalette, x, y, width, height, source, sourceWidth,
               sourceHeight, sourcePitch, format, palette, "stBltC", &key);
}
