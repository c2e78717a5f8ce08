// The display's 16-bit pixel layout and the conversion of host colours into it.
#pragma once

#include <cstdint>

#include "platform/directdraw.h"

typedef void (*ColourConverter)(uint16_t* destination, const uint32_t* source);

struct ScreenPixelFormat {
    uint32_t redMask, greenMask, blueMask;
    int32_t redShift, greenShift, blueShift;
    ColourConverter screenColourConverter;
};

// The screen format of a display whose primary surface has that pixel format.
ScreenPixelFormat screenPixelFormatOf(const DDPIXELFORMAT& primary);
void ddGetPixelFormat(const DDPIXELFORMAT& primary, uint32_t* redMask, uint32_t* greenMask,
                      uint32_t* blueMask, int32_t* redShift, int32_t* greenShift,
                      int32_t* blueShift);
int highestBitIndex(uint32_t value);
void colourTo565(uint16_t* destination, const uint32_t* source);
void colourTo555(uint16_t* destination, const uint32_t* source);
// 15 on a 5-5-5 display (red mask 0x7C00), else 16.
int ddGetBitsPerPixel(const ScreenPixelFormat& format);

// One component of a screen pixel as an 8-bit value: (pixel & mask) moved so
// that the mask's top bit lands on bit 7.
inline uint8_t extractComponent(uint32_t pixel, uint32_t mask, int32_t shift) {
    uint32_t v = pixel & mask;
    return static_cast<uint8_t>(shift > 0 ? v >> shift : v << -shift);
}
