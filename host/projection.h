// The host's side of 3D: a camera, perspective projection into the driver's
// screen-space vertices, and clipping against the near plane and the screen.
#pragma once

#include <cstdint>

#include "api/kxapi.h"

struct Vec3 {
    float x, y, z;
};

// A polygon corner in world space with its texture coordinates and colour.
struct WorldVertex {
    Vec3 p;
    float u, v;
    uint32_t colour; // 0xAARRGGBB
};

struct Camera {
    Vec3 position{0, 0, 0};
    float yaw = 0;     // radians, turning right
    float pitch = 0;   // radians, looking down
    float focal = 400; // pixels per unit at depth 1
    float width = 640, height = 480;
    float nearZ = 0.25f;
};

constexpr int kMaxFanVertices = 16;

Vec3 toCameraSpace(const Camera& camera, Vec3 world);

// The depth word handed to the driver for a camera-space depth: 0 at the near
// plane, growing toward 1 with distance (1/w falls as the depth grows).
float depthValue(const Camera& camera, float cameraZ);

// Clips a convex world polygon (at most 8 corners) against the near plane,
// projects it, clips it to the screen and writes it as one fan of at most 16
// host vertices, with u and v divided by w. Returns the vertex count, 0 when
// nothing is visible.
int projectPolygon(const Camera& camera, const WorldVertex* polygon, int count, HostVertex* out);

// Projects a fan (at most 16 world vertices) without clipping; false when
// any vertex lies behind the near plane or off the screen. For small shapes
// such as blobs and glows whose centre must stay vertex 0.
bool projectFan(const Camera& camera, const WorldVertex* fan, int count, HostVertex* out);

// Clips a convex screen-space polygon (at most 12 vertices) to the screen.
int clipToScreen(const Camera& camera, const HostVertex* polygon, int count, HostVertex* out);

// A line segment in world space, clipped and projected to two host vertices.
// False when no part of it is visible.
bool projectSegment(const Camera& camera, Vec3 a, Vec3 b, uint32_t colourA, uint32_t colourB,
                    HostVertex out[2]);

// A point in world space; false when it lies behind the near plane or off screen.
bool projectPoint(const Camera& camera, Vec3 p, uint32_t colour, HostVertex& out);

// True when a projected fan winds clockwise as seen on the screen: a polygon
// whose corners run clockwise seen from its front faces the camera.
bool facesCamera(const HostVertex* fan, int count);

// A screen-space vertex at a given camera depth (for sky, sun and overlays).
HostVertex screenVertex(const Camera& camera, float x, float y, float cameraZ, uint32_t colour,
                        float u = 0, float v = 0);

// Colour arithmetic on 0xAARRGGBB words.
uint32_t lerpColour(uint32_t a, uint32_t b, float t);
uint32_t withAlpha(uint32_t colour, uint32_t alpha);
