#include "host/wintest/display_probe.h"

DisplayMode currentDisplayMode() {
    DEVMODEA mode = {};
    mode.dmSize = sizeof(mode);
    DisplayMode result;
    if (EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode)) {
        result.width = mode.dmPelsWidth;
        result.height = mode.dmPelsHeight;
        result.bitsPerPixel = mode.dmBitsPerPel;
    }
    return result;
}

bool ddrawLoaded() {
    return GetModuleHandleA("ddraw.dll") != nullptr;
}

int cursorCounter() {
    const int counter = ShowCursor(TRUE) - 1;
    ShowCursor(FALSE);
    return counter;
}
