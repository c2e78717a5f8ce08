// Which pixels a primitive covers: the fill rule with sub-pixel nudges,
// shared edges, fans, points and lines, the render area, culling and clipping.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <random>

#include "softsgl/softsgl_control.h"
#include "softsgl_helpers.h"

namespace {

const std::vector<std::pair<uint16_t, char>> kInk = {{0, '.'}, {0xFFFF, '#'}, {0xBEEF, 'x'}};

// Draws the quad (x0, y0)-(x1, y1) as two white triangles split along its
// diagonal and returns the picture of a w x h target.
std::string quad(float x0, float y0, float x1, float y1, int w = 6, int h = 4) {
    MemoryTarget t;
    setUpScreen(t, w, h);
    SGLCONTEXT ctx = defaultContext();
    sgltri_startofframe(&ctx);
    drawRect(ctx, x0, y0, x1, y1);
    renderFrame(ctx);
    return picture(t, w, h, kInk);
}

// Draws the line a-b on a 7 x 4 target and returns its picture.
std::string line(SGLVERTEX a, SGLVERTEX b) {
    MemoryTarget t;
    setUpScreen(t, 7, 4);
    SGLCONTEXT ctx = defaultContext();
    SGLVERTEX ends[2] = {a, b};
    uint16_t pair[1][2] = {{0, 1}};
    sgltri_startofframe(&ctx);
    sgltri_lines(&ctx, 1, pair, ends);
    renderFrame(ctx);
    return picture(t, 7, 4, kInk);
}

TEST(SoftsglCoverage, TopLeftRuleOnPixelCentresAndSixteenthNudges) {
    // Edges through pixel centres: left and top edges take the pixels,
    // right and bottom edges do not.
    EXPECT_EQ(quad(0.5f, 0.5f, 3.5f, 2.5f), "###...\n"
                                            "###...\n"
                                            "......\n"
                                            "......\n");
    // A sixteenth of a pixel moves an edge past a centre.
    EXPECT_EQ(quad(0.5625f, 0.5f, 3.5625f, 2.5f), ".###..\n"
                                                  ".###..\n"
                                                  "......\n"
                                                  "......\n");
    EXPECT_EQ(quad(0.4375f, 0.4375f, 3.4375f, 2.4375f), "###...\n"
                                                        "###...\n"
                                                        "......\n"
                                                        "......\n");
    EXPECT_EQ(quad(0.4375f, 0.5625f, 3.5625f, 2.5625f), "......\n"
                                                        "####..\n"
                                                        "####..\n"
                                                        "......\n");
    // Less than a pixel wide, yet covering a centre: one column.
    EXPECT_EQ(quad(2.25f, 0.0f, 2.75f, 4.0f), "..#...\n"
                                              "..#...\n"
                                              "..#...\n"
                                              "..#...\n");
    // Covering no centre: nothing.
    EXPECT_EQ(quad(2.5625f, 0.0f, 3.4375f, 4.0f), "......\n"
                                                  "......\n"
                                                  "......\n"
                                                  "......\n");

    // A lone triangle in either winding: its sloped edge through centres is a
    // right edge.
    MemoryTarget t;
    setUpScreen(t, 6, 5);
    SGLCONTEXT ctx = defaultContext();
    const SGLVERTEX b = vtx(4.5f, 0.5f), c = vtx(0.5f, 4.5f);
    for (bool clockwise : {true, false}) {
        sgltri_startofframe(&ctx);
        drawTriangle(ctx, vtx(0.5f, 0.5f), clockwise ? b : c, clockwise ? c : b);
        renderFrame(ctx);
        EXPECT_EQ(picture(t, 6, 5, kInk), "####..\n"
                                          "###...\n"
                                          "##....\n"
                                          "#.....\n"
                                          "......\n")
            << clockwise;
    }
}

// Half-transparent white triangles over black: a pixel blended once is
// 0x8410 (128 of 255), twice 0xC618; anything else is a seam or overlap.
constexpr uint32_t kHalfWhite = 0x80FFFFFF;
const std::vector<std::pair<uint16_t, char>> kBlends = {{0, '.'}, {0x8410, '1'}, {0xC618, '2'}};

TEST(SoftsglCoverage, SharedEdgesAreCoveredExactlyOnce) {
    MemoryTarget t;
    setUpScreen(t, 6, 5);
    SGLCONTEXT ctx = blendingContext();
    sgltri_startofframe(&ctx);
    // The diagonal runs through pixel centres.
    drawTriangle(ctx, vtx(0.5f, 0.5f, kHalfWhite), vtx(4.5f, 0.5f, kHalfWhite),
                 vtx(0.5f, 4.5f, kHalfWhite));
    drawTriangle(ctx, vtx(4.5f, 0.5f, kHalfWhite), vtx(4.5f, 4.5f, kHalfWhite),
                 vtx(0.5f, 4.5f, kHalfWhite));
    renderFrame(ctx);
    EXPECT_EQ(picture(t, 6, 5, kBlends), "1111..\n"
                                         "1111..\n"
                                         "1111..\n"
                                         "1111..\n"
                                         "......\n");
}

TEST(SoftsglCoverage, TranslucentFanHasNoSeamsAndNoHoles) {
    // A 16-vertex fan (14 triangles) around an off-grid centre, as the
    // driver sends it, with rim points at awkward sub-pixel positions.
    const int W = 40, H = 40;
    MemoryTarget t;
    setUpScreen(t, W, H);
    SGLCONTEXT ctx = blendingContext();
    SGLVERTEX vs[16];
    const double cx = 19.37, cy = 20.11, radius = 17.3;
    vs[0] = vtx(float(cx), float(cy), kHalfWhite);
    for (int i = 1; i < 16; ++i) {
        double a = 2 * M_PI * (i - 1) / 14.0; // vertex 15 closes the rim on vertex 1
        vs[i] = vtx(float(cx + radius * std::cos(a)), float(cy + radius * std::sin(a)), kHalfWhite);
    }
    int32_t fan[14][3];
    for (int i = 0; i < 14; ++i)
        fan[i][0] = 0, fan[i][1] = i + 1, fan[i][2] = i + 2;
    sgltri_startofframe(&ctx);
    sgltri_triangles(&ctx, 14, fan, vs);
    renderFrame(ctx);
    int once = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            uint16_t p = t.at(x, y);
            ASSERT_TRUE(p == 0 || p == 0x8410) << "pixel " << x << "," << y << " = " << p;
            once += p == 0x8410;
            // Well inside the rim, nothing may be missing.
            double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            if (d < radius * std::cos(M_PI / 14) - 0.1) {
                EXPECT_EQ(p, 0x8410) << x << "," << y;
            }
            if (d > radius + 0.1) {
                EXPECT_EQ(p, 0) << x << "," << y;
            }
        }
    EXPECT_GT(once, 800);
}

TEST(SoftsglCoverage, PointsAndLines) {
    MemoryTarget t;
    setUpScreen(t, 7, 4);
    SGLCONTEXT ctx = defaultContext();
    sgltri_startofframe(&ctx);
    SGLVERTEX p[3] = {vtx(2.7f, 1.2f), vtx(6.99f, 3.99f), vtx(7.0f, 0.0f)}; // last: outside
    sgltri_points(&ctx, 3, p);
    renderFrame(ctx);
    EXPECT_EQ(picture(t, 7, 4, kInk), ".......\n"
                                      "..#....\n"
                                      ".......\n"
                                      "......#\n");

    // One pixel per column of the longer axis, both ends included.
    EXPECT_EQ(line(vtx(0.5f, 0.5f), vtx(5.5f, 2.5f)), "##.....\n"
                                                      "..##...\n"
                                                      "....##.\n"
                                                      ".......\n");
    // Steep, drawn from bottom to top, running off the area: x reaches 2
    // only above the area, at y = -7.4.
    EXPECT_EQ(line(vtx(1.2f, 3.7f), vtx(2.9f, -20.0f)), ".#.....\n"
                                                        ".#.....\n"
                                                        ".#.....\n"
                                                        ".#.....\n");
    // Steep with a sub-pixel run: y = 0.5 + 4 (x - 0.5).
    EXPECT_EQ(line(vtx(0.5f, 0.5f), vtx(1.5f, 4.5f)), "#......\n"
                                                      "#......\n"
                                                      ".#.....\n"
                                                      ".#.....\n");
    // A line of no length is a point.
    EXPECT_EQ(line(vtx(4.5f, 2.5f), vtx(4.5f, 2.5f)), ".......\n"
                                                      ".......\n"
                                                      "....#..\n"
                                                      ".......\n");
}

TEST(SoftsglCoverage, DrawsOnlyInsideTheDeviceAreaAndTheStride) {
    // Device 4 x 3 in a buffer of 8 pixels a row and 5 rows.
    MemoryTarget t;
    ASSERT_GE(setUpScreen(t, 4, 3, 16, 16, 5), 0);
    SGLCONTEXT ctx = defaultContext();
    sgltri_startofframe(&ctx);
    drawRect(ctx, -100, -100, 100, 100);
    SGLVERTEX l[2] = {vtx(-50, 1.5f), vtx(50, 1.5f)};
    uint16_t pair[1][2] = {{0, 1}};
    sgltri_lines(&ctx, 1, pair, l);
    SGLVERTEX p[1] = {vtx(5.5f, 0.5f)};
    sgltri_points(&ctx, 1, p);
    renderFrame(ctx);
    EXPECT_EQ(picture(t, 8, 5, kInk), "####xxxx\n"
                                      "####xxxx\n"
                                      "####xxxx\n"
                                      "xxxxxxxx\n"
                                      "xxxxxxxx\n");

    // A device wider than the stride holds: rows stop at the stride.
    MemoryTarget narrow;
    ASSERT_GE(setUpScreen(narrow, 10, 2, 16, 8, 3), 0);
    sgltri_startofframe(&ctx);
    drawRect(ctx, -100, -100, 100, 100);
    renderFrame(ctx);
    EXPECT_EQ(picture(narrow, 4, 3, kInk), "####\n"
                                           "####\n"
                                           "xxxx\n");
}

TEST(SoftsglCoverage, NonFiniteCoordinatesAreCulledAndHugeOnesClipped) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    MemoryTarget t;
    setUpScreen(t, 6, 4);
    SGLCONTEXT ctx = defaultContext();
    sgltri_startofframe(&ctx);
    drawTriangle(ctx, vtx(0, 0), vtx(nan, 0), vtx(0, 6));
    drawTriangle(ctx, vtx(0, 0), vtx(6, 0), vtx(0, inf));
    drawTriangle(ctx, vtx(0, 0), vtx(6, 0), vtx(0, 6, 0xFFFFFFFF, nan));
    drawTriangle(ctx, vtx(-inf, -inf), vtx(inf, 0), vtx(0, inf));
    SGLVERTEX bad[2] = {vtx(nan, 1), vtx(3, 1)};
    uint16_t pair[1][2] = {{0, 1}};
    sgltri_lines(&ctx, 1, pair, bad);
    sgltri_points(&ctx, 1, bad);
    renderFrame(ctx);
    EXPECT_EQ(picture(t, 6, 4, kInk), "......\n"
                                      "......\n"
                                      "......\n"
                                      "......\n");

    // Vertices a billion pixels away: the part on the area is exact, and
    // the time does not depend on the size.
    sgltri_startofframe(&ctx);
    drawTriangle(ctx, vtx(1.5f, 0.5f), vtx(1e9f, 0.5f), vtx(1.5f, 1e9f));
    drawTriangle(ctx, vtx(-1e9f, -1e9f), vtx(-1e9f + 5, -1e9f), vtx(-1e9f, 1e9f)); // off the area
    SGLVERTEX far[2] = {vtx(0.5f, 3.5f), vtx(3e9f, 3.5f)};
    sgltri_lines(&ctx, 1, pair, far);
    renderFrame(ctx);
    EXPECT_EQ(picture(t, 6, 4, kInk), ".#####\n"
                                      ".#####\n"
                                      ".#####\n"
                                      "######\n");
}

using Corners = std::array<std::pair<float, float>, 3>;

// Draws `rounds` triangles from `corners` (random, seeded alike every
// time) on a w x h target and returns, for each, how many pixels differ
// from what its three edge functions of the 28.4 positions enclose (E >= 0
// on left and top edges, E > 0 on the others).
template <class Make>
std::vector<int> coverByEdgeFunctions(int w, int h, int rounds, Make corners) {
    MemoryTarget t;
    setUpScreen(t, w, h);
    SGLCONTEXT ctx = defaultContext();
    std::mt19937 rng(7);
    std::vector<int> wrong;
    for (int round = 0; round < rounds; ++round) {
        const Corners at = corners(rng, round);
        SGLVERTEX v[3];
        int64_t X[3], Y[3];
        for (int i = 0; i < 3; ++i) {
            v[i] = vtx(at[i].first, at[i].second);
            X[i] = int64_t(std::floor(double(v[i].x) * 16 + 0.5));
            Y[i] = int64_t(std::floor(double(v[i].y) * 16 + 0.5));
        }
        const int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (Y[1] - Y[0]) * (X[2] - X[0]);
        if (area < 0) {
            std::swap(X[1], X[2]);
            std::swap(Y[1], Y[2]);
        }
        sgltri_startofframe(&ctx);
        drawTriangle(ctx, v[0], v[1], v[2]);
        renderFrame(ctx);
        int count = 0;
        for (int r = 0; r < h; ++r)
            for (int c = 0; c < w; ++c) {
                bool inside = area != 0;
                for (int i = 0; i < 3; ++i) {
                    const int64_t dx = X[(i + 1) % 3] - X[i], dy = Y[(i + 1) % 3] - Y[i];
                    const int64_t e = dx * (16 * r + 8 - Y[i]) - dy * (16 * c + 8 - X[i]);
                    inside = inside && e >= ((dy < 0 || (dy == 0 && dx > 0)) ? 0 : 1);
                }
                count += (t.at(c, r) == 0xFFFF) != inside;
            }
        wrong.push_back(count);
    }
    return wrong;
}

// Triangles reaching up to thousands of pixels off the area cover what
// their edge functions enclose, whatever the size.
TEST(SoftsglCoverage, LargeTrianglesCoverWhatTheirEdgeFunctionsEnclose) {
    const int w = 640, h = 480;
    const std::vector<int> wrong =
        coverByEdgeFunctions(w, h, 60, [&](std::mt19937& rng, int round) {
            const float reach = round % 2 ? 1100.0f : 6000.0f;
            std::uniform_real_distribution<float> coord(-reach, reach);
            Corners at;
            for (auto& c : at)
                c = {coord(rng) + w / 2, coord(rng) + h / 2};
            return at;
        });
    EXPECT_EQ(wrong, std::vector<int>(60, 0));
}

// Targets wider than 1024 pixels (a supersampled frame's): triangles up to
// and just over 1024 pixels across, anywhere along the rows and past the
// left edge, cover what their edge functions enclose.
TEST(SoftsglCoverage, TrianglesAnywhereOnAWideTargetCoverWhatTheirEdgeFunctionsEnclose) {
    const std::vector<int> wrong =
        coverByEdgeFunctions(2600, 40, 80, [](std::mt19937& rng, int round) {
            std::uniform_real_distribution<float> x(-900.0f, 3400.0f), y(-30.0f, 70.0f);
            const float across = round % 4 == 3 ? 1030.0f : 1020.0f;
            std::uniform_real_distribution<float> dx(-across, across), dy(-60.0f, 60.0f);
            Corners at;
            at[0] = {x(rng), y(rng)};
            for (int i = 1; i < 3; ++i)
                at[i] = {at[0].first + dx(rng), at[0].second + dy(rng)};
            return at;
        });
    EXPECT_EQ(wrong, std::vector<int>(80, 0));
}

} // namespace
