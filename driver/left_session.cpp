// A session the host left behind: a host that frees the library without
// Shutdown (a crashing game's clean-up, a renderer dropped in haste) leaves
// its DirectDraw objects in ddraw.dll and its SGL device and textures in
// sgl.dll, both still loaded, and nothing would ever give them back. Nothing
// may be released while the library is being freed: the system holds its
// loader lock then, and DirectDraw or SGL may wait on threads of their own
// that need it. So the session is only noted where the next copy of the
// driver in the process finds it (an environment variable naming the
// process and the note's address), and that copy's Init ends it.
#include <cstdio>
#include <cstdlib>

#include "diag/diag.h"
#include "display/display.h"
#include "driver/driver_state.h"
#include "driver/driver_test_control.h"
#include "platform/library_unload.h"
#include "texture/texture.h"

namespace {

struct LeftSession {
    DisplayObjects display;
    int32_t device;
    int textureCount;
    int32_t textures[kCacheSlots];
};

const char kVariable[] = "KXPWRVR_LEFT_SESSION";

} // namespace

void kxLeaveSession() {
    if (!driverInitialised) return;
    // malloc's heap is the C runtime's, which outlives this library.
    auto* left = static_cast<LeftSession*>(std::malloc(sizeof(LeftSession)));
    if (!left) return;
    char note[64];
    std::snprintf(note, sizeof note, "%lu %p", static_cast<unsigned long>(GetCurrentProcessId()),
                  static_cast<void*>(left));
    if (!SetEnvironmentVariableA(kVariable, note)) {
        std::free(left); // no note, nothing handed over: the session stays this copy's
        return;
    }
    left->display = ddLeaveObjects();
    left->device = sglDevice;
    left->textureCount = textureCache.TextureNames(left->textures);
    driverInitialised = 0;
}

void endLeftSession() {
    char note[64];
    const DWORD length = GetEnvironmentVariableA(kVariable, note, sizeof note);
    if (length == 0) return;
    SetEnvironmentVariableA(kVariable, nullptr);
    unsigned long process = 0;
    void* address = nullptr;
    // A note another process left (inherited with its environment) names
    // memory that is not ours.
    if (length >= sizeof note || std::sscanf(note, "%lu %p", &process, &address) != 2 ||
        process != GetCurrentProcessId() || !address)
        return;
    auto* left = static_cast<LeftSession*>(address);
    kxPrint("Init, ending the session of a driver freed without Shutdown\n");
    for (int i = 0; i < left->textureCount; ++i)
        sgl_delete_texture(left->textures[i]);
    if (left->device >= 0) sgl_delete_device(left->device);
    ddReleaseLeftObjects(left->display);
    ShowCursor(TRUE); // its Init hid the cursor
    std::free(left);
}

#if defined(_WIN32)
// Freed by the host (`reserved` null; at process exit it is not, and
// everything ends with the process).
extern "C" BOOL KX_STDCALL DllMain(HMODULE, DWORD reason, void* reserved) {
    if (reason == kDllProcessDetach && !reserved) {
        kxLeaveSession();
        freeRuntimeArena();
    }
    return TRUE;
}
#endif
