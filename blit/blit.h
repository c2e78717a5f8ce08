// Blits of host images into the back buffer, and read-back of the screen.
#pragma once

#include <cstdint>

typedef void (*BltKernel)(const uint8_t* source, int32_t x, int32_t y, int32_t width,
                          int32_t height, int32_t sourcePitch, uint32_t format,
                          const uint32_t* palette);
typedef void (*StretchBltKernel)(int32_t x, int32_t y, int32_t width, int32_t height,
                                 const uint8_t* source, int32_t sourceWidth,
                                 int32_t sourceHeight, int32_t sourcePitch, uint32_t format,
                                 const uint32_t* palette);

extern BltKernel activeBlt;
extern StretchBltKernel activeStretchBlt;

void blt(const uint8_t* source, int32_t x, int32_t y, int32_t width, int32_t height,
         int32_t sourcePitch, uint32_t format, const uint32_t* palette);
void bltC(const uint8_t* source, int32_t x, int32_t y, int32_t width, int32_t height,
          int32_t sourcePitch, uint32_t format, const uint32_t* palette);
void stBlt(int32_t x, int32_t y, int32_t width, int32_t height, const uint8_t* source,
           int32_t sourceWidth, int32_t sourceHeight, int32_t sourcePitch, uint32_t format,
           const uint32_t* palette);
void stBltC(int32_t x, int32_t y, int32_t width, int32_t height, const uint8_t* source,
            int32_t sourceWidth, int32_t sourceHeight, int32_t sourcePitch, uint32_t format,
            const uint32_t* palette);
