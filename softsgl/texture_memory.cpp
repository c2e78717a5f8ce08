// Texture memory: square maps of 32 to 256 texels a side in a budget of
// bytes, two bytes per texel as on the card.
#include <cstring>

#include "softsgl/softsgl_control.h"
#include "softsgl/softsgl_state.h"

namespace softsgl {
namespace {

std::unordered_map<int, Texture> textures;
int budget = kDefaultTextureBudget;
int64_t used = 0;
int lastName = 0;
// Texel storage of deleted textures, reused by the next texture of the same
// side: textures come and go all the time under eviction, and a fresh
// 256 KiB block is a fresh mapping to fault in.
std::vector<std::vector<uint32_t>> spareTexels;

int64_t costOf(int side) {
    return int64_t(side) * side * kBytesPerTexel;
}

bool mapFits(const sgl_intermediate_map* map, int side) {
    return map && std::memcmp(map->id, "IMAP", 4) == 0 && map->xDim == side && map->yDim == side &&
           map->pixels;
}

// Names count up from 1 and are not reused while the counter lasts, so a
// stale name never picks up somebody else's texels.
bool anyTransparentTexel(const std::vector<uint32_t>& texels) {
    uint32_t any = 0;
    for (uint32_t t : texels)
        any |= t;
    return (any >> 24) != 0;
}

int newName() {
    do {
        lastName = lastName == INT32_MAX ? 1 : lastName + 1;
    } while (textures.count(lastName));
    return lastName;
}

} // namespace

const Texture* findTexture(int name) {
    auto it = textures.find(name);
    return it == textures.end() ? nullptr : &it->second;
}

} // namespace softsgl

using namespace softsgl;

SGL_API int SGL_CALL sgl_get_free_texture_mem(void) {
    int failed;
    if (enterCall("sgl_get_free_texture_mem", {}, &failed)) return failed;
    return used >= budget ? 0 : int(budget - used);
}

SGL_API int SGL_CALL sgl_create_texture(int mapType, int mapSize, int mipmap, int dither,
                                        sgl_intermediate_map* map, void* filteredMaps) {
    int failed;
    if (enterCall("sgl_create_texture",
                  {mapType, mapSize, mipmap, dither, pointerArg(map), pointerArg(filteredMaps)},
                  &failed))
        return failed;
    if ((mapType != SGL_MAP_OPAQUE && mapType != SGL_MAP_TRANSLUCENT) || mapSize < 0 || mapSize > 3)
        return kErrBadParameter;
    int side = 32 << mapSize;
    if (!mapFits(map, side)) return kErrBadParameter;
    if (used + costOf(side) > budget) return SGL_ERR_TEXTURE_MEMORY_FULL;
    int name = newName();
    Texture& t = textures[name];
    t.side = side;
    t.shift = 5 + mapSize;
    t.mapType = mapType;
    for (size_t i = 0; i < spareTexels.size(); ++i)
        if (spareTexels[i].size() == size_t(side) * side) {
            t.texels.swap(spareTexels[i]);
            spareTexels.erase(spareTexels.begin() + long(i));
            break;
        }
    const uint32_t* texels = static_cast<const uint32_t*>(map->pixels);
    t.texels.assign(texels, texels + side * side);
    t.anyTransparent = anyTransparentTexel(t.texels);
    used += costOf(side);
    return name;
}

SGL_API int SGL_CALL sgl_set_texture(int name, int mipLevel, int regenerate,
                                     sgl_intermediate_map* map, void* filteredMaps) {
    int failed;
    if (enterCall("sgl_set_texture",
                  {name, mipLevel, regenerate, pointerArg(map), pointerArg(filteredMaps)}, &failed))
        return failed;
    auto it = textures.find(name);
    if (it == textures.end()) return kErrNoSuchTexture;
    Texture& t = it->second;
    if (mipLevel != 0 || !mapFits(map, t.side)) return kErrBadParameter;
    std::memcpy(t.texels.data(), map->pixels, t.texels.size() * sizeof(uint32_t));
    t.anyTransparent = anyTransparentTexel(t.texels);
    return 0;
}

SGL_API void SGL_CALL sgl_delete_texture(int name) {
    int failed;
    if (enterCall("sgl_delete_texture", {name}, &failed)) return;
    auto it = textures.find(name);
    if (it == textures.end()) return;
    used -= costOf(it->second.side);
    if (spareTexels.size() < 16) spareTexels.push_back(std::move(it->second.texels));
    textures.erase(it);
}

void softsglSetTextureBudget(int bytes) {
    budget = bytes < 0 ? 0 : bytes;
}
int softsglTextureBudget() {
    return budget;
}
int softsglLiveTextures() {
    return int(textures.size());
}

int softsglLastTextureName() {
    return lastName;
}

const uint32_t* softsglTexels(int name, int* side, int* mapType) {
    const Texture* t = findTexture(name);
    if (!t) return nullptr;
    if (side) *side = t->side;
    if (mapType) *mapType = t->mapType;
    return t->texels.data();
}
