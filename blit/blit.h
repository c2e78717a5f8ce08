// Blits of host images into the render target, and read-back of the screen.
// The caller hands over the surface (as a RenderTarget), the key colour and
// the screen palette; nothing here reads another subsystem's state.
#pragma once

#include <cstdint>

#include "blit/pixel_format.h"

// A locked 16-bit display surface: the back buffer as the frame cycle last
// handed it to SGL, or the front buffer for the read-back. Screen pixel
// (x, y) is the 16-bit word at address + y * pitch + 2 * x.
struct RenderTarget {
    uint8_t* address;
    int32_t pitch; // bytes from one row to the next
    int32_t width, height;
    int valid; // 0: address designates no surface that may be written
};

// The four blits. pixelFormat is the screen's: its converter colours the
// palette handed with an image. screenPalette colours 8-bit images that
// bring no palette of their own; the keyed blits leave pixels whose colour
// equals key alone.
void blt(const RenderTarget& target, const ScreenPixelFormat& pixelFormat,
         const uint16_t* screenPalette, const uint8_t* source, int32_t x, int32_t y, int32_t width,
         int32_t height, int32_t sourcePitch, uint32_t format, const uint32_t* palette);
void bltC(const RenderTarget& target, const ScreenPixelFormat& pixelFormat,
          const uint16_t* screenPalette, uint16_t key, const uint8_t* source, int32_t x, int32_t y,
          int32_t width, int32_t height, int32_t sourcePitch, uint32_t format,
          const uint32_t* palette);
void stBlt(const RenderTarget& target, const ScreenPixelFormat& pixelFormat,
           const uint16_t* screenPalette, int32_t x, int32_t y, int32_t width, int32_t height,
           const uint8_t* source, int32_t sourceWidth, int32_t sourceHeight, int32_t sourcePitch,
           uint32_t format, const uint32_t* palette);
void stBltC(const RenderTarget& target, const ScreenPixelFormat& pixelFormat,
            const uint16_t* screenPalette, uint16_t key, int32_t x, int32_t y, int32_t width,
            int32_t height, const uint8_t* source, int32_t sourceWidth, int32_t sourceHeight,
            int32_t sourcePitch, uint32_t format, const uint32_t* palette);

// The top-left width x height pixels of the screen (clipped to it) into the
// host's buffer as 3-byte pixels blue, green, red, the lowest screen row
// first. Format 2 (888) is the only one copied.
void readBack(const RenderTarget& screen, uint8_t* destination, int32_t width, int32_t height,
              int32_t destinationPitch, uint32_t format, const ScreenPixelFormat& pixelFormat);
