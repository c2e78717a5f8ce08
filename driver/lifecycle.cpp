// Identification, start-up, shut-down and the render resolution.
#include "api/kxapi.h"
#include "blit/pixel_format.h"
#include "diag/diag.h"
#include "display/display.h"
#include "driver/draw_primitive.h"
#include "driver/driver_state.h"
#include "platform/directdraw.h"
#include "texture/texture.h"

int driverInitialised;
ScreenPixelFormat screenFormat;
HWND hostWindow;
int32_t sglDevice;
int32_t screenWidth, screenHeight;

static const GUID driverGuid = {
    0x6B3D2F41, 0x9C1E, 0x4A57, {0x8E, 0x21, 0x5D, 0x0C, 0x73, 0xA9, 0x46, 0xB2}};
static const char deviceName[] = "PowerVR PCX-2";
static const char minimumLibraryVersion[] = "0046h";

struct ResolutionMode {
    int32_t width, height;
};
static const ResolutionMode resolutionModes[] = {
    {320, 200}, {320, 240}, {512, 384}, {640, 480}, {800, 600}};

KXAPI const GUID* KX_CDECL GetGuid(void) {
    return &driverGuid;
}

KXAPI const char* KX_CDECL GetID(void) {
    return deviceName;
}

KXAPI int KX_CDECL Detect(void) {
    const sgl_win_versions* versions = sgl_get_win_versions();
    // A library that gives no version text cannot be vouched for.
    if (!versions || !versions->text[3]) return 0;
    // A text comparison, as the library's version texts are meant to sort.
    return lstrcmpA(versions->text[3], minimumLibraryVersion) >= 0 ? 1 : 0;
}

static int createScreenDevice(int32_t width, int32_t height) {
    const int device = sgl_create_screen_device(0, width, height, 0, 1);
    if (device < 0) kxPrint("sgl_create_screen_device failure: device = %d\n", device);
    return device;
}

// A failed start gives the display back, so that the desktop is usable and a
// later Init can take the display over afresh.
static int failInit() {
    ddrawShutdown();
    return 0;
}

KXAPI int KX_CDECL Init(void) {
    if (driverInitialised) return 1;
    // Its display must be given back before this start takes it over.
    endLeftSession();
    // Once a process: what the player's settings file got wrong, before
    // anything it may explain.
    kxReportSettingProblems();
    hostWindow = GetActiveWindow();
    if (!Detect()) {
        // The one failing step the driver would otherwise pass over silently.
        const sgl_win_versions* versions = sgl_get_win_versions();
        const char* text = versions && versions->text[3] ? versions->text[3] : "(none)";
        kxPrint("Init, Detect failure: the SGL library's version is %s, %s or later needed\n", text,
                minimumLibraryVersion);
        return 0;
    }
    if (!ddrawInit(hostWindow)) {
        kxPrint("Init, ddrawInit failure!\n");
        return failInit();
    }
    screenFormat = screenPixelFormatOf(ddPrimaryPixelFormat());
    int result = sgl_use_address_mode(pvr_RenderCallback, &sglAddressStatus);
    if (result != 0) {
        kxPrint("Init, sgl_use_address mode returned %d!\n", result);
        return failInit();
    }
    sgl_use_eor_callback(pvr_EndOfRenderCallback);
    sglDevice = createScreenDevice(640, 480);
    if (sglDevice < 0) return failInit();
    screenWidth = 640;
    screenHeight = 480;
    keyedBlits = 0;
    // A key colour and a global palette set before the first start (or on
    // another display format) are made again in this display's pixel format.
    screenFormat.screenColourConverter(&chromaKeyScreenColour, &chromaKeyColour);
    rebuildScreenPalette();
    ShowCursor(FALSE);
    pvr_InitContext();
    // The new frame has not been rendered, whatever the last frame before a
    // shut-down left behind.
    sceneRendered = 0;
    pvr_StartOfFrame();
    initFanIndexTable();
    textureCache.Init();
    driverInitialised = 1;
    return 1;
}

KXAPI void KX_CDECL Shutdown(void) {
    if (!driverInitialised) return;
    WaitForIdle();
    textureCache.Reset();
    if (sglDevice >= 0) sgl_delete_device(sglDevice);
    // The back buffer is about to go: nothing may write through its address.
    renderTarget.valid = 0;
    ddrawShutdown();
    ShowCursor(TRUE);
    driverInitialised = 0;
}

KXAPI int KX_CDECL Pause(void) {
    return 1;
}

KXAPI int KX_CDECL Restore(void) {
    Sleep(500);
    return 1;
}

KXAPI int KX_CDECL ChangeResolution(int32_t mode) {
    // Without a started driver there is no device to resize.
    if (!driverInitialised) return 0;
    ResolutionMode size = {640, 480};
    if (mode >= 0 && mode < 5) size = resolutionModes[mode];
    // The render area must fit the 640 x 480 back buffer: the accelerator
    // would otherwise write past it.
    if (size.width > kDisplayWidth || size.height > kDisplayHeight) return 0;
    if (sglDevice >= 0) sgl_delete_device(sglDevice);
    sglDevice = createScreenDevice(size.width, size.height);
    const int changed = sglDevice >= 0;
    if (changed) {
        ResetTextures();
        screenWidth = size.width;
        screenHeight = size.height;
    } else {
        // Without a device every later frame would draw nothing: the area
        // in force stays, on a device made again.
        sglDevice = createScreenDevice(screenWidth, screenHeight);
    }
    // The frame starts afresh: what was queued, or rendered by a blit,
    // belongs to the device that went and may use textures that went too.
    sceneRendered = 0;
    pvr_StartOfFrame();
    return changed;
}
