#include "host/wintest/host_window.h"

#include <string>

#include "host/window_windows.h"
#include "host/wintest/report.h"

namespace {
LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // The display belongs to DirectDraw while the driver runs: nothing to paint.
    if (message == WM_ERASEBKGND) return 1;
    return DefWindowProcA(window, message, wParam, lParam);
}
} // namespace

HWND createHostWindow() {
    WindowRequest request;
    request.className = "kxwintest";
    request.procedure = windowProcedure;
    request.arrowCursor = true;
    request.extendedStyle = WS_EX_APPWINDOW;
    request.style = WS_POPUP | WS_VISIBLE;
    request.width = 640;
    request.height = 480;
    std::string error;
    HWND window = openWindow(request, "kxwintest", error);
    if (!window) {
        note("host window: %s", error.c_str());
        return nullptr;
    }
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    SetActiveWindow(window);
    UpdateWindow(window);
    pumpMessages();
    return window;
}

void pumpMessages() {
    handleWindowMessages();
}
