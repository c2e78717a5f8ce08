#include "host/host_system.h"

#include "host/window_windows.h"

namespace {

HWND hostWindow = nullptr;
bool windowClosed = false;

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        windowClosed = true;
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        hostWindow = nullptr;
        PostQuitMessage(0);
        return 0;
    case WM_SETCURSOR:
        SetCursor(nullptr);
        return TRUE;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

bool createHostWindow(const char* title, int width, int height, std::string& error) {
    WindowRequest request = {};
    request.className = "KxDemoWindow";
    request.procedure = windowProcedure;
    request.extendedStyle = WS_EX_APPWINDOW;
    request.style = WS_POPUP | WS_VISIBLE;
    request.width = width;
    request.height = height;
    hostWindow = openWindow(request, title, error);
    if (!hostWindow) return false;
    ShowWindow(hostWindow, SW_SHOWNORMAL);
    UpdateWindow(hostWindow);
    SetForegroundWindow(hostWindow);
    SetActiveWindow(hostWindow);
    SetFocus(hostWindow);
    pumpHostMessages();
    return true;
}

bool pumpHostMessages() {
    if (!handleWindowMessages()) windowClosed = true;
    return !windowClosed;
}

void destroyHostWindow() {
    if (hostWindow) DestroyWindow(hostWindow);
    hostWindow = nullptr;
    pumpHostMessages();
}

double processSeconds() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    auto ticks = [](const FILETIME& t) {
        return double(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime;
    };
    return (ticks(kernel) + ticks(user)) * 1e-7; // 100 ns ticks
}
