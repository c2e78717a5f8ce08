// What the host can see of the display from outside the driver: the display
// mode, whether DirectDraw is loaded, and the cursor's display counter.
#pragma once

#include <windows.h>

struct DisplayMode {
    DWORD width = 0;
    DWORD height = 0;
    DWORD bitsPerPixel = 0;
};

DisplayMode currentDisplayMode();
bool ddrawLoaded();
// The cursor's display counter (0 when shown as at start, negative when hidden).
int cursorCounter();
