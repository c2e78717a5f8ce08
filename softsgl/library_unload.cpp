// sgl.dll freed by its host: the C++ runtime's arena goes with it. Nothing
// else is done here (the loader lock is held): the band workers hold their
// own reference to the library, so it is not freed while they live.
#if defined(_WIN32)
#include <windows.h>

#include "platform/library_unload.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == kDllProcessDetach && !reserved) freeRuntimeArena();
    return TRUE;
}
#endif
