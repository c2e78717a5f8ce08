// The version record, the two callbacks and the screen devices.
#include <cstdint>
#include <cstring>

#include "softsgl/band_workers.h"
#include "softsgl/softsgl_control.h"
#include "softsgl/softsgl_state.h"
#include "softsgl/supersampling.h"

namespace softsgl {
namespace {

char versionText[64] = "0046h";
sgl_win_versions versions = {{"softsgl", "software renderer", "1.0", versionText, "", ""}};

sgl_address_callback theAddressCallback = nullptr;
sgl_eor_callback theEorCallback = nullptr;

Device devices[kMaxDevices];
uint32_t deviceSerial = 0;

} // namespace

sgl_address_callback addressCallback() {
    return theAddressCallback;
}
sgl_eor_callback eorCallback() {
    return theEorCallback;
}

const Device* currentDevice() {
    const Device* newest = nullptr;
    for (const Device& d : devices)
        if (d.live && (!newest || d.serial > newest->serial)) newest = &d;
    return newest;
}

} // namespace softsgl

using namespace softsgl;

SGL_API sgl_win_versions* SGL_CALL sgl_get_win_versions(void) {
    int failed;
    if (enterCall("sgl_get_win_versions", {}, &failed)) return nullptr;
    return &versions;
}

SGL_API int SGL_CALL sgl_use_address_mode(sgl_address_callback callback, int32_t* status) {
    int failed;
    if (enterCall("sgl_use_address_mode",
                  {pointerArg(reinterpret_cast<void*>(callback)), pointerArg(status)}, &failed))
        return failed;
    theAddressCallback = callback;
    return 0;
}

SGL_API int SGL_CALL sgl_use_eor_callback(sgl_eor_callback callback) {
    int failed;
    if (enterCall("sgl_use_eor_callback", {pointerArg(reinterpret_cast<void*>(callback))}, &failed))
        return failed;
    theEorCallback = callback;
    return 0;
}

SGL_API int SGL_CALL sgl_create_screen_device(int device, int width, int height, int colourMode,
                                              int doubleBuffer) {
    int failed;
    if (enterCall("sgl_create_screen_device", {device, width, height, colourMode, doubleBuffer},
                  &failed))
        return failed;
    if (device != 0 || width < 1 || height < 1 || width > kMaxDeviceSide || height > kMaxDeviceSide)
        return kErrBadParameter;
    // A host that was unloaded without deleting its device (a game that
    // frees the driver as it crashes) leaves the device live for good: with
    // every slot taken, the oldest is taken over, under a new id, so that its
    // first owner's id no longer names it. Only the newest device is drawn
    // into, so the host that still draws keeps its device.
    int slot = -1;
    for (int k = 0; k < kMaxDevices; ++k)
        if (!devices[k].live) {
            slot = k;
            break;
        }
    int id;
    if (slot >= 0) {
        id = devices[slot].id < 0 ? slot : devices[slot].id;
    } else {
        slot = 0;
        for (int k = 1; k < kMaxDevices; ++k)
            if (devices[k].serial < devices[slot].serial) slot = k;
        const int generations = INT32_MAX / kMaxDevices;
        id = slot + (devices[slot].id / kMaxDevices + 1) % generations * kMaxDevices;
    }
    devices[slot] = Device{true, width, height, ++deviceSerial, id};
    return id;
}

SGL_API void SGL_CALL sgl_delete_device(int device) {
    int failed;
    if (enterCall("sgl_delete_device", {device}, &failed)) return;
    if (device >= 0 && devices[device % kMaxDevices].id == device)
        devices[device % kMaxDevices].live = false;
    // Without a device nothing is drawn: the band workers end and the
    // sample buffers go until the next frame wants them.
    if (!currentDevice()) {
        stopBandWorkers();
        releaseSampleBuffers();
        // With no device left the ids start again from the slots, so that a
        // host's first device is 0 whatever came before.
        for (Device& d : devices)
            d.id = -1;
    }
}

void softsglSetVersionText(const char* version) {
    std::strncpy(versionText, version ? version : "", sizeof versionText - 1);
    versionText[sizeof versionText - 1] = '\0';
}

int softsglLiveDevices() {
    int n = 0;
    for (const Device& d : devices)
        n += d.live ? 1 : 0;
    return n;
}
