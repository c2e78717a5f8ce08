// What the demo needs from the operating system, behind one header: loading a
// library by name, the program's folder (host_library.h), and on Windows the
// host window that the driver takes over. Kept apart from the driver's
// headers, which must not meet <windows.h> in one translation unit.
#pragma once

#include <string>

#include "host/host_library.h"

// Windows: creates and shows the host's window and makes it the active,
// foreground one, so that the driver finds it with GetActiveWindow. Elsewhere
// the stand-in system already has an active window and this does nothing.
bool createHostWindow(const char* title, int width, int height, std::string& error);
// Handles pending window messages; false once the window has been closed.
bool pumpHostMessages();
void destroyHostWindow();
// Processor time the whole process (every thread) has used, in seconds.
double processSeconds();
