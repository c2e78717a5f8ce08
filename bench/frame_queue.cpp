// The benchmark scenes queued into SGL: apart from the scenes themselves,
// so that a host program that draws them through the driver (bench/soak)
// can take the scenes without linking sgl.dll.
#include <cstddef>

#include "bench/frame_scenes.h"

std::vector<int> createSceneTextures(const Scene& scene) {
    std::vector<int> names;
    for (const SceneTexture& t : scene.textures) {
        sgl_intermediate_map map{
            {'I', 'M', 'A', 'P'}, t.side, t.side, const_cast<uint32_t*>(t.texels.data())};
        const int sizeCode = t.side == 32 ? 0 : t.side == 64 ? 1 : t.side == 128 ? 2 : 3;
        names.push_back(sgl_create_texture(t.mapType, sizeCode, 2, 0, &map, nullptr));
    }
    return names;
}

void queueScene(const Scene& scene, const std::vector<int>& textureNames, SGLCONTEXT& ctx,
                bool empty) {
    static int32_t fan[2][3] = {{0, 1, 2}, {0, 2, 3}};
    ctx.flags = SGLTT_DEFAULT_FLAGS;
    sgltri_startofframe(&ctx);
    if (empty) return;
    for (const Draw& d : scene.draws) {
        ctx.flags = d.texture < 0 ? SGLTT_DEFAULT_FLAGS & ~SGLTT_TEXTURE : SGLTT_DEFAULT_FLAGS;
        if (d.blending) ctx.flags = (ctx.flags & ~SGLTT_NOBLEND) | SGLTT_VERTEXTRANS;
        ctx.textureName = d.texture < 0 ? 0 : textureNames[size_t(d.texture)];
        sgltri_triangles(&ctx, int(d.fan.size()) - 2, fan, const_cast<SGLVERTEX*>(d.fan.data()));
    }
}
