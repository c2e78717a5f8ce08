// The SGL operations the driver imports from sgl.dll (libsgl.so on Linux),
// with the records it exchanges with the library.
#pragma once

#include <cstdint>

#include "platform/callconv.h"

#if defined(SGL_BUILDING_LIBRARY)
#define SGL_API extern "C" KX_DLLEXPORT
#elif defined(_WIN32)
#define SGL_API extern "C" KX_DLLIMPORT
#else
#define SGL_API extern "C"
#endif

// The render context: 36 32-bit words in the library's layout.
struct SGLCONTEXT {
    uint32_t fogOn;         // word 0
    float fogRed;           // word 1
    float fogGreen;         // word 2
    float fogBlue;          // word 3
    uint32_t fogDensity;    // word 4
    uint32_t cullBackFaces; // word 5
    uint32_t flags;         // word 6
    int32_t textureName;    // word 7
    uint32_t words8to35[28];
};
static_assert(sizeof(SGLCONTEXT) == 144, "SGLCONTEXT is 36 words");

// Render flag bits (word 6).
constexpr uint32_t SGLTT_ALWAYS_SET = 0x00000001;
constexpr uint32_t SGLTT_TEXTURE = 0x00000002;
constexpr uint32_t SGLTT_VERTEXTRANS = 0x00000200;
constexpr uint32_t SGLTT_NOBLEND = 0x00040000;
constexpr uint32_t SGLTT_DEFAULT_FLAGS = 0x000E0003;

// Word n (8 to 35) of a context, for the words that have no name of their own.
inline uint32_t& sglContextWord(SGLCONTEXT& c, int n) {
    return c.words8to35[n - 8];
}
inline uint32_t sglContextWord(const SGLCONTEXT& c, int n) {
    return c.words8to35[n - 8];
}

struct SGLVERTEX {
    float x, y, z;
    float invW;
    uint32_t colour;   // 0xAARRGGBB
    uint32_t specular; // the driver always sends 0
    float uOverW, vOverW;
};
static_assert(sizeof(SGLVERTEX) == 32, "SGLVERTEX is 8 words");

// The library's intermediate texture map.
struct sgl_intermediate_map {
    char id[4]; // 'I', 'M', 'A', 'P'
    int32_t xDim;
    int32_t yDim;
    void* pixels; // xDim x yDim 32-bit texels, bytes red, green, blue, transparency
};

// The render target the driver hands back through the address callback.
struct AddressCallbackParams {
    void* address;        // first byte of the target buffer
    uint16_t stride;      // bytes from one row to the next
    uint8_t bitsPerPixel; // 15 or 16
};
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(void*) == 4, "32-bit build");
#endif

// The library's version record: text pointers; the fourth is the version ("0046h").
struct sgl_win_versions {
    const char* text[6];
};

typedef int(SGL_CALL* sgl_address_callback)(AddressCallbackParams* params);
typedef int(SGL_CALL* sgl_eor_callback)(void);

constexpr int SGL_ERR_TEXTURE_MEMORY_FULL = -243;
constexpr int SGL_MAP_OPAQUE = 1;
constexpr int SGL_MAP_TRANSLUCENT = 4;

SGL_API sgl_win_versions* SGL_CALL sgl_get_win_versions(void);
SGL_API int SGL_CALL sgl_use_address_mode(sgl_address_callback callback, int32_t* status);
SGL_API int SGL_CALL sgl_use_eor_callback(sgl_eor_callback callback);
SGL_API int SGL_CALL sgl_create_screen_device(int device, int width, int height, int colourMode,
                                              int doubleBuffer);
SGL_API void SGL_CALL sgl_delete_device(int device);
SGL_API int SGL_CALL sgltri_startofframe(SGLCONTEXT* context);
SGL_API void SGL_CALL sgltri_points(SGLCONTEXT* context, int count, SGLVERTEX* vertices);
SGL_API void SGL_CALL sgltri_lines(SGLCONTEXT* context, int count, uint16_t (*pairs)[2],
                                   SGLVERTEX* vertices);
SGL_API void SGL_CALL sgltri_triangles(SGLCONTEXT* context, int count, int32_t (*triples)[3],
                                       SGLVERTEX* vertices);
SGL_API int SGL_CALL sgltri_render(SGLCONTEXT* context);
SGL_API int SGL_CALL sgltri_isrendercomplete(SGLCONTEXT* context, uint32_t timeout);
SGL_API int SGL_CALL sgl_get_free_texture_mem(void);
SGL_API int SGL_CALL sgl_create_texture(int mapType, int mapSize, int mipmap, int dither,
                                        sgl_intermediate_map* map, void* filteredMaps);
SGL_API int SGL_CALL sgl_set_texture(int name, int mipLevel, int regenerate,
                                     sgl_intermediate_map* map, void* filteredMaps);
SGL_API void SGL_CALL sgl_delete_texture(int name);
