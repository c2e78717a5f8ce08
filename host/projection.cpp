#include "host/projection.h"

#include <cmath>

namespace {

// A vertex between clipping stages: every attribute that varies linearly
// along a clipped edge, colour as four floats.
struct ClipVertex {
    float a[10]; // x, y, z, 1/w, u/w, v/w, a, r, g, b  (or camera x, y, z, -, u, v, ...)
};

ClipVertex lerp(const ClipVertex& p, const ClipVertex& q, float t) {
    ClipVertex r;
    for (int i = 0; i < 10; ++i)
        r.a[i] = p.a[i] + (q.a[i] - p.a[i]) * t;
    return r;
}

void splitColour(uint32_t c, float* out) {
    out[0] = float((c >> 24) & 0xFF);
    out[1] = float((c >> 16) & 0xFF);
    out[2] = float((c >> 8) & 0xFF);
    out[3] = float(c & 0xFF);
}

uint32_t joinColour(const float* in) {
    uint32_t c = 0;
    for (int i = 0; i < 4; ++i) {
        float v = std::floor(in[i] + 0.5f);
        uint32_t b = v <= 0 ? 0 : v >= 255 ? 255 : uint32_t(v);
        c = (c << 8) | b;
    }
    return c;
}

// Sutherland-Hodgman against one plane: keeps the side where
// sign * (a[axis] - limit) >= 0.
int clipPlane(const ClipVertex* in, int n, ClipVertex* out, int axis, float limit, float sign) {
    int m = 0;
    for (int i = 0; i < n; ++i) {
        const ClipVertex& p = in[i];
        const ClipVertex& q = in[(i + 1) % n];
        float dp = sign * (p.a[axis] - limit), dq = sign * (q.a[axis] - limit);
        if (dp >= 0) out[m++] = p;
        if ((dp >= 0) != (dq >= 0)) out[m++] = lerp(p, q, dp / (dp - dq));
    }
    return m;
}

// Camera-space clip vertex to screen-space clip vertex.
ClipVertex project(const Camera& camera, const ClipVertex& c) {
    ClipVertex s = c;
    float invW = 1.0f / c.a[2];
    s.a[0] = camera.width * 0.5f + camera.focal * c.a[0] * invW;
    s.a[1] = camera.height * 0.5f - camera.focal * c.a[1] * invW;
    s.a[2] = depthValue(camera, c.a[2]);
    s.a[3] = invW;
    s.a[4] = c.a[4] * invW;
    s.a[5] = c.a[5] * invW;
    return s;
}

HostVertex toHost(const ClipVertex& s) {
    HostVertex h;
    h.x = s.a[0];
    h.y = s.a[1];
    h.z = s.a[2];
    h.invW = s.a[3];
    h.u = s.a[4];
    h.v = s.a[5];
    h.colour = joinColour(s.a + 6);
    return h;
}

ClipVertex fromWorld(const Camera& camera, Vec3 p, float u, float v, uint32_t colour) {
    ClipVertex c;
    Vec3 q = toCameraSpace(camera, p);
    c.a[0] = q.x;
    c.a[1] = q.y;
    c.a[2] = q.z;
    c.a[3] = 0;
    c.a[4] = u;
    c.a[5] = v;
    splitColour(colour, c.a + 6);
    return c;
}

bool onScreen(const Camera& camera, float x, float y) {
    return x >= 0 && y >= 0 && x <= camera.width && y <= camera.height;
}

// Clips the projected polygon a (n corners; b is scratch of the same size) to
// the four screen edges and writes what is left as host vertices.
int clipToEdges(const Camera& camera, ClipVertex* a, ClipVertex* b, int n, HostVertex* out) {
    n = clipPlane(a, n, b, 0, 0, 1);
    n = clipPlane(b, n, a, 0, camera.width, -1);
    n = clipPlane(a, n, b, 1, 0, 1);
    n = clipPlane(b, n, a, 1, camera.height, -1);
    if (n < 3) return 0;
    for (int i = 0; i < n; ++i)
        out[i] = toHost(a[i]);
    return n;
}

} // namespace

Vec3 toCameraSpace(const Camera& camera, Vec3 world) {
    float x = world.x - camera.position.x;
    float y = world.y - camera.position.y;
    float z = world.z - camera.position.z;
    float cy = std::cos(camera.yaw), sy = std::sin(camera.yaw);
    float x1 = x * cy - z * sy;
    float z1 = x * sy + z * cy;
    float cp = std::cos(camera.pitch), sp = std::sin(camera.pitch);
    return Vec3{x1, y * cp + z1 * sp, z1 * cp - y * sp};
}

float depthValue(const Camera& camera, float cameraZ) {
    return 1.0f - camera.nearZ / cameraZ;
}

int projectPolygon(const Camera& camera, const WorldVertex* polygon, int count, HostVertex* out) {
    if (count < 3 || count > 8) return 0;
    ClipVertex a[kMaxFanVertices + 2], b[kMaxFanVertices + 2];
    for (int i = 0; i < count; ++i)
        a[i] = fromWorld(camera, polygon[i].p, polygon[i].u, polygon[i].v, polygon[i].colour);
    int n = clipPlane(a, count, b, 2, camera.nearZ, 1);
    if (n < 3) return 0;
    for (int i = 0; i < n; ++i)
        a[i] = project(camera, b[i]);
    // Each of the four screen edges adds at most one corner: 8 + 1 + 4 stays within a fan.
    return clipToEdges(camera, a, b, n, out);
}

bool projectFan(const Camera& camera, const WorldVertex* fan, int count, HostVertex* out) {
    if (count < 3 || count > kMaxFanVertices) return false;
    for (int i = 0; i < count; ++i) {
        ClipVertex c = fromWorld(camera, fan[i].p, fan[i].u, fan[i].v, fan[i].colour);
        if (c.a[2] < camera.nearZ) return false;
        c = project(camera, c);
        if (!onScreen(camera, c.a[0], c.a[1])) return false;
        out[i] = toHost(c);
    }
    return true;
}

int clipToScreen(const Camera& camera, const HostVertex* polygon, int count, HostVertex* out) {
    if (count < 3 || count > 12) return 0;
    ClipVertex a[kMaxFanVertices + 2], b[kMaxFanVertices + 2];
    for (int i = 0; i < count; ++i) {
        const HostVertex& h = polygon[i];
        float v[6] = {h.x, h.y, h.z, h.invW, h.u, h.v};
        for (int k = 0; k < 6; ++k)
            a[i].a[k] = v[k];
        splitColour(h.colour, a[i].a + 6);
    }
    return clipToEdges(camera, a, b, count, out);
}

bool projectSegment(const Camera& camera, Vec3 a, Vec3 b, uint32_t colourA, uint32_t colourB,
                    HostVertex out[2]) {
    ClipVertex p = fromWorld(camera, a, 0, 0, colourA);
    ClipVertex q = fromWorld(camera, b, 0, 0, colourB);
    if (p.a[2] < camera.nearZ && q.a[2] < camera.nearZ) return false;
    if (p.a[2] < camera.nearZ) p = lerp(p, q, (camera.nearZ - p.a[2]) / (q.a[2] - p.a[2]));
    if (q.a[2] < camera.nearZ) q = lerp(q, p, (camera.nearZ - q.a[2]) / (p.a[2] - q.a[2]));
    p = project(camera, p);
    q = project(camera, q);
    // Liang-Barsky against the screen rectangle.
    float t0 = 0, t1 = 1;
    float d[2] = {q.a[0] - p.a[0], q.a[1] - p.a[1]};
    float lo[2] = {0, 0}, hi[2] = {camera.width - 1, camera.height - 1};
    for (int axis = 0; axis < 2; ++axis) {
        float s[2] = {-d[axis], d[axis]};
        float r[2] = {p.a[axis] - lo[axis], hi[axis] - p.a[axis]};
        for (int k = 0; k < 2; ++k) {
            if (s[k] == 0) {
                if (r[k] < 0) return false;
            } else {
                float t = r[k] / s[k];
                if (s[k] < 0) {
                    if (t > t1) return false;
                    if (t > t0) t0 = t;
                } else {
                    if (t < t0) return false;
                    if (t < t1) t1 = t;
                }
            }
        }
    }
    out[0] = toHost(lerp(p, q, t0));
    out[1] = toHost(lerp(p, q, t1));
    return true;
}

bool projectPoint(const Camera& camera, Vec3 p, uint32_t colour, HostVertex& out) {
    ClipVertex c = fromWorld(camera, p, 0, 0, colour);
    if (c.a[2] < camera.nearZ) return false;
    c = project(camera, c);
    if (!onScreen(camera, c.a[0], c.a[1]) || c.a[0] >= camera.width || c.a[1] >= camera.height)
        return false;
    out = toHost(c);
    return true;
}

bool facesCamera(const HostVertex* fan, int count) {
    float area = 0;
    for (int i = 0; i < count; ++i) {
        const HostVertex& p = fan[i];
        const HostVertex& q = fan[(i + 1) % count];
        area += p.x * q.y - q.x * p.y;
    }
    return area > 0; // y grows downward: clockwise on screen gives a positive sum
}

HostVertex screenVertex(const Camera& camera, float x, float y, float cameraZ, uint32_t colour,
                        float u, float v) {
    float invW = 1.0f / cameraZ;
    return HostVertex{x, y, depthValue(camera, cameraZ), invW, u * invW, v * invW, colour};
}

uint32_t lerpColour(uint32_t a, uint32_t b, float t) {
    float pa[4], pb[4], r[4];
    splitColour(a, pa);
    splitColour(b, pb);
    for (int i = 0; i < 4; ++i)
        r[i] = pa[i] + (pb[i] - pa[i]) * t;
    return joinColour(r);
}

uint32_t withAlpha(uint32_t colour, uint32_t alpha) {
    return (colour & 0x00FFFFFF) | (alpha << 24);
}
