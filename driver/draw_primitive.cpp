// DrawPrimitive: host points, lines and triangle fans into the open SGL frame.
#include "driver/draw_primitive.h"

#include "api/kxapi.h"
#include "driver/driver_state.h"
#include "texture/texture.h"

int32_t fanIndexTable[14][3];

// Vertices one sgltri_triangles call takes: the table's 14 triangles.
constexpr int32_t kFanVertices = 16;

void initFanIndexTable() {
    for (int32_t i = 0; i < 14; ++i) {
        fanIndexTable[i][0] = 0;
        fanIndexTable[i][1] = i + 1;
        fanIndexTable[i][2] = i + 2;
    }
}

void convertPointVertex(SGLVERTEX* destination, const HostVertex* source) {
    destination->x = source->x;
    destination->y = source->y;
    destination->z = source->z;
    destination->invW = source->invW;
    destination->colour = source->colour;
    destination->specular = 0;
    destination->uOverW = 0.0f;
    destination->vOverW = 0.0f;
}

void convertFanVertex(SGLVERTEX* destination, const HostVertex* source) {
    convertPointVertex(destination, source);
    destination->uOverW = source->u;
    destination->vOverW = source->v;
}

KXAPI void KX_CDECL DrawPrimitive(const HostVertex* vertices, int32_t count) {
    // Without a started driver no frame is open to queue into.
    if (!driverInitialised) return;
    if (!currentTexture) {
        sglContext.textureName = 0;
        sglContext.flags &= ~SGLTT_TEXTURE;
    }
    if (count < 1 || !vertices) return;
    // No eviction may delete its texture before the frame is rendered.
    if (sglContext.flags & SGLTT_TEXTURE) textureCache.KeepForOpenFrame(sglContext.textureName);
    SGLVERTEX converted[kFanVertices];
    if (count == 1) {
        convertPointVertex(&converted[0], &vertices[0]);
        sgltri_points(&sglContext, 1, converted);
        return;
    }
    if (count == 2) {
        convertPointVertex(&converted[0], &vertices[0]);
        convertPointVertex(&converted[1], &vertices[1]);
        uint16_t lineIndexPair[1][2] = {{0, 1}};
        sgltri_lines(&sglContext, 1, lineIndexPair, converted);
        return;
    }
    if (alphaBlendMode == 1) {
        int32_t i = 0;
        while (i < count && (vertices[i].colour >> 24) == 0xFF)
            ++i;
        if (i == count)
            sglContext.flags &= ~SGLTT_VERTEXTRANS;
        else
            sglContext.flags |= SGLTT_VERTEXTRANS;
    }
    if (count <= kFanVertices) {
        for (int32_t i = 0; i < count; ++i)
            convertFanVertex(&converted[i], &vertices[i]);
        sgltri_triangles(&sglContext, count - 2, fanIndexTable, converted);
        return;
    }
    // A longer fan goes as consecutive fans of up to 16 vertices around the
    // same vertex 0, each starting at the last vertex of the one before, so
    // that every one of its count - 2 triangles is drawn.
    convertFanVertex(&converted[0], &vertices[0]);
    for (int32_t first = 1; count - first >= 2;) {
        int32_t n = count - first < kFanVertices - 1 ? count - first : kFanVertices - 1;
        for (int32_t k = 0; k < n; ++k)
            convertFanVertex(&converted[1 + k], &vertices[first + k]);
        sgltri_triangles(&sglContext, n - 1, fanIndexTable, converted);
        first += n - 1;
    }
}
