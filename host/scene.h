// The demo's scripted scene: a short drive down a road at dusk past numbered
// signs, with a spinning crate ahead, drawn through the driver's entry
// points. Everything is animated by frame number, so every run draws the
// same frames.
#pragma once

#include <vector>

#include "host/art.h"
#include "host/entry_points.h"
#include "host/projection.h"

constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;
constexpr int kSignTextureCount = 48; // 256 x 256 each: more than texture memory holds
constexpr int kMonitorFrames = 8;

// Seconds spent in the driver, by kind of work.
struct StageTimes {
    double render = 0; // DrawPrimitive, PageFlip and the frame's first blit (it renders the scene)
    double blits = 0;  // the other blits
    double textures = 0; // SelectTexture, ModifyTexture, LoadPalette
    double readBack = 0; // BltFromCard
};

struct DemoScene {
    const KxEntryPoints* api = nullptr;
    std::vector<uint32_t> palette; // the global palette last loaded; kept alive for the driver
    // Images stay in place while their textures are loaded: the driver reads
    // them again whenever it converts a texture.
    std::vector<HostImage> signImages;
    std::vector<HostImage> monitorFrames;
    HostImage road, grass, crate, plasma, metal, cloud, tree, ship, title, score;
    std::vector<TextureRecord*> signs;
    TextureRecord *roadTexture = nullptr, *grassTexture = nullptr, *crateTexture = nullptr,
                  *plasmaTexture = nullptr, *metalTexture = nullptr, *monitorTexture = nullptr,
                  *cloudTexture = nullptr, *treeTexture = nullptr;
    int monitorShown = -1;
    bool firstBlitDone = false;
};

// After Init: sets the render states, loads the palette and every texture.
void sceneLoad(DemoScene& scene, const KxEntryPoints& api);
// Draws frame `frame` (0, 1, ...) and ends it with PageFlip.
void sceneFrame(DemoScene& scene, int frame, StageTimes& times);
// Number of texture records the scene has loaded.
int sceneTextureCount(const DemoScene& scene);
// Frees every texture record.
void sceneUnload(DemoScene& scene);

// The camera of a frame (exposed for the tests' own scenes).
Camera sceneCamera(int frame);
