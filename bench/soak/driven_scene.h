// The benchmark's heavy frame (bench/frame_scenes.h) drawn as a host draws:
// through the driver's entry points, its textures loaded as host images.
// With churn, every frame also loads a texture, unloads one, modifies one
// and draws with more textures than the card's memory holds, so that the
// driver's cache evicts and uploads every frame.
#pragma once

#include <cstdint>
#include <vector>

#include "api/kxapi_records.h"
#include "bench/frame_scenes.h"
#include "host/entry_points.h"

struct DrivenScene {
    const KxEntryPoints* api = nullptr;
    Scene scene;
    std::vector<const Draw*> draws; // what each frame draws of the scene
    // Host images stay in place while their textures are loaded: the driver
    // reads them again whenever it converts a texture.
    std::vector<std::vector<uint32_t>> images;
    std::vector<TextureRecord*> textures;
    bool churn = false;
    // The churn's textures: two images each, so that ModifyTexture always
    // gets the one the driver is not reading.
    std::vector<std::vector<uint32_t>> churnImages[2];
    std::vector<int> churnShown; // which of the two each record uses
    std::vector<TextureRecord*> churnTextures;
};

// After Init: the scene, its textures loaded. `draws` (0: all) thins the
// scene to that many draws, spread evenly over it, for slow machines.
void drivenLoad(DrivenScene& s, const KxEntryPoints& api, int draws, bool churn);
// Draws frame `frame` (0, 1, ...) and ends it with PageFlip.
void drivenFrame(DrivenScene& s, int frame);
// Unloads every texture the scene loaded.
void drivenUnload(DrivenScene& s);

// The shown frame read back (BltFromCard) and hashed.
uint32_t shownFrameChecksum(const KxEntryPoints& api);

// Filtering, 2 x 2 supersampling and dithering on, and softsgl's band
// threads, for the next load of the driver (its variables, which a settings
// file does not override).
void chooseQualitySettings(int threads);
