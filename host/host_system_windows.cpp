#include "host/host_system.h"

#include <windows.h>

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
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = "KxDemoWindow";
    if (!RegisterClassA(&windowClass)) {
        error = "RegisterClass failed (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    hostWindow =
        CreateWindowExA(WS_EX_APPWINDOW, windowClass.lpszClassName, title, WS_POPUP | WS_VISIBLE, 0,
                        0, width, height, nullptr, nullptr, instance, nullptr);
    if (!hostWindow) {
        error = "CreateWindow failed (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    ShowWindow(hostWindow, SW_SHOWNORMAL);
    UpdateWindow(hostWindow);
    SetForegroundWindow(hostWindow);
    SetActiveWindow(hostWindow);
    SetFocus(hostWindow);
    pumpHostMessages();
    return true;
}

bool pumpHostMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) windowClosed = true;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
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
