// The viewer's window on Windows: a plain Win32 window painted from a
// top-down 24-bit DIB of the frame.
#include <deque>
#include <vector>

#include "host/frame_viewer_window.h"
#include "host/window_windows.h"

namespace {

HWND window = nullptr;
std::string title;
std::vector<uint8_t> bgr; // the frame as the DIB: blue, green, red, rows 4-byte aligned
int frameWidth = 0, frameHeight = 0;
std::deque<ViewerKey> keys;

void paint(HDC dc) {
    if (bgr.empty()) return;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = frameWidth;
    info.bmiHeader.biHeight = -frameHeight; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, 0, 0, DWORD(frameWidth), DWORD(frameHeight), 0, 0, 0, UINT(frameHeight),
                      bgr.data(), &info, DIB_RGB_COLORS);
}

ViewerKey keyOf(WPARAM key) {
    switch (key) {
    case VK_SPACE:
    case 'P':
        return ViewerKey::Pause;
    case 'N':
    case VK_RIGHT:
        return ViewerKey::StepFrame;
    case 'C':
    case VK_DOWN:
        return ViewerKey::StepCall;
    case 'Q':
    case VK_ESCAPE:
        return ViewerKey::Quit;
    default:
        return ViewerKey::None;
    }
}

LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        paint(dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_KEYDOWN:
        if (ViewerKey key = keyOf(wParam); key != ViewerKey::None) keys.push_back(key);
        return 0;
    case WM_CLOSE:
        keys.push_back(ViewerKey::Quit);
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

} // namespace

bool windowOpen(const char* name, int width, int height, std::string& error) {
    RECT frame = {0, 0, width, height};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE;
    AdjustWindowRect(&frame, style, FALSE);
    WindowRequest request = {};
    request.className = "KxFrameViewer";
    request.procedure = procedure;
    request.arrowCursor = true;
    request.style = style;
    request.x = request.y = CW_USEDEFAULT;
    request.width = frame.right - frame.left;
    request.height = frame.bottom - frame.top;
    window = openWindow(request, name, error);
    if (!window) {
        error = "cannot open a window: " + error;
        return false;
    }
    title = name;
    keys.clear();
    return true;
}

void windowClose() {
    if (window) DestroyWindow(window);
    window = nullptr;
}

void windowShow(const uint8_t* rgb, int width, int height, const std::string& caption) {
    if (!window) return;
    frameWidth = width;
    frameHeight = height;
    const size_t pitch = (size_t(width) * 3 + 3) & ~size_t(3);
    bgr.assign(pitch * size_t(height), 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t* in = rgb + (size_t(y) * size_t(width) + size_t(x)) * 3;
            uint8_t* out = &bgr[size_t(y) * pitch + size_t(x) * 3];
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    SetWindowTextA(window, (title + ": " + caption).c_str());
    HDC dc = GetDC(window);
    paint(dc);
    ReleaseDC(window, dc);
}

ViewerKey windowNextKey(int waitMs) {
    if (keys.empty() && waitMs > 0)
        MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(waitMs), QS_ALLINPUT);
    handleWindowMessages();
    if (keys.empty()) return ViewerKey::None;
    ViewerKey key = keys.front();
    keys.pop_front();
    return key;
}
