// The primary flipping chain: creation, memory, rotation on Flip.
#include <gtest/gtest.h>

#include "tests/platform/test_helpers.h"

TEST(FlippingChain, FlipRotatesMemoryWhileInterfacesStayPut) {
    FullScreenChain chain;
    ASSERT_NO_FATAL_FAILURE(makeFullScreenChain(&chain));
    auto [directDraw, front, back] = chain;

    ASSERT_EQ(fill(front, 0x1111), DD_OK);
    ASSERT_EQ(fill(back, 0x2222), DD_OK);
    const uint16_t second = chainWord(2);
    EXPECT_EQ(chainWord(0), 0x1111);
    EXPECT_EQ(chainWord(1), 0x2222);
    EXPECT_NE(second, 0);

    const uint8_t* frontMemory = kxstandChainPixels(0);
    const uint8_t* backMemory = kxstandChainPixels(1);
    const uint8_t* secondMemory = kxstandChainPixels(2);
    ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(kxstandChainPixels(0), backMemory);
    EXPECT_EQ(kxstandChainPixels(1), secondMemory);
    EXPECT_EQ(kxstandChainPixels(2), frontMemory);
    EXPECT_EQ(chainWord(0), 0x2222);
    EXPECT_EQ(chainWord(1), second);
    EXPECT_EQ(chainWord(2), 0x1111);

    // The same back buffer interface now draws into what was the second back buffer.
    LONG pitch = 0;
    EXPECT_EQ(lockSurface(back, &pitch), secondMemory);
    EXPECT_EQ(back->Unlock(nullptr), DD_OK);
    EXPECT_TRUE(logHas("IDirectDrawSurface::Flip(0x1)"));

    EXPECT_EQ(back->Release(), 1u);
    EXPECT_EQ(front->Release(), 0u);
    EXPECT_EQ(directDraw->Release(), 0u);
    EXPECT_EQ(kxstandLiveObjects(), 0);
    EXPECT_EQ(kxstandDeadCalls(), 0);
}

TEST(FlippingChain, SurfacesHaveTheConfiguredPitchFormatAndUnclearedMemory) {
    IDirectDraw* directDraw = createFullScreen();
    ASSERT_NE(directDraw, nullptr);
    IDirectDrawSurface* front = createChain(directDraw);
    ASSERT_NE(front, nullptr);

    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(front->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(desc.dwWidth, 640u);
    EXPECT_EQ(desc.dwHeight, 480u);
    EXPECT_EQ(desc.lPitch, 1536); // wider than 1280: row arithmetic must use it
    EXPECT_EQ(reinterpret_cast<uintptr_t>(desc.lpSurface) % 16, 0u);
    EXPECT_EQ(desc.ddpfPixelFormat.dwRBitMask, 0xF800u);
    EXPECT_EQ(desc.ddpfPixelFormat.dwGBitMask, 0x07E0u);
    EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 16u);
    const auto* pixels = static_cast<const uint8_t*>(desc.lpSurface);
    int zeros = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            zeros += pixelAt(pixels, desc.lPitch, x, y) == 0;
    EXPECT_EQ(zeros, 0); // video memory is not cleared for anyone
    EXPECT_EQ(front->Unlock(nullptr), DD_OK);

    DDPIXELFORMAT format{};
    format.dwSize = 31;
    EXPECT_EQ(front->GetPixelFormat(&format), DDERR_INVALIDPARAMS);
    format.dwSize = sizeof format;
    ASSERT_EQ(front->GetPixelFormat(&format), DD_OK);
    EXPECT_EQ(format.dwFlags, DDPF_RGB);
    EXPECT_EQ(format.dwBBitMask, 0x001Fu);

    // Settings apply to chains made afterwards.
    EXPECT_EQ(front->Release(), 0u);
    kxstandSetPitch(2048);
    kxstandSetPixelFormat565(false);
    kxstandSetSurfaceOffset(2);
    front = createChain(directDraw);
    ASSERT_NE(front, nullptr);
    LONG pitch = 0;
    const uint8_t* base = lockSurface(front, &pitch);
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(pitch, 2048);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(base) % 16, 2u);
    int chainPitch = 0, width = 0, height = 0;
    EXPECT_EQ(kxstandChainPixels(0, &chainPitch, &width, &height), base);
    EXPECT_EQ(chainPitch, 2048);
    EXPECT_EQ(width * height, 640 * 480);
    EXPECT_EQ(front->Unlock(nullptr), DD_OK);
    ASSERT_EQ(front->GetPixelFormat(&format), DD_OK);
    EXPECT_EQ(format.dwRBitMask, 0x7C00u);
    EXPECT_EQ(format.dwGBitMask, 0x03E0u);

    EXPECT_EQ(front->Release(), 0u);
    EXPECT_EQ(directDraw->Release(), 0u);
    EXPECT_EQ(kxstandLiveObjects(), 0);
}

TEST(FlippingChain, CreationRules) {
    IDirectDraw* directDraw = createDirectDraw();
    ASSERT_NE(directDraw, nullptr);
    DDSURFACEDESC desc = chainDesc(2);
    IDirectDrawSurface* front = nullptr;
    EXPECT_EQ(directDraw->CreateSurface(&desc, &front, nullptr), DDERR_NOCOOPERATIVELEVELSET);
    ASSERT_EQ(directDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    EXPECT_EQ(directDraw->CreateSurface(&desc, &front, nullptr), DDERR_NOEXCLUSIVEMODE);
    ASSERT_EQ(
        directDraw->SetCooperativeLevel(kxstandDefaultWindow(), DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN),
        DD_OK);
    desc.dwSize = sizeof desc - 4;
    EXPECT_EQ(directDraw->CreateSurface(&desc, &front, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(front, nullptr);
    EXPECT_EQ(kxstandChainPixels(0), nullptr);

    desc = chainDesc(2);
    ASSERT_EQ(directDraw->CreateSurface(&desc, &front, nullptr), DD_OK);
    IDirectDrawSurface* another = nullptr;
    EXPECT_EQ(directDraw->CreateSurface(&desc, &another, nullptr),
              DDERR_PRIMARYSURFACEALREADYEXISTS);
    EXPECT_EQ(kxstandLiveObjects(), 4); // the object and three surfaces
    EXPECT_NE(kxstandChainPixels(2), nullptr);
    EXPECT_EQ(kxstandChainPixels(3), nullptr);

    // Back buffer, second back buffer, then round to the front again.
    IDirectDrawSurface* back = backBufferOf(front);
    ASSERT_NE(back, nullptr);
    DDSCAPS flip = {DDSCAPS_FLIP};
    IDirectDrawSurface* second = nullptr;
    ASSERT_EQ(back->GetAttachedSurface(&flip, &second), DD_OK);
    DDSCAPS caps{};
    ASSERT_EQ(second->GetCaps(&caps), DD_OK);
    EXPECT_EQ(caps.dwCaps & (DDSCAPS_BACKBUFFER | DDSCAPS_FRONTBUFFER), 0u);
    DDSCAPS backbuffer = {DDSCAPS_BACKBUFFER};
    IDirectDrawSurface* none = nullptr;
    EXPECT_EQ(second->GetAttachedSurface(&backbuffer, &none), DDERR_NOTFOUND);
    EXPECT_EQ(back->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);
    EXPECT_EQ(second->Release(), 1u);
    EXPECT_EQ(back->Release(), 1u);
    EXPECT_EQ(front->Release(), 0u);

    // One back buffer: a flip swaps the two.
    front = createChain(directDraw, 1);
    ASSERT_NE(front, nullptr);
    const uint8_t* first = kxstandChainPixels(0);
    const uint8_t* behind = kxstandChainPixels(1);
    ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(kxstandChainPixels(0), behind);
    EXPECT_EQ(kxstandChainPixels(1), first);
    EXPECT_EQ(front->Release(), 0u);
    EXPECT_EQ(directDraw->Release(), 0u);
    EXPECT_EQ(kxstandLiveObjects(), 0);
}
