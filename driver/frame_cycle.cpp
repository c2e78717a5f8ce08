// The frame cycle: opening, rendering and flipping frames, and the two
// callbacks through which SGL reaches the driver during a render.
#include "api/kxapi.h"
#include "blit/pixel_format.h"
#include "diag/diag.h"
#include "display/display.h"
#include "driver/driver_state.h"
#include "platform/win32.h"
#include "settings/settings.h"
#include "texture/texture.h"

uint32_t frameCounter;
int sceneRendered;
RenderTarget renderTarget;
int32_t sglAddressStatus;

static const uint32_t kWaitForever = 0xFFFFFFFFu;

int pvr_StartOfFrame() {
    textureCache.OpenFrame();
    return sgltri_startofframe(&sglContext);
}

int pvr_RenderScene() {
    // The callback marks the target valid again if it learns the address.
    renderTarget.valid = 0;
    sgltri_render(&sglContext);
    return sgltri_isrendercomplete(&sglContext, kWaitForever);
}

void renderSceneForBlit() {
    if (!driverInitialised) return;
    if (!sceneRendered) {
        sceneRendered = 1;
        pvr_RenderScene();
    }
    // A chain lost since the render (the player switched away between two
    // blits) holds memory that may no longer be the back buffer.
    if (renderTarget.valid && ddBackBufferLost()) renderTarget.valid = 0;
}

KXAPI int KX_CDECL WaitForIdle(void) {
    if (!driverInitialised) return 0;
    return sgltri_isrendercomplete(&sglContext, kWaitForever);
}

// The frame limiter (fps_limit = N): a flip waits until 1/N s has passed
// since the one before, so that a game that counts frames runs at N a
// second at most, its flips evenly spaced. It sleeps, then watches the
// clock for the last millisecond, which a sleep overshoots. A frame that
// came late is not made up for by hurrying the next.
static int64_t lastFlipTime; // in clock counts; 0: no flip yet

typedef unsigned(KX_STDCALL* TimerPeriodFunction)(unsigned);

// Windows' sleeps are 15.6 ms coarse unless the timer is asked for 1 ms
// while the limiter sleeps (winmm.dll, loaded when first needed).
static void timerPeriod(bool fine) {
    static TimerPeriodFunction begin = nullptr, end = nullptr;
    static bool looked = false;
    if (!looked) {
        looked = true;
#if defined(_WIN32)
        if (HMODULE winmm = LoadLibraryA("winmm.dll")) {
            // Through a plain function pointer: FARPROC's own type is not theirs.
            begin = reinterpret_cast<TimerPeriodFunction>(
                reinterpret_cast<void (*)(void)>(GetProcAddress(winmm, "timeBeginPeriod")));
            end = reinterpret_cast<TimerPeriodFunction>(
                reinterpret_cast<void (*)(void)>(GetProcAddress(winmm, "timeEndPeriod")));
        }
#endif
    }
    if (begin && end) (fine ? begin : end)(1);
}

static void waitForFrameSlot(int limit) {
    static int64_t frequency = 0;
    if (frequency == 0 && (!QueryPerformanceFrequency(&frequency) || frequency <= 0)) {
        frequency = -1; // no clock: no limit
        kxPrint("PageFlip, no high-resolution clock: fps_limit is not applied\n");
    }
    if (frequency < 0) return;
    const int64_t period = frequency / limit;
    int64_t now = 0;
    QueryPerformanceCounter(&now);
    const int64_t due = lastFlipTime + period;
    if (lastFlipTime != 0 && now < due) {
        const int64_t sleepMs = (due - now) * 1000 / frequency - 1;
        if (sleepMs > 0) {
            timerPeriod(true);
            Sleep(DWORD(sleepMs));
            timerPeriod(false);
        }
        while (now < due)
            QueryPerformanceCounter(&now);
    }
}

KXAPI int KX_CDECL PageFlip(void) {
    if (!driverInitialised) return 0;
    if (!sceneRendered) pvr_RenderScene();
    const int limit = kxSettings().fpsLimit;
    if (limit) waitForFrameSlot(limit);
    ddFlip();
    // The flip's time is when it has been made: a flip that takes its time
    // (a DirectDraw that presents to a window first) would otherwise shorten
    // the host's next frame by as much.
    if (limit) QueryPerformanceCounter(&lastFlipTime);
    // After the flip the remembered address shows on screen: no blit may use it.
    renderTarget.valid = 0;
    sceneRendered = 0;
    frameCounter++;
    return pvr_StartOfFrame();
}

int SGL_CALL pvr_RenderCallback(AddressCallbackParams* params) {
    uint8_t* address = nullptr;
    uint16_t pitch = 0;
    if (!ddGetWindowInfo(hostWindow, &address, &pitch)) {
        kxPrint("pvr_RenderCallback, ddGetWindowInfo failed\n");
        return 0;
    }
    renderTarget = {address, pitch, kDisplayWidth, kDisplayHeight, 1};
    params->address = address;
    params->stride = pitch;
    params->bitsPerPixel = static_cast<uint8_t>(ddGetBitsPerPixel(screenFormat));
    ddUnlockBackBuffer();
    // The accelerator draws the render area only: the rest of the back
    // buffer would show what an earlier frame, a larger area or a blit left.
    ddClearBackBufferOutside(screenWidth, screenHeight);
    return 0;
}

int SGL_CALL pvr_EndOfRenderCallback(void) {
    return 0;
}
