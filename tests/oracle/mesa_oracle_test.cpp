// Mesa as an oracle on named scenes: each drawn through the driver's
// exports, with OpenGL on llvmpipe under the same rules, and by the exact
// model (oracle_scene.h). Interior pixels must agree with Mesa within one
// 565 step, up to a small count per scene (texel-boundary ties), and with
// the exact result everywhere off ties; drawn on 1, 2 and 3 threads, every
// scene gives the same pixels. The scenes again with their textures
// filtered, and filtered sprites, against GL_LINEAR (ties at an opacity
// threshold aside); supersampled against Mesa drawing the scaled scene at
// the larger size, box-averaged; and under every kernel level's cap the
// same frames. On a failure the test writes side-by-side and difference images.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/mesa_peer.h"
#include "cpu/kernel_level.h"
#include "host/hash.h"
#include "platform/posix/standin_control.h"
#include "softsgl/softsgl_control.h"
#include "tests/oracle/oracle_scene.h"
#include "tests/oracle/random_scene.h"

using namespace oracle;

namespace {

// A scene and the interior pixels that may differ from Mesa by more than
// the allowance: only at ties, where the last float rounding picks the texel
// (the floors' texel coordinates hit boundaries exactly: 402 and 676 such
// pixels here). Off ties none may differ.
struct NamedScene {
    Scene scene;
    int allowedMesa;
};

Scene scene(const char* name, std::vector<HostImage> images) {
    Scene s;
    s.name = name;
    s.images = std::move(images);
    return s;
}

// Checks of `check` texels with a grain, so that neighbouring texels differ
// and a texel picked wrongly shows.
HostImage grainyChecks(int side, int check, uint32_t format, bool opaqueTexels = false) {
    HostImage im{side, format, {}, {}};
    int bytes = format == 1 ? 4 : 3;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            uint32_t base = ((x / check + y / check) & 1) ? 0xE0 : 0x40;
            uint32_t c = base + (hashOf(uint32_t(y * side + x)) & 0x1F);
            uint8_t px[4] = {uint8_t(c / 2), uint8_t(c * 3 / 4), uint8_t(c),
                             uint8_t(opaqueTexels  ? 0xFF
                                     : format == 1 ? 0x80 + (x & 0x7F)
                                                   : 0)};
            im.pixels.insert(im.pixels.end(), px, px + bytes);
        }
    return im;
}

// A quad whose 1/w and texture coordinates are given per corner.
Step quad(int blend, int texture, std::initializer_list<HostVertex> corners) {
    return Step{blend, texture, corners};
}

// A floor seen from above it, from world depth 1 to the horizon: screen
// y = 150 + 330 / Z and x = 320 + 300 X / Z, so 1/w = 1 / Z; one texture
// width per 4 world units. Rows grow geometrically towards the horizon.
NamedScene checkerFloor() {
    Scene s = scene("checker_floor", {grainyChecks(64, 8, 2)});
    auto at = [](double X, double Z) {
        return hv(320 + 300 * X / Z, 150 + 330 / Z, 1 / Z, X / 4, Z / 4);
    };
    for (int j = 0; j < 16; ++j) {
        double z0 = std::pow(1.25, j), z1 = std::pow(1.25, j + 1);
        for (int i = -8; i < 8; ++i)
            s.steps.push_back(quad(0, 0, {at(i, z0), at(i + 1, z0), at(i + 1, z1), at(i, z1)}));
    }
    return {s, 450};
}

// The benchmark's frame: 500 Gouraud-shaded quads of a receding floor.
NamedScene benchmarkGrid() {
    Scene s = scene("benchmark_grid", {grainyChecks(256, 32, 2)});
    auto at = [](int i, int j) {
        float x = float(i) * kWidth / 25, y = float(j) * kHeight / 20;
        float q = 0.2f + 0.8f * y / kHeight;
        uint32_t grey = 128 + hashOf(uint32_t(j * 97 + i)) % 128;
        return HostVertex{x,
                          y,
                          1.0f - q,
                          q,
                          (x - kWidth / 2) / 160.0f,
                          2.0f,
                          0xFF000000u | grey << 16 | grey << 8 | grey};
    };
    for (int j = 0; j < 20; ++j)
        for (int i = 0; i < 25; ++i)
            s.steps.push_back(quad(0, 0, {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)}));
    return {s, 750};
}

// Blending off: overlapping 8888 quads (translucent maps) drawn near first,
// then far, then near again elsewhere; each slants in depth.
NamedScene opaque8888() {
    Scene s = scene("opaque_8888_overlap", {grainyChecks(64, 8, 1), grainyChecks(32, 4, 1)});
    s.steps.push_back(quad(0, 0,
                           {hv(60.3, 50.7, 0.9, 0, 0), hv(330.1, 70.2, 0.7, 2, 0),
                            hv(310.6, 300.4, 0.7, 2, 2), hv(80.9, 280.8, 0.9, 0, 2)}));
    s.steps.push_back(quad(0, 1,
                           {hv(200.2, 150.1, 0.3, -1.3, 0.2), hv(560.7, 160.3, 0.45, 1.7, 0.2),
                            hv(590.4, 420.6, 0.45, 1.7, 3.2), hv(180.5, 400.9, 0.3, -1.3, 3.2)}));
    s.steps.push_back(quad(0, 0,
                           {hv(420.4, 300.3, 0.8, 0.1, 0.1), hv(620.2, 320.6, 0.6, 1.1, 0.1),
                            hv(600.8, 470.2, 0.6, 1.1, 1.1), hv(440.1, 460.7, 0.8, 0.1, 1.1)}));
    return {s, 10};
}

// Gouraud quads in both depth orders and a textured quad whose u runs
// negative and wraps.
NamedScene gouraudAndWrap() {
    Scene s = scene("gouraud_depth_wrap", {grainyChecks(32, 4, 2)});
    s.steps.push_back(
        quad(0, -1,
             {hv(20.2, 20.6, 0.5, 0, 0, 0xFFFF0000), hv(300.7, 30.1, 0.5, 0, 0, 0xFF00FF00),
              hv(290.3, 250.9, 0.5, 0, 0, 0xFF0000FF), hv(30.8, 240.4, 0.5, 0, 0, 0xFFFFFFFF)}));
    s.steps.push_back(
        quad(0, -1,
             {hv(150.1, 100.3, 0.7, 0, 0, 0xFF203040), hv(400.6, 110.8, 0.7, 0, 0, 0xFFF0E0D0),
              hv(390.2, 300.5, 0.7, 0, 0, 0xFF808080), hv(140.9, 290.2, 0.7, 0, 0, 0xFF10F010)}));
    s.steps.push_back(
        quad(0, -1,
             {hv(250.4, 200.6, 0.3, 0, 0, 0xFFFFFF00), hv(500.1, 190.2, 0.3, 0, 0, 0xFF00FFFF),
              hv(510.7, 400.8, 0.3, 0, 0, 0xFFFF00FF), hv(260.3, 410.1, 0.3, 0, 0, 0xFF404040)}));
    s.steps.push_back(quad(0, 0,
                           {hv(40.6, 300.2, 0.9, -3.3, -0.7, 0xFFC0A080),
                            hv(230.1, 310.7, 0.4, 1.7, -0.7, 0xFFC0A080),
                            hv(220.9, 470.3, 0.4, 1.7, 1.6, 0xFFC0A080),
                            hv(50.2, 460.8, 0.9, -3.3, 1.6, 0xFFC0A080)}));
    return {s, 10};
}

// Eight opaque untextured bars across the frame, light and dark in turn,
// for what is blended over them.
void addOpaqueBars(Scene& s) {
    for (int i = 0; i < 8; ++i) {
        uint32_t c = i % 2 ? 0xFFE0C0A0 : 0xFF203060;
        s.steps.push_back(
            quad(0, -1,
                 {hv(80 * i, 0, 0.1, 0, 0, c), hv(80 * i + 80, 0, 0.1, 0, 0, c),
                  hv(80 * i + 80, 480, 0.1, 0, 0, c), hv(80 * i, 480, 0.1, 0, 0, c)}));
    }
}

// Blending on over opaque bars: half vertex alpha, a faded fan and an 8888
// texture whose alpha grows across it, drawn after everything opaque.
NamedScene blending() {
    Scene s = scene("blending", {grainyChecks(64, 8, 1)});
    addOpaqueBars(s);
    s.steps.push_back(
        quad(1, -1,
             {hv(50.3, 40.2, 0.5, 0, 0, 0x80FF4020), hv(300.8, 60.7, 0.5, 0, 0, 0x80FF4020),
              hv(280.2, 220.4, 0.5, 0, 0, 0x80FF4020), hv(60.6, 200.9, 0.5, 0, 0, 0x80FF4020)}));
    s.steps.push_back(
        quad(1, -1,
             {hv(350.4, 30.1, 0.5, 0, 0, 0xFFFFFFFF), hv(600.2, 50.3, 0.5, 0, 0, 0x00FFFFFF),
              hv(590.7, 230.6, 0.5, 0, 0, 0x00FFFFFF), hv(340.1, 210.2, 0.5, 0, 0, 0xC0FFFFFF)}));
    s.steps.push_back(quad(1, 0,
                           {hv(100.2, 260.5, 0.8, 0, 0), hv(560.9, 270.3, 0.5, 1, 0),
                            hv(540.4, 460.1, 0.5, 1, 1), hv(120.7, 450.8, 0.8, 0, 1)}));
    return {s, 10};
}

// Blending on, as hosts leave it for a whole frame: an opaque 8888 quad,
// then a half-transparent one drawn later, farther away, overlapping it.
// The near quad's texels are opaque, so it stays as it is where they overlap.
NamedScene opaqueTexelsUnderBlending() {
    Scene s = scene("opaque_texels_under_blending", {grainyChecks(64, 8, 1, true)});
    s.steps.push_back(quad(1, 0,
                           {hv(100.3, 80.6, 0.5, 0, 0), hv(420.2, 90.1, 0.5, 3, 0),
                            hv(410.8, 330.4, 0.5, 3, 2.5), hv(110.1, 320.7, 0.5, 0, 2.5)}));
    s.steps.push_back(
        quad(1, -1,
             {hv(250.6, 180.2, 0.3, 0, 0, 0x80FF8040), hv(580.3, 200.9, 0.3, 0, 0, 0x80FF8040),
              hv(560.1, 440.5, 0.3, 0, 0, 0x80FF8040), hv(240.4, 420.3, 0.3, 0, 0, 0x80FF8040)}));
    return {s, 10};
}

// Filtered sprites over opaque bars: a keyed indexed sprite magnified eight
// times under blending, whose keyed texels lend no colour to its edge; an
// 8888 map of blocks of no, partial and full opacity magnified and tinted;
// and the keyed sprite again with blending off, its keyed texels black and
// filtered as any other.
NamedScene filteredSprites() {
    const uint32_t key = 0xFFFF00FF;
    HostImage sprite{32, 0, {}, std::vector<uint32_t>(256)};
    sprite.palette[0] = key;
    for (uint32_t i = 1; i < 256; ++i)
        sprite.palette[i] = 0xFF000000u | (hashOf(i) & 0xFFFFFF);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const double dx = x - 15.5, dy = y - 15.5;
            const bool inside = dx * dx + dy * dy < 13.0 * 13.0;
            sprite.pixels.push_back(inside ? uint8_t(1 + (x / 4 + y / 4 * 8) % 255) : 0);
        }
    HostImage blocks{32, 1, {}, {}};
    static const uint8_t alphas[] = {0, 0x40, 0xC0, 0xFF};
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const uint32_t c = hashOf(uint32_t(x / 4 + y / 4 * 8));
            const uint8_t px[4] = {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16),
                                   alphas[(x / 4 + y / 4) % 4]};
            blocks.pixels.insert(blocks.pixels.end(), px, px + 4);
        }
    Scene s = scene("filtered_sprites", {sprite, blocks});
    s.startKeyMode = 1;
    s.startKeyColour = key;
    addOpaqueBars(s);
    s.steps.push_back(quad(1, 0,
                           {hv(20.3, 10.6, 0.5, 0, 0), hv(276.8, 14.2, 0.5, 1, 0),
                            hv(272.1, 270.4, 0.5, 1, 1), hv(16.7, 266.9, 0.5, 0, 1)}));
    s.steps.push_back(
        quad(1, 1,
             {hv(300.2, 20.4, 0.6, 0, 0, 0xFFFFE0C0), hv(620.6, 30.8, 0.4, 1.5, 0, 0xFFC0E0FF),
              hv(610.3, 300.1, 0.4, 1.5, 1.25, 0xFFFFFFFF),
              hv(310.9, 290.5, 0.6, 0, 1.25, 0xFFE0FFE0)}));
    s.steps.push_back(quad(0, 0,
                           {hv(60.4, 290.2, 0.7, 0.1, 0.1), hv(240.9, 295.6, 0.7, 0.9, 0.1),
                            hv(236.2, 470.3, 0.7, 0.9, 0.9), hv(58.1, 466.8, 0.7, 0.1, 0.9)}));
    return {s, 0};
}

// The driver's frame on one thread; drawn in bands on two and three, the
// frame must be the same.
std::vector<uint16_t> drawnOnOneToThreeThreads(const Scene& s) {
    softsglSetThreads(1);
    const std::vector<uint16_t> ours = drawnByTheDriver(s);
    for (int threads : {2, 3}) {
        softsglSetThreads(threads);
        EXPECT_TRUE(drawnByTheDriver(s) == ours) << threads << " threads";
    }
    softsglSetThreads(0);
    return ours;
}

// Each scene drawn through the driver on 1, 2 and 3 threads (the same
// frame), with Mesa and by the exact model, one line a scene: interior
// pixels more than one step apart, ours and Mesa (also counted away from
// ties), ours and the exact result, Mesa and the exact result.
void compareScenes(const std::vector<NamedScene>& scenes) {
    std::string why;
    const bool haveMesa = mesaOpen(kWidth, kHeight, why);
    if (!haveMesa)
        std::printf("No Mesa oracle (%s): only the exact comparison runs\n", why.c_str());
    std::printf("%-28s %8s %6s %7s %9s %9s %10s %10s\n", "scene", "interior", "ties", "opacity",
                "ours-mesa", "off ties", "ours-exact", "mesa-exact");
    for (const NamedScene& named : scenes) {
        const Scene& s = named.scene;
        SCOPED_TRACE(s.name);
        const std::vector<uint16_t> ours = drawnOnOneToThreeThreads(s);
        const std::vector<uint16_t> mesa = haveMesa ? drawnByMesa(s) : ours;
        const std::vector<bool> edge = edgePixels(s);
        const Exact exact = exactResult(s);
        const Comparison c = compare(ours, mesa, exact, edge);
        std::printf("%-28s %8d %6d %7d %9d %9d %10d %10d\n", s.name.c_str(), c.interior, c.ties,
                    c.opacityTies, c.oursMesa, c.oursMesaOffTies, c.oursExact, c.mesaExact);
        const std::string stem = s.name + (s.filtered ? "-filtered" : "");
        EXPECT_LE(c.oursMesa, named.allowedMesa)
            << writeFailureFiles(stem, ours, mesa, exact, edge);
        EXPECT_EQ(c.oursMesaOffTies, 0) << writeFailureFiles(stem, ours, mesa, exact, edge);
        // Away from ties the exact texel is the one drawn.
        EXPECT_EQ(c.oursExact, 0) << writeFailureFiles(stem, ours, mesa, exact, edge);
    }
    mesaClose();
    if (!haveMesa) GTEST_SKIP() << "Mesa oracle skipped: " << why;
}

TEST(MesaOracle, InteriorPixelsAgreeWithLlvmpipeAndTheExactResult) {
    compareScenes({checkerFloor(), benchmarkGrid(), opaque8888(), gouraudAndWrap(), blending(),
                   opaqueTexelsUnderBlending()});
}

// Filtered: the same scenes and the sprites, where texel boundaries are no
// longer ties and none may differ from GL_LINEAR beyond a step.
std::vector<NamedScene> filteredScenes() {
    std::vector<NamedScene> scenes = {checkerFloor(),   benchmarkGrid(),
                                      opaque8888(),     gouraudAndWrap(),
                                      blending(),       opaqueTexelsUnderBlending(),
                                      filteredSprites()};
    for (NamedScene& named : scenes) {
        named.scene.filtered = true;
        named.allowedMesa = 0;
    }
    return scenes;
}

TEST(MesaOracle, FilteredInteriorPixelsAgreeWithLlvmpipeAndTheExactResult) {
    compareScenes(filteredScenes());
}

// Supersampled n x n through the driver, against Mesa drawing the scene
// scaled by n on a target n times as large, box-averaged as the resolve
// averages; ties, edges and translucent layers from the exact model of the
// scaled scene, a pixel taking its samples'. The driver's frame is also the
// resolve of the scaled scene it draws without supersampling, bit for bit,
// where that falls on its 640 x 480 (the top left 1 / n each way).
void compareSupersampled(const NamedScene& named, int n) {
    const Scene& s = named.scene;
    SCOPED_TRACE(s.name + ", " + std::to_string(n) + " x " + std::to_string(n));
    Scene supersampled = s;
    supersampled.antialias = n;
    const std::vector<uint16_t> ours = drawnOnOneToThreeThreads(supersampled);
    const Scene big = scaledBy(s, n);
    // The top left of the larger device, resolved, against ours there.
    const std::vector<uint16_t> topLeft = drawnByTheDriver(big);
    std::vector<uint16_t> samples(size_t(kWidth) * kHeight * size_t(n * n));
    for (int y = 0; y < kHeight; ++y)
        std::copy_n(&topLeft[size_t(y) * kWidth], kWidth, &samples[size_t(y) * kWidth * size_t(n)]);
    const std::vector<uint16_t> corner = resolved(samples, n);
    int corners = 0, cornerPixels = 0;
    for (int y = 0; y < kHeight / n; ++y)
        for (int x = 0; x < kWidth / n; ++x) {
            const size_t i = size_t(y) * kWidth + size_t(x);
            corners += corner[i] != ours[i];
            ++cornerPixels;
        }
    EXPECT_EQ(corners, 0) << "of " << cornerPixels << " pixels unlike the larger device's";
    // Supersampling changed the frame: its edges at least.
    int changed = 0;
    const std::vector<uint16_t> plain = drawnByTheDriver(s);
    for (size_t i = 0; i < ours.size(); ++i)
        changed += plain[i] != ours[i];
    EXPECT_GT(changed, 500);

    std::string why;
    const bool haveMesa = mesaOpen(kWidth * n, kHeight * n, why);
    const std::vector<uint16_t> mesa = haveMesa ? resolved(drawnByMesa(big), n) : ours;
    mesaClose();
    const std::vector<bool> edge = resolved(edgePixels(big), n);
    const Exact exact = resolved(exactResult(big), n);
    const Comparison c = compare(ours, mesa, exact, edge);
    std::printf("%-28s %d x %d %8d %6d %9d %9d %10d %10d\n", s.name.c_str(), n, n, c.interior,
                c.ties, c.oursMesa, c.oursMesaOffTies, c.oursExact, c.mesaExact);
    const std::string stem = s.name + "-supersampled-" + std::to_string(n);
    EXPECT_LE(c.oursMesa, named.allowedMesa) << writeFailureFiles(stem, ours, mesa, exact, edge);
    EXPECT_EQ(c.oursMesaOffTies, 0) << writeFailureFiles(stem, ours, mesa, exact, edge);
    EXPECT_EQ(c.oursExact, 0) << writeFailureFiles(stem, ours, mesa, exact, edge);
    if (!haveMesa) GTEST_SKIP() << "Mesa oracle skipped: " << why;
}

TEST(MesaOracle, SupersampledFramesAgreeWithLlvmpipeAtTheLargerSizeResolved) {
    std::printf("%-28s %5s %8s %6s %9s %9s %10s %10s\n", "scene", "n", "interior", "ties",
                "ours-mesa", "off ties", "ours-exact", "mesa-exact");
    compareSupersampled(gouraudAndWrap(), 2);
    compareSupersampled(blending(), 2);
    compareSupersampled(opaque8888(), 2);
    compareSupersampled(gouraudAndWrap(), 4);
}

// What a child started by drawnUnderCap does: draws the scenes on one
// thread and writes their frames to `fd`, then what it wrote to the
// debugger output. False where the writing failed.
bool writeFrames(int fd, const std::vector<Scene>& scenes) {
    kxstandClearDebugLines();
    softsglSetThreads(1);
    bool ok = true;
    auto put = [&](const void* data, size_t size) {
        for (const char* p = static_cast<const char*>(data); ok && size;) {
            const ssize_t n = write(fd, p, size);
            ok = n > 0;
            if (ok) p += n, size -= size_t(n);
        }
    };
    for (const Scene& s : scenes) {
        const std::vector<uint16_t> frame = drawnByTheDriver(s);
        put(frame.data(), frame.size() * 2);
    }
    for (const std::string& line : kxstandDebugLines())
        put(line.data(), line.size());
    close(fd);
    return ok;
}

// The frames of the scenes drawn by this test program started anew (the
// kernel level is chosen once a process) under a kernel level's cap, and
// what it wrote to the debugger output.
struct CappedRun {
    std::vector<std::vector<uint16_t>> frames;
    std::string debugLines;
    bool ok = false;
};

CappedRun drawnUnderCap(const char* cap, size_t scenes) {
    CappedRun run;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter =
        std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    int out[2];
    if (pipe(out) != 0) return run;
    const pid_t child = fork();
    if (child == 0) {
        close(out[0]);
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        dup2(quiet, 2);
        setenv("KXPWRVR_KERNELS", cap, 1);
        setenv("KX_ORACLE_FRAMES_TO", std::to_string(out[1]).c_str(), 1);
        execl("/proc/self/exe", "test_oracle", filter.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string bytes;
    char chunk[65536];
    for (ssize_t n; (n = read(out[0], chunk, sizeof chunk)) > 0;)
        bytes.append(chunk, size_t(n));
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    const size_t frameBytes = size_t(kWidth) * kHeight * 2;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && bytes.size() >= frameBytes * scenes;
    if (!run.ok) return run;
    for (size_t i = 0; i < scenes; ++i) {
        run.frames.emplace_back(size_t(kWidth) * kHeight);
        std::memcpy(run.frames.back().data(), bytes.data() + i * frameBytes, frameBytes);
    }
    run.debugLines = bytes.substr(frameBytes * scenes);
    return run;
}

// Filtered, the named scenes and a few random ones, and a scene
// supersampled, give the same frames under every kernel level's cap as at
// the processor's own level.
TEST(MesaOracle, FilteredAndSupersampledFramesAreTheSameUnderEveryKernelCap) {
    std::vector<Scene> scenes;
    for (const NamedScene& named : filteredScenes())
        scenes.push_back(named.scene);
    for (uint32_t seed : {0u, 8u, 16u, 24u}) {
        scenes.push_back(randomScene(seed));
        scenes.back().filtered = true;
    }
    scenes.push_back(blending().scene);
    scenes.back().antialias = 2;
    if (const char* fd = std::getenv("KX_ORACLE_FRAMES_TO")) { // started by drawnUnderCap
        EXPECT_TRUE(writeFrames(std::atoi(fd), scenes));
        return;
    }
    std::vector<int> levels;
    std::vector<CappedRun> runs;
    for (int level = kLevelScalar; level < processorKernelLevel(); ++level) {
        levels.push_back(level);
        runs.push_back(drawnUnderCap(kernelLevelName(level), scenes.size()));
    }
    if (runs.empty()) GTEST_SKIP() << "the processor runs no level above scalar";
    softsglSetThreads(1);
    for (size_t i = 0; i < scenes.size(); ++i) {
        const std::vector<uint16_t> ours = drawnByTheDriver(scenes[i]);
        for (size_t k = 0; k < runs.size(); ++k) {
            if (!runs[k].ok) continue;
            const std::vector<uint16_t>& capped = runs[k].frames[i];
            size_t differ = 0;
            for (size_t p = 0; p < ours.size(); ++p)
                differ += ours[p] != capped[p];
            EXPECT_EQ(differ, 0u) << scenes[i].name << " under the cap "
                                  << kernelLevelName(levels[k]) << ": pixels unlike those at "
                                  << kernelLevelName(processorKernelLevel());
        }
    }
    softsglSetThreads(0);
    for (size_t k = 0; k < runs.size(); ++k) {
        const std::string level = kernelLevelName(levels[k]);
        EXPECT_TRUE(runs[k].ok) << "the program under the cap " << level << " failed";
        // It drew at the capped level: softsgl names it.
        EXPECT_NE(runs[k].debugLines.find("softsgl: spans " + level + "\n"), std::string::npos)
            << level << ": " << runs[k].debugLines;
    }
}

} // namespace
