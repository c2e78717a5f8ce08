// The display's 16-bit pixel layout, learnt once from the primary surface,
// and the conversion of host colours 0xAARRGGBB into it.
#include "blit/pixel_format.h"

#include "diag/diag.h"

ScreenPixelFormat screenPixelFormatOf(const DDPIXELFORMAT& primary) {
    ScreenPixelFormat f = {};
    ddGetPixelFormat(primary, &f.redMask, &f.greenMask, &f.blueMask, &f.redShift, &f.greenShift,
                     &f.blueShift);
    // Only a 565 display has a six-bit green.
    f.screenColourConverter = f.greenMask == 0x07E0 ? colourTo565 : colourTo555;
    return f;
}

void ddGetPixelFormat(const DDPIXELFORMAT& primary, uint32_t* redMask, uint32_t* greenMask,
                      uint32_t* blueMask, int32_t* redShift, int32_t* greenShift,
                      int32_t* blueShift) {
    *redMask = primary.dwRBitMask;
    *greenMask = primary.dwGBitMask;
    *blueMask = primary.dwBBitMask;
    // A shift moves the mask's top bit to bit 7 of an 8-bit component.
    *redShift = highestBitIndex(*redMask) - 7;
    *greenShift = highestBitIndex(*greenMask) - 7;
    *blueShift = highestBitIndex(*blueMask) - 7;
    kxPrint("ddGetPixelFormat: Masks - r %04x, g %04x, b %04x  Shifts: r %d, g %d, b %d\n",
            *redMask, *greenMask, *blueMask, *redShift, *greenShift, *blueShift);
}

int highestBitIndex(uint32_t value) {
    // Halving search: each step keeps the upper half of the remaining bits
    // when it holds a set bit. 0 and 1 both give 0.
    int index = 0;
    uint32_t w = value;
    if (w & 0xFFFF0000u) {
        w &= 0xFFFF0000u;
        index = 16;
    }
    if (w & 0xFF00FF00u) {
        w &= 0xFF00FF00u;
        index |= 8;
    }
    if (w & 0xF0F0F0F0u) {
        w &= 0xF0F0F0F0u;
        index |= 4;
    }
    if (w & 0xCCCCCCCCu) {
        w &= 0xCCCCCCCCu;
        index |= 2;
    }
    if (w & 0xAAAAAAAAu) index |= 1;
    return index;
}

void colourTo565(uint16_t* destination, const uint32_t* source) {
    uint32_t v = *source;
    *destination =
        static_cast<uint16_t>(((v >> 8) & 0xF800) | ((v >> 5) & 0x07E0) | ((v >> 3) & 0x001F));
}

void colourTo555(uint16_t* destination, const uint32_t* source) {
    uint32_t v = *source;
    *destination =
        static_cast<uint16_t>(((v >> 9) & 0x7C00) | ((v >> 6) & 0x03E0) | ((v >> 3) & 0x001F));
}

int ddGetBitsPerPixel(const ScreenPixelFormat& format) {
    return format.redMask == 0x7C00 ? 15 : 16;
}
