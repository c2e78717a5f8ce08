#include "host/wintest/host_window.h"

namespace {
LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // The display belongs to DirectDraw while the driver runs: nothing to paint.
    if (message == WM_ERASEBKGND) return 1;
    return DefWindowProcA(window, message, wParam, lParam);
}
} // namespace

HWND createHostWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = "kxwintest";
    if (!RegisterClassA(&windowClass)) return nullptr;
    HWND window = CreateWindowExA(WS_EX_APPWINDOW, "kxwintest", "kxwintest", WS_POPUP | WS_VISIBLE,
                                  0, 0, 640, 480, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window) return nullptr;
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    SetActiveWindow(window);
    UpdateWindow(window);
    pumpMessages();
    return window;
}

void pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
