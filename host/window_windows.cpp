#include "host/window_windows.h"

HWND openWindow(const WindowRequest& request, const char* title, std::string& error) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = request.procedure;
    windowClass.hInstance = instance;
    if (request.arrowCursor)
        windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = request.className;
    if (!RegisterClassA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        error = "RegisterClass failed (error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    HWND window = CreateWindowExA(request.extendedStyle, request.className, title, request.style,
                                  request.x, request.y, request.width, request.height, nullptr,
                                  nullptr, instance, nullptr);
    if (!window) error = "CreateWindow failed (error " + std::to_string(GetLastError()) + ")";
    return window;
}

bool handleWindowMessages() {
    bool quit = false;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) quit = true;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return !quit;
}
