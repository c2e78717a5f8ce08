// The window a host engine would have: a visible 640x480 pop-up that is the
// active window when the driver starts, so that GetActiveWindow finds it.
#pragma once

#include <windows.h>

HWND createHostWindow();
// Handles pending window messages, as a host's main loop does between frames.
void pumpMessages();
