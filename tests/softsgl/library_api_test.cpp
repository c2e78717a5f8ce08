// The library's bookkeeping: callbacks, devices, texture memory, the frame
// queue's copies, and failures on demand.
#include <gtest/gtest.h>

#include "softsgl/softsgl_control.h"
#include "softsgl_helpers.h"

namespace {

std::vector<uint32_t> solid(int side, uint32_t t) {
    return std::vector<uint32_t>(size_t(side) * side, t);
}

TEST(SoftsglApi, ScreenDevicesAreCheckedCountedAndDeleted) {
    EXPECT_LT(sgl_create_screen_device(1, 640, 480, 0, 1), 0); // only device 0
    EXPECT_LT(sgl_create_screen_device(0, 0, 480, 0, 1), 0);
    EXPECT_LT(sgl_create_screen_device(0, 640, -1, 0, 1), 0);
    EXPECT_LT(sgl_create_screen_device(0, 5000, 480, 0, 1), 0);
    EXPECT_EQ(softsglLiveDevices(), 0);
    int id = sgl_create_screen_device(0, 640, 480, 0, 1);
    EXPECT_GE(id, 0);
    EXPECT_EQ(softsglLiveDevices(), 1);
    sgl_delete_device(id);
    sgl_delete_device(id); // twice: harmless
    sgl_delete_device(-5); // unknown: harmless
    EXPECT_EQ(softsglLiveDevices(), 0);
    EXPECT_GE(sgl_create_screen_device(0, 320, 200, 0, 1), 0);
}

// A host unloaded without deleting its device (a game's crash, a driver freed
// without its shut-down) must not use up the library for the next one.
TEST(SoftsglApi, DevicesNeverDeletedDoNotLockOutTheNextHost) {
    std::vector<int> orphans;
    for (int k = 0; k < 40; ++k) {
        int id = sgl_create_screen_device(0, 100 + k, 50, 0, 1);
        ASSERT_GE(id, 0) << "device " << k;
        for (int old : orphans)
            EXPECT_NE(id, old) << "an id handed out twice while both could be live";
        orphans.push_back(id);
    }
    EXPECT_GE(softsglLiveDevices(), 1);

    // The newest is the one drawn into: a frame of its size.
    MemoryTarget t;
    int id = setUpScreen(t, 3, 2, 16, 0, 0, 0);
    ASSERT_GE(id, 0);
    SGLCONTEXT ctx = defaultContext();
    sgltri_startofframe(&ctx);
    drawTriangle(ctx, vtx(0, 0), vtx(3, 0), vtx(0, 3));
    EXPECT_EQ(sgltri_render(&ctx), 0);
    EXPECT_NE(t.pixels[0], 0) << "the newest device was not drawn into";

    // The first owners' ids no longer name anything: deleting them leaves
    // the live host's device alone.
    const int live = softsglLiveDevices();
    for (size_t k = 0; k + 8 < orphans.size(); ++k)
        sgl_delete_device(orphans[k]);
    EXPECT_EQ(softsglLiveDevices(), live);
    sgltri_startofframe(&ctx);
    EXPECT_EQ(sgltri_render(&ctx), 0);
    sgl_delete_device(id);
    EXPECT_EQ(softsglLiveDevices(), live - 1);
}

TEST(SoftsglApi, RenderAsksForTheTargetThenSignalsTheEndWithOrWithoutADevice) {
    MemoryTarget t;
    int id = setUpScreen(t, 4, 2);
    ASSERT_GE(id, 0);
    SGLCONTEXT ctx = defaultContext();
    EXPECT_EQ(sgltri_startofframe(&ctx), 0);
    EXPECT_EQ(sgltri_render(&ctx), 0);
    EXPECT_EQ(addressCallbacks, 1);
    EXPECT_EQ(eorCallbacks, 1);
    EXPECT_EQ(sgltri_isrendercomplete(&ctx, 0xFFFFFFFF), 0);
    for (uint16_t p : t.pixels)
        EXPECT_EQ(p, 0); // empty frame: black

    // Without a device nothing is drawn, but the callbacks still run.
    sgl_delete_device(id);
    std::fill(t.pixels.begin(), t.pixels.end(), 0x1234);
    EXPECT_LT(sgltri_render(&ctx), 0);
    EXPECT_EQ(addressCallbacks, 2);
    EXPECT_EQ(eorCallbacks, 2);
    for (uint16_t p : t.pixels)
        EXPECT_EQ(p, 0x1234);
}

TEST(SoftsglApi, AnUnfilledOrUnusableRecordDrawsNothing) {
    MemoryTarget t;
    ASSERT_GE(setUpScreen(t, 4, 2, 16, 0, 0, 0x1234), 0);
    SGLCONTEXT ctx = defaultContext();
    sgltri_startofframe(&ctx);
    drawTriangle(ctx, vtx(0, 0), vtx(4, 0), vtx(0, 4));
    currentTarget = nullptr; // callback leaves the record as it got it
    EXPECT_LT(sgltri_render(&ctx), 0);
    EXPECT_EQ(eorCallbacks, 1);
    t.bitsPerPixel = 24; // neither 15 nor 16
    currentTarget = &t;
    EXPECT_LT(sgltri_render(&ctx), 0);
    for (uint16_t p : t.pixels)
        EXPECT_EQ(p, 0x1234);
    t.bitsPerPixel = 16;
    EXPECT_EQ(sgltri_render(&ctx), 0);
    EXPECT_EQ(t.at(0, 0), 0xFFFF);
}

TEST(SoftsglApi, QueuedPrimitivesKeepContextAndVerticesAsTheyWereAtTheCall) {
    MemoryTarget t;
    ASSERT_GE(setUpScreen(t, 4, 1), 0);
    SGLCONTEXT ctx = defaultContext();
    sgltri_startofframe(&ctx);
    SGLVERTEX vs[4] = {vtx(0, 0), vtx(2, 0), vtx(0, 2), vtx(2, 2)};
    int32_t idx[2][3] = {{0, 1, 2}, {1, 3, 2}};
    ctx.flags |= SGLTT_VERTEXTRANS;
    sgltri_triangles(&ctx, 2, idx, vs);
    // Everything changes after the call: the queued copy must not.
    ctx.flags = 0;
    for (auto& v : vs)
        v = vtx(100, 100, 0xFF00FF00);
    idx[0][0] = 3;

    const SoftsglCall& call = softsglCalls().back(); // the log keeps the call as made
    EXPECT_EQ(call.context.flags, (SGLTT_DEFAULT_FLAGS & ~SGLTT_TEXTURE) | SGLTT_VERTEXTRANS);
    EXPECT_EQ(call.indices, (std::vector<int32_t>{0, 1, 2, 1, 3, 2}));
    renderFrame(ctx);
    EXPECT_EQ(t.at(0, 0), 0xFFFF);
    EXPECT_EQ(t.at(1, 0), 0xFFFF);
    EXPECT_EQ(t.at(2, 0), 0);

    // A new frame forgets the queue.
    sgltri_startofframe(&ctx);
    renderFrame(ctx);
    EXPECT_EQ(t.at(0, 0), 0);
}

TEST(SoftsglApi, TexturesAreCheckedStoredReplacedAndDeleted) {
    std::vector<uint32_t> red = solid(32, texel(255, 0, 0, 0));
    int a = createTexture(SGL_MAP_OPAQUE, 0, red);
    ASSERT_GE(a, 0);
    int side = 0, type = 0;
    const uint32_t* texels = softsglTexels(a, &side, &type);
    ASSERT_NE(texels, nullptr);
    EXPECT_EQ(side, 32);
    EXPECT_EQ(type, SGL_MAP_OPAQUE);
    EXPECT_EQ(texels[1023], texel(255, 0, 0, 0));

    // Bad arguments: negative, but never "memory full".
    std::vector<uint32_t> big = solid(64, 0);
    sgl_intermediate_map map{{'I', 'M', 'A', 'P'}, 64, 64, big.data()};
    EXPECT_EQ(sgl_create_texture(1, 0, 2, 0, &map, nullptr), -1); // 64 texels, size code 0
    EXPECT_EQ(sgl_create_texture(2, 1, 2, 0, &map, nullptr), -1); // map type 2
    EXPECT_EQ(sgl_create_texture(1, 4, 2, 0, &map, nullptr), -1); // size code 4
    EXPECT_EQ(sgl_create_texture(1, 1, 2, 0, nullptr, nullptr), -1);
    map.id[3] = 'X';
    EXPECT_EQ(sgl_create_texture(1, 1, 2, 0, &map, nullptr), -1);
    map.id[3] = 'P';
    map.pixels = nullptr;
    EXPECT_EQ(sgl_create_texture(1, 1, 2, 0, &map, nullptr), -1);
    EXPECT_EQ(softsglLiveTextures(), 1);

    // Replacing texels keeps name, side and map type.
    std::vector<uint32_t> blue = solid(32, texel(0, 0, 255, 7));
    sgl_intermediate_map m32{{'I', 'M', 'A', 'P'}, 32, 32, blue.data()};
    EXPECT_EQ(sgl_set_texture(a, 0, 1, &m32, nullptr), 0);
    EXPECT_EQ(softsglTexels(a)[5], texel(0, 0, 255, 7));
    EXPECT_LT(sgl_set_texture(a, 0, 1, &map, nullptr), 0); // wrong side
    EXPECT_LT(sgl_set_texture(a + 100, 0, 1, &m32, nullptr), 0);

    int b = createTexture(SGL_MAP_TRANSLUCENT, 1, big);
    ASSERT_GE(b, 0);
    EXPECT_NE(a, b);
    sgl_delete_texture(a);
    EXPECT_EQ(softsglTexels(a), nullptr);
    EXPECT_LT(sgl_set_texture(a, 0, 1, &m32, nullptr), 0);
    sgl_delete_texture(a); // again: harmless
    EXPECT_EQ(softsglLiveTextures(), 1);
    int c = createTexture(SGL_MAP_OPAQUE, 0, red);
    EXPECT_GE(c, 0);
    EXPECT_NE(c, a); // names are not reused
    EXPECT_NE(c, -1);
    // c may sit in a's old storage: it holds its own texels, not a's.
    EXPECT_EQ(softsglTexels(c)[5], texel(255, 0, 0, 0));
    EXPECT_EQ(softsglTexels(c)[1023], texel(255, 0, 0, 0));
}

TEST(SoftsglApi, TextureBudgetRunsOutWithMinus243AndDeletionGivesItBack) {
    EXPECT_EQ(sgl_get_free_texture_mem(), 4 * 1024 * 1024);
    softsglSetTextureBudget(2 * 32 * 32 * 2 + 100); // two 32 x 32 maps and a bit
    std::vector<uint32_t> t32 = solid(32, 0), t64 = solid(64, 0);
    int a = createTexture(1, 0, t32);
    int b = createTexture(4, 0, t32);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    EXPECT_EQ(sgl_get_free_texture_mem(), 100);
    EXPECT_EQ(createTexture(1, 0, t32), -243);
    EXPECT_EQ(createTexture(1, 1, t64), -243);
    sgl_delete_texture(a);
    EXPECT_EQ(sgl_get_free_texture_mem(), 2048 + 100);
    EXPECT_EQ(createTexture(1, 1, t64), -243); // 8192 bytes do not fit
    EXPECT_GE(createTexture(1, 0, t32), 0);
    softsglSetTextureBudget(0); // below what is in use: nothing free, nothing lost
    EXPECT_EQ(sgl_get_free_texture_mem(), 0);
    EXPECT_EQ(softsglLiveTextures(), 2);
}

// The tests' and the fuzzer's hook: chosen calls fail, counted also with
// the log off; a failing call without a result does nothing.
TEST(SoftsglApi, CallsFailOnDemandAndAreCountedWithTheLogOff) {
    std::vector<uint32_t> t32 = solid(32, 0);
    softsglClearCalls();
    softsglSetCallLogging(false);
    softsglFailCall("sgl_create_texture", -243, 2, 2); // the second and third from now
    EXPECT_GE(createTexture(1, 0, t32), 0);
    EXPECT_EQ(createTexture(1, 0, t32), -243);
    EXPECT_EQ(createTexture(1, 0, t32), -243);
    EXPECT_GE(createTexture(1, 0, t32), 0);
    EXPECT_EQ(softsglLiveTextures(), 2);
    EXPECT_EQ(softsglCallCount("sgl_create_texture"), 4);
    EXPECT_TRUE(softsglCalls().empty());
    softsglSetCallLogging(true);

    MemoryTarget t;
    ASSERT_GE(setUpScreen(t, 2, 2), 0);
    SGLCONTEXT ctx = defaultContext();
    sgltri_startofframe(&ctx);
    softsglFailCall("sgltri_triangles", 0);
    drawTriangle(ctx, vtx(0, 0), vtx(2, 0), vtx(0, 2));
    renderFrame(ctx);
    EXPECT_EQ(t.at(0, 0), 0);
    drawTriangle(ctx, vtx(0, 0), vtx(2, 0), vtx(0, 2));
    renderFrame(ctx);
    EXPECT_EQ(t.at(0, 0), 0xFFFF);
}

} // namespace
