// Private helpers shared by the texture files.
#pragma once

#include "texture/texture.h"

// The record has an image the conversion can read: a size, pixels and one of
// the six host formats.
inline bool isConvertibleTexture(const TextureRecord* record) {
    return record && record->width > 0 && record->height > 0 && record->pixels &&
           record->format <= 5;
}
