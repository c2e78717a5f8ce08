// A 5 x 7 pixel font for the demo's signs and HUD: digits, capitals, ':' and '-'.
#pragma once

#include <cstdint>

// Width in pixels of `text` drawn at `scale` (glyphs 5 wide, 1 apart).
int textWidth(const char* text, int scale);

// Sets the pixels of `text` to `index` in an 8-bit image, glyph pixels
// scale x scale large, top-left corner at (x, y); clipped to the image.
// Characters without a glyph are drawn as spaces.
void drawText(uint8_t* pixels, int width, int height, int pitch, int x, int y, const char* text,
              int scale, uint8_t index);
