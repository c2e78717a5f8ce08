// The host programs' windows on Windows (the demo's host window, the frame
// viewer's): one way to register a window class and open a window of it,
// and to handle the messages waiting. Only Windows sources include this.
#pragma once

#include <windows.h>

#include <string>

struct WindowRequest {
    const char* className = nullptr;
    WNDPROC procedure = nullptr;
    bool arrowCursor = false; // otherwise the class has no cursor
    DWORD extendedStyle = 0, style = 0;
    int x = 0, y = 0, width = 0, height = 0;
};

// Registers the class (once: a class already registered is used as it is)
// with a black background and opens a window of it titled `title`; nullptr
// with `error` set when either fails.
HWND openWindow(const WindowRequest& request, const char* title, std::string& error);
// Handles every message waiting for the thread's windows; false when one of
// them was WM_QUIT.
bool handleWindowMessages();
