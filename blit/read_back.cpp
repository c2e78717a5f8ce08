// The screen image read back into the host's memory as 24-bit pixels,
// bottom-up.
#include "blit/blit.h"
#include "blit/blit_kernels.h"

void readBack(const RenderTarget& screen, uint8_t* destination, int32_t width, int32_t height,
              int32_t destinationPitch, uint32_t format, const ScreenPixelFormat& pixelFormat) {
    if (!readBackReach(width, height, format, screen.width, screen.height, &width, &height) ||
        !destination || !screen.valid || !screen.address)
        return;
    const uint8_t* lowestRow = screen.address + static_cast<ptrdiff_t>(height - 1) * screen.pitch;
    blitKernels().readBack888(lowestRow, -static_cast<ptrdiff_t>(screen.pitch), destination,
                              destinationPitch, width, height, pixelFormat);
}
