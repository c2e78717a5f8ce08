// The frames that kxbench draws with softsgl and with Mesa's llvmpipe, and
// whose instructions bench/instructions_32_64.sh counts, with what it takes
// to queue them into softsgl.
//
// frame_scene: the demo's kind of frame, 1,000 textured, perspective-correct,
// depth-tested, Gouraud-shaded triangles covering 640 x 480 about once.
// frame_heavy: what games send more: 10,000 triangles, about four layers of
// overdraw, a quarter of them blended (smoke: vertex alpha and a texture of
// partial alphas), a third of them under 4 pixels (debris far away), four
// textures of three sizes.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/sgl.h"

struct SceneTexture {
    int side;
    int mapType;
    std::vector<uint32_t> texels; // bytes red, green, blue, transparency
};

// One sgltri_triangles call: a fan of 3 or 4 vertices as the driver sends
// it, under blending or not.
struct Draw {
    int texture; // index into the scene's textures, -1: none
    bool blending;
    bool translucent; // has partial alpha: Mesa draws it blended, after the rest
    std::vector<SGLVERTEX> fan;
};

struct Scene {
    std::vector<SceneTexture> textures;
    std::vector<Draw> draws;
};

Scene lightScene();
Scene heavyScene();

// Queueing a scene into SGL (frame_queue.cpp, which needs SGL's library).
// The scene's textures made in softsgl; their names.
std::vector<int> createSceneTextures(const Scene& scene);
// sgltri_startofframe, then every draw of the scene (unless `empty`).
void queueScene(const Scene& scene, const std::vector<int>& textureNames, SGLCONTEXT& ctx,
                bool empty = false);
