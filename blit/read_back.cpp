// BltFromCard: the screen image read back into the host's memory as 24-bit
// pixels, bottom-up; and BltFromCardToCard, which is not served.
#include <algorithm>

#include "blit/blit_kernels.h"
#include "blit/pixel_format.h"
#include "display/display.h"
#include "driver/diag.h"
#include "driver/kxapi.h"

// Reads the top-left width x height pixels of the front buffer (clipped to
// the display); the destination's first row receives the region's lowest
// screen row. Format 2 (888) is the only one copied. Returns 0, copying
// nothing, when there is no front buffer or it cannot be locked.
KXAPI int KX_CDECL BltFromCard(uint8_t* destination, int32_t, int32_t, int32_t width,
                               int32_t height, int32_t destinationPitch, uint32_t format) {
    if (!pFrontBuffer) return 0;
    void* address = nullptr;
    int32_t pitch = 0;
    if (!ddLockFrontBuffer(&address, &pitch)) return 0;
    width = std::min(width, kDisplayWidth);
    height = std::min(height, kDisplayHeight);
    if (format == 2 && destination && address && width > 0 && height > 0) {
        const uint8_t* lowestRow =
            static_cast<const uint8_t*>(address) + static_cast<ptrdiff_t>(height - 1) * pitch;
        blitKernels().readBack888(lowestRow, -static_cast<ptrdiff_t>(pitch), destination,
                                  destinationPitch, width, height, screenPixelFormat);
    }
    ddUnlockFrontBuffer();
    return 1;
}

KXAPI int KX_CDECL BltFromCardToCard(void) {
    kxPrint("BltFromCardToCard not yet implemented\n");
    return 0;
}
