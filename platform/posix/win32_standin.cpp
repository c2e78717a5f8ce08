// The Win32 calls the driver makes, on a pretend desktop: windows that exist
// as handles, a cursor counter, a virtual clock, one loadable library
// (ddraw.dll), a captured debugger output and the process's environment.
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/posix/standin_control.h"
#include "platform/posix/standin_internal.h"
#include "platform/win32.h"

namespace {

// Window handles are numbers that are never dereferenced.
uintptr_t nextWindow = 0x10010;
std::set<HWND> windows = {reinterpret_cast<HWND>(uintptr_t{0x10000})};
HWND activeWindow = reinterpret_cast<HWND>(uintptr_t{0x10000});

int cursorCounter = 0;
// The virtual clock in microseconds: Sleep advances it, and so does every
// reading of the high-resolution clock, by one, as a real clock moves on
// while it is watched.
uint64_t clockUs = 0;
std::vector<std::string> debugLines;

// The one library there is; its handle is the address of this tag.
char ddrawModuleTag;
HMODULE ddrawModule() {
    return reinterpret_cast<HMODULE>(&ddrawModuleTag);
}
int libraryLoads = 0;
int libraryFrees = 0;

bool isDDrawName(const char* name) {
    // A path may lead to it; the letter case does not matter, nor a missing ".dll".
    const char* base = name;
    for (const char* p = name; *p; ++p)
        if (*p == '\\' || *p == '/') base = p + 1;
    std::string lower;
    for (const char* p = base; *p; ++p)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    return lower == "ddraw.dll" || lower == "ddraw";
}

int sign(int value) {
    return (value > 0) - (value < 0);
}

} // namespace

bool standinIsWindow(HWND window) {
    return window && windows.count(window) != 0;
}

bool standinDirectDrawLoaded() {
    return libraryLoads > libraryFrees;
}

extern "C" {

HWND KX_STDCALL GetActiveWindow(void) {
    HRESULT unused;
    if (standinCallFails("GetActiveWindow", &unused)) return nullptr;
    return activeWindow;
}

int KX_STDCALL ShowCursor(BOOL show) {
    HRESULT unused;
    // A failing call leaves the counter as it was.
    if (standinCallFails("ShowCursor", &unused)) return cursorCounter;
    cursorCounter += show ? 1 : -1;
    return cursorCounter;
}

void KX_STDCALL Sleep(DWORD milliseconds) {
    HRESULT unused;
    if (standinCallFails("Sleep", &unused, "%u", static_cast<unsigned>(milliseconds))) return;
    clockUs += uint64_t(milliseconds) * 1000;
}

BOOL KX_STDCALL QueryPerformanceCounter(int64_t* count) {
    *count = int64_t(++clockUs);
    return TRUE;
}

BOOL KX_STDCALL QueryPerformanceFrequency(int64_t* frequency) {
    *frequency = 1000000;
    return TRUE;
}

// Like the system's: letters compare without regard to case first, and only
// texts that differ in case alone are ordered by it, lower case first. Results
// are -1, 0 or 1; a null text sorts before any other.
int KX_STDCALL lstrcmpA(const char* a, const char* b) {
    HRESULT unused;
    if (standinCallFails("lstrcmpA", &unused)) return 0;
    if (!a || !b) return sign((a != nullptr) - (b != nullptr));
    int caseOrder = 0;
    for (size_t i = 0;; ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        const int folded = std::tolower(ca) - std::tolower(cb);
        if (folded != 0) return sign(folded);
        if (ca == 0) return caseOrder;
        if (caseOrder == 0 && ca != cb) caseOrder = std::islower(ca) ? -1 : 1;
    }
}

BOOL KX_STDCALL IsWindow(HWND window) {
    HRESULT unused;
    if (standinCallFails("IsWindow", &unused)) return FALSE;
    return standinIsWindow(window) ? TRUE : FALSE;
}

HMODULE KX_STDCALL LoadLibraryA(const char* name) {
    HRESULT unused;
    if (standinCallFails("LoadLibraryA", &unused)) return nullptr;
    if (!name || !isDDrawName(name)) return nullptr;
    ++libraryLoads;
    return ddrawModule();
}

FARPROC KX_STDCALL GetProcAddress(HMODULE module, const char* name) {
    HRESULT unused;
    if (standinCallFails("GetProcAddress", &unused)) return nullptr;
    if (module != ddrawModule() || !standinDirectDrawLoaded() || !name) return nullptr;
    if (std::strcmp(name, "DirectDrawCreate") != 0) return nullptr;
    // Through void (*)(), the generic function pointer type, as the system hands it out.
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&DirectDrawCreate));
}

BOOL KX_STDCALL FreeLibrary(HMODULE module) {
    HRESULT unused;
    if (standinCallFails("FreeLibrary", &unused)) return FALSE;
    if (module != ddrawModule() || !standinDirectDrawLoaded()) return FALSE;
    ++libraryFrees;
    return TRUE;
}

void KX_STDCALL OutputDebugStringA(const char* text) {
    HRESULT unused;
    if (standinCallFails("OutputDebugStringA", &unused)) return;
    if (!text) return;
    // A debugger's window keeps the recent lines; so does this capture.
    if (debugLines.size() >= 4096) debugLines.erase(debugLines.begin(), debugLines.begin() + 2048);
    debugLines.emplace_back(text);
}

DWORD KX_STDCALL GetCurrentProcessId(void) {
    return DWORD(getpid());
}

DWORD KX_STDCALL GetEnvironmentVariableA(const char* name, char* value, DWORD size) {
    const char* found = name ? std::getenv(name) : nullptr;
    if (!found) return 0;
    const size_t length = std::strlen(found);
    if (!value || length >= size) return DWORD(length + 1);
    std::memcpy(value, found, length + 1);
    return DWORD(length);
}

BOOL KX_STDCALL SetEnvironmentVariableA(const char* name, const char* value) {
    if (!name) return FALSE;
    return (value ? setenv(name, value, 1) : unsetenv(name)) == 0 ? TRUE : FALSE;
}

} // extern "C"

HWND kxstandDefaultWindow() {
    return reinterpret_cast<HWND>(uintptr_t{0x10000});
}

HWND kxstandCreateWindow() {
    HWND window = reinterpret_cast<HWND>(nextWindow);
    nextWindow += 0x10;
    windows.insert(window);
    return window;
}

void kxstandDestroyWindow(HWND window) {
    windows.erase(window);
    if (activeWindow == window) activeWindow = nullptr;
}

void kxstandSetActiveWindow(HWND window) {
    activeWindow = window;
}

int kxstandCursorCounter() {
    return cursorCounter;
}

uint64_t kxstandClockMs() {
    return clockUs / 1000;
}

uint64_t kxstandClockUs() {
    return clockUs;
}

const std::vector<std::string>& kxstandDebugLines() {
    return debugLines;
}

void kxstandClearDebugLines() {
    debugLines.clear();
}

int kxstandLibraryLoads() {
    return libraryLoads;
}

int kxstandLibraryFrees() {
    return libraryFrees;
}

int kxstandLibraryLoaded() {
    return libraryLoads - libraryFrees;
}
