// Private helpers shared by the texture files.
#pragma once

#include "texture/texture.h"

// The table of records, in the order they were loaded.
extern TextureRecord* textureTable[kTextureTableSize];
extern int32_t textureCount;

// The record has an image the conversion can read: pixels, a size and one of
// the host formats.
inline bool isConvertibleTexture(const TextureRecord* record) {
    return record && record->pixels &&
           hostImageBytes(record->width, record->height, record->format) != 0;
}
