// The stand-in DirectDraw object and its flipping chain: cooperative level,
// display mode, capabilities, vertical blank, the chain's memory and
// rotation, locks, colour fill, loss and restore, reference counts.
#include <gtest/gtest.h>

#include "tests/platform/test_helpers.h"
#include "tests/support/test_support.h"

TEST(DisplayObject, CooperativeLevelModeCapsAndVerticalBlank) {
    IDirectDraw* directDraw = createDirectDraw();
    ASSERT_NE(directDraw, nullptr);
    const DWORD fullScreen = DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN;
    HWND window = kxstandCreateWindow();
    kxstandDestroyWindow(window);
    EXPECT_EQ(directDraw->SetCooperativeLevel(window, fullScreen), DDERR_INVALIDPARAMS);
    EXPECT_EQ(directDraw->SetCooperativeLevel(kxstandDefaultWindow(), DDSCL_EXCLUSIVE),
              DDERR_INVALIDPARAMS);
    // As under Wine, a mode the display cannot show is unsupported, whatever
    // the level; the mode itself does not need the exclusive level.
    EXPECT_EQ(directDraw->SetDisplayMode(800, 600, 16), DDERR_UNSUPPORTED);
    EXPECT_EQ(directDraw->SetDisplayMode(640, 480, 32), DDERR_UNSUPPORTED);
    IDirectDraw* normal = createDirectDraw();
    EXPECT_EQ(normal->SetDisplayMode(640, 480, 16), DD_OK);
    EXPECT_EQ(normal->Release(), 0u);
    EXPECT_FALSE(kxstandDisplayModeSet()); // ended with its object
    ASSERT_EQ(directDraw->SetCooperativeLevel(kxstandDefaultWindow(), fullScreen), DD_OK);
    EXPECT_TRUE(kxstandExclusive());
    kxstandSetModeSupported(false);
    EXPECT_EQ(directDraw->SetDisplayMode(640, 480, 16), DDERR_UNSUPPORTED);
    kxstandSetModeSupported(true);
    EXPECT_EQ(directDraw->SetDisplayMode(640, 480, 16), DD_OK);
    EXPECT_TRUE(kxstandDisplayModeSet());
    // One object at a time holds the display.
    IDirectDraw* other = createDirectDraw();
    EXPECT_EQ(other->SetCooperativeLevel(kxstandDefaultWindow(), fullScreen),
              DDERR_EXCLUSIVEMODEALREADYSET);
    EXPECT_EQ(other->Release(), 0u);

    // Capabilities fill both whole records.
    DDCAPS driver, emulation;
    std::memset(&driver, 0xAB, sizeof driver);
    std::memset(&emulation, 0xAB, sizeof emulation);
    driver.dwSize = sizeof driver;
    emulation.dwSize = 100;
    EXPECT_EQ(directDraw->GetCaps(&driver, &emulation), DDERR_INVALIDPARAMS);
    emulation.dwSize = sizeof emulation;
    ASSERT_EQ(directDraw->GetCaps(&driver, &emulation), DD_OK);
    const DWORD blits = DDCAPS_BLT | DDCAPS_BLTCOLORFILL | DDCAPS_BLTSTRETCH;
    EXPECT_EQ(driver.dwCaps & blits, blits);
    EXPECT_GT(driver.dwVidMemTotal, 3u * 1536 * 480);
    EXPECT_EQ(driver.dwNLVBRops[7], 0u);
    EXPECT_EQ(emulation.dwVidMemTotal, 0u);

    // The blank status alternates, so a poll for either edge ends; waits
    // land on their edge without time passing.
    BOOL first = FALSE, second = FALSE, inBlank = FALSE;
    ASSERT_EQ(directDraw->GetVerticalBlankStatus(&first), DD_OK);
    ASSERT_EQ(directDraw->GetVerticalBlankStatus(&second), DD_OK);
    EXPECT_NE(first, second);
    ASSERT_EQ(directDraw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DD_OK);
    ASSERT_EQ(directDraw->GetVerticalBlankStatus(&inBlank), DD_OK);
    EXPECT_TRUE(inBlank);
    ASSERT_EQ(directDraw->WaitForVerticalBlank(DDWAITVB_BLOCKEND, nullptr), DD_OK);
    ASSERT_EQ(directDraw->GetVerticalBlankStatus(&inBlank), DD_OK);
    EXPECT_FALSE(inBlank);
    EXPECT_EQ(directDraw->WaitForVerticalBlank(2, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(kxstandClockMs(), 0u);
    EXPECT_EQ(directDraw->Release(), 0u);
    EXPECT_EQ(kxstandLiveObjects(), 0);
}

TEST(FlippingChain, CreationMemoryAndRotation) {
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
    ASSERT_EQ(directDraw->CreateSurface(&desc, &front, nullptr), DD_OK);
    IDirectDrawSurface* another = nullptr;
    EXPECT_EQ(directDraw->CreateSurface(&desc, &another, nullptr),
              DDERR_PRIMARYSURFACEALREADYEXISTS);
    EXPECT_EQ(kxstandLiveObjects(), 4); // the object and three surfaces

    // 640 x 480 in 565, a pitch wider than a row (its leftovers: below).
    DDSURFACEDESC locked{};
    locked.dwSize = sizeof locked;
    ASSERT_EQ(front->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(locked.dwWidth * locked.dwHeight, 640u * 480u);
    EXPECT_EQ(locked.lPitch, 1536);
    EXPECT_EQ(locked.ddpfPixelFormat.dwRBitMask, 0xF800u);
    EXPECT_EQ(front->Unlock(nullptr), DD_OK);

    // A flip rotates the memory while the interfaces stay put.
    IDirectDrawSurface* back = backBufferOf(front);
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(fill(front, 0x1111), DD_OK);
    ASSERT_EQ(fill(back, 0x2222), DD_OK);
    const uint8_t* memory[3] = {kxstandChainPixels(0), kxstandChainPixels(1),
                                kxstandChainPixels(2)};
    ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(kxstandChainPixels(0), memory[1]);
    EXPECT_EQ(kxstandChainPixels(1), memory[2]);
    EXPECT_EQ(kxstandChainPixels(2), memory[0]);
    EXPECT_EQ(chainPixel(0, 10, 10), 0x2222);
    EXPECT_EQ(chainPixel(2, 10, 10), 0x1111);
    EXPECT_EQ(lockSurface(back), memory[2]);
    EXPECT_EQ(back->Unlock(nullptr), DD_OK);
    EXPECT_EQ(back->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);
    EXPECT_EQ(back->Release(), 1u);
    EXPECT_EQ(front->Release(), 0u);

    // Settings apply to chains made afterwards.
    kxstandSetPitch(2048);
    kxstandSetPixelFormat565(false);
    kxstandSetSurfaceOffset(2);
    front = createChain(directDraw, 1);
    ASSERT_NE(front, nullptr);
    LONG pitch = 0;
    const uint8_t* base = lockSurface(front, &pitch);
    EXPECT_EQ(pitch, 2048);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(base) % 16, 2u);
    EXPECT_EQ(front->Unlock(nullptr), DD_OK);
    DDPIXELFORMAT format{};
    format.dwSize = sizeof format;
    ASSERT_EQ(front->GetPixelFormat(&format), DD_OK);
    EXPECT_EQ(format.dwGBitMask, 0x03E0u);
    const uint8_t* behind = kxstandChainPixels(1);
    ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK); // one back buffer: a swap
    EXPECT_EQ(kxstandChainPixels(0), behind);
    EXPECT_EQ(front->Release(), 0u);
    EXPECT_EQ(directDraw->Release(), 0u);
    EXPECT_EQ(kxstandLiveObjects(), 0);
}

TEST(FlippingChain, LocksFillsLossAndRestore) {
    kxstandSetPitch(1600);
    FullScreenChain chain;
    ASSERT_NO_FATAL_FAILURE(makeFullScreenChain(&chain));
    auto [directDraw, front, back] = chain;
    HRESULT result = DD_OK;
    EXPECT_EQ(back->Unlock(nullptr), DDERR_NOTLOCKED);
    ASSERT_EQ(lockSurface(back), kxstandChainPixels(1));
    EXPECT_EQ(lockSurface(back, nullptr, &result), nullptr);
    EXPECT_EQ(result, DDERR_SURFACEBUSY);
    EXPECT_EQ(fill(back, 0), DDERR_SURFACEBUSY);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACEBUSY);
    EXPECT_EQ(kxstandLockedSurfaces(), 1);
    EXPECT_EQ(back->Unlock(nullptr), DD_OK);

    // A fill covers the surface and nothing past its rows.
    int pitch = 0;
    uint8_t* pixels = kxstandChainPixels(0, &pitch);
    const uint16_t padding = pixelAt(pixels, pitch, 640, 7);
    ASSERT_EQ(fill(front, 0x12345), DD_OK);
    int wrong = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            wrong += pixelAt(pixels, pitch, x, y) != 0x2345;
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(pixelAt(pixels, pitch, 640, 7), padding);

    // A lost chain refuses work until the primary restores it.
    kxstandLoseSurfaces();
    EXPECT_EQ(back->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(lockSurface(back, nullptr, &result), nullptr);
    EXPECT_EQ(result, DDERR_SURFACELOST);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACELOST);
    EXPECT_EQ(fill(back, 0), DDERR_SURFACELOST);
    EXPECT_NE(back->Restore(), DD_OK);
    EXPECT_EQ(front->Restore(), DD_OK);
    EXPECT_EQ(back->IsLost(), DD_OK);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);

    // A locked surface released with its chain leaves no lock behind.
    ASSERT_NE(lockSurface(back), nullptr);
    EXPECT_EQ(back->Release(), 1u);
    EXPECT_EQ(front->Release(), 0u);
    EXPECT_EQ(kxstandLockedSurfaces(), 0);
    EXPECT_EQ(directDraw->Release(), 0u);
    EXPECT_EQ(kxstandLiveObjects(), 0);
}

namespace {

// Zero words in the rows of every surface of the chain.
int chainZeros() {
    int zeros = 0, pitch = 0;
    for (int p = 0; const uint8_t* pixels = kxstandChainPixels(p, &pitch); ++p)
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                zeros += pixelAt(pixels, pitch, x, y) == 0;
    return zeros;
}

// What a driver's clear leaves: every surface of the chain black.
void clearChain() {
    int pitch = 0;
    for (int p = 0; uint8_t* pixels = kxstandChainPixels(p, &pitch); ++p)
        for (int y = 0; y < 480; ++y)
            std::memset(pixels + y * pitch, 0, 2 * 640);
}

} // namespace

// Leftovers drawn: a missed clear shows in new and restored memory, also in
// memory a cleared chain gave back. Kept: both hold what was there.
TEST(FlippingChain, LeftoversDrawnIntoNewAndRestoredMemoryOrKept) {
    constexpr int kWholeChain = 3 * 640 * 480;
    for (bool drawn : {true, false}) {
        SCOPED_TRACE(drawn ? "drawn" : "kept");
        kxstandSetLeftovers(drawn);
        FullScreenChain chain;
        ASSERT_NO_FATAL_FAILURE(makeFullScreenChain(&chain));
        auto [directDraw, front, back] = chain;
        // The first pass leaves its memory cleared for the second.
        EXPECT_EQ(chainZeros(), drawn ? 0 : kWholeChain);
        clearChain();
        kxstandLoseSurfaces();
        ASSERT_EQ(front->Restore(), DD_OK);
        EXPECT_EQ(chainZeros(), drawn ? 0 : kWholeChain);
        clearChain();
        EXPECT_EQ(back->Release(), 1u);
        EXPECT_EQ(front->Release(), 0u);
        front = createChain(directDraw);
        ASSERT_NE(front, nullptr);
        EXPECT_EQ(chainZeros(), drawn ? 0 : kWholeChain);
        clearChain();
        EXPECT_EQ(front->Release(), 0u);
        EXPECT_EQ(directDraw->Release(), 0u);
    }
}

// Pitches of any sign and size describe the rows as given: bottom-up, or
// overlapping in at least a row's memory each. Bytes written just before the
// rows are found at the next call on the chain, once each.
TEST(FlippingChain, PitchesOfAnySizeAndWritesBeforeTheRows) {
    IDirectDraw* directDraw = createFullScreen();
    ASSERT_NE(directDraw, nullptr);
    for (int pitch : {-1536, 1000, 2, 1537}) {
        SCOPED_TRACE(pitch);
        kxstandSetPitch(pitch);
        kxstandSetSurfaceOffset(6);
        IDirectDrawSurface* front = createChain(directDraw);
        ASSERT_NE(front, nullptr);
        LONG lockPitch = 0;
        uint8_t* pixels = lockSurface(front, &lockPitch);
        EXPECT_EQ(lockPitch, pitch);
        EXPECT_EQ(pixels, kxstandChainPixels(0));
        EXPECT_EQ(front->Unlock(nullptr), DD_OK);
        // The fill reaches every row as described, the last one included.
        ASSERT_EQ(fill(front, 0x0707), DD_OK);
        EXPECT_EQ(pixelAt(pixels, pitch, 639, 479), 0x0707);
        EXPECT_EQ(pixelAt(pixels, pitch, 0, 0), 0x0707);
        const int before = kxstandStrayWrites();
        if (pitch > 0) {
            pixels[-2] = 1;
            pixels[-1] = 2;
            EXPECT_EQ(fill(front, 0), DD_OK); // a call on the chain checks
            EXPECT_EQ(kxstandStrayWrites(), before + 1);
            EXPECT_EQ(kxstandStrayWrites(), before + 1);
            pixels[-1] = 3;
        }
        EXPECT_EQ(front->Release(), 0u);
        EXPECT_EQ(kxstandStrayWrites(), before + (pitch > 0 ? 2 : 0));
    }
    EXPECT_EQ(directDraw->Release(), 0u);
}

#if defined(__SANITIZE_ADDRESS__)
#define KX_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KX_TEST_ASAN 1
#endif
#endif
#if KX_TEST_ASAN
// Chain memory comes in blocks of at least the default pitch's size, and a
// narrow chain may get a wider one's: what lies past its rows stays out of
// bounds either way.
TEST(FlippingChainDeathTest, ANarrowChainEndsAtItsRowsInLargerMemory) {
    IDirectDraw* directDraw = createFullScreen();
    ASSERT_NE(directDraw, nullptr);
    for (int pitch : {1280, 4096, 2000}) {
        SCOPED_TRACE(pitch);
        kxstandSetPitch(pitch);
        IDirectDrawSurface* front = createChain(directDraw);
        ASSERT_NE(front, nullptr);
        volatile uint8_t* pixels = kxstandChainPixels(0);
        pixels[pitch * 479 + 1279] = 1;
        EXPECT_DEATH(pixels[pitch * 480 + 32] = 1, "use-after-poison|heap-buffer-overflow");
        EXPECT_EQ(front->Release(), 0u);
    }
    EXPECT_EQ(directDraw->Release(), 0u);
}
#endif
