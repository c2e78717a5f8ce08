// The few Win32 calls the driver makes. On Windows these are the system's own
// functions (user32/kernel32); on Linux platform/posix provides them.
#pragma once

#include <cstdint>

#include "platform/callconv.h"

typedef int BOOL;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef void* HANDLE;
struct HWND__;
typedef HWND__* HWND;
struct HINSTANCE__;
typedef HINSTANCE__* HMODULE;
typedef intptr_t(KX_STDCALL* FARPROC)();

#ifndef FALSE
#define FALSE 0
#endif
#ifndef TRUE
#define TRUE 1
#endif

#if defined(_WIN32)
#define KX_WIN32API KX_DLLIMPORT
#else
#define KX_WIN32API KX_DLLEXPORT
#endif

extern "C" {
KX_WIN32API HWND KX_STDCALL GetActiveWindow(void);
KX_WIN32API int KX_STDCALL ShowCursor(BOOL show);
KX_WIN32API void KX_STDCALL Sleep(DWORD milliseconds);
KX_WIN32API int KX_STDCALL lstrcmpA(const char* a, const char* b);
KX_WIN32API BOOL KX_STDCALL IsWindow(HWND window);
KX_WIN32API HMODULE KX_STDCALL LoadLibraryA(const char* name);
KX_WIN32API FARPROC KX_STDCALL GetProcAddress(HMODULE module, const char* name);
KX_WIN32API BOOL KX_STDCALL FreeLibrary(HMODULE module);
KX_WIN32API void KX_STDCALL OutputDebugStringA(const char* text);
// The high-resolution clock; the count is the system's LARGE_INTEGER, whose
// 64 bits are an int64_t.
KX_WIN32API BOOL KX_STDCALL QueryPerformanceCounter(int64_t* count);
KX_WIN32API BOOL KX_STDCALL QueryPerformanceFrequency(int64_t* frequency);
KX_WIN32API DWORD KX_STDCALL GetCurrentProcessId(void);
// The process's environment: the length copied (without its end), the size
// needed when `size` is too small, 0 when the variable is not set.
KX_WIN32API DWORD KX_STDCALL GetEnvironmentVariableA(const char* name, char* value, DWORD size);
// A null value removes the variable.
KX_WIN32API BOOL KX_STDCALL SetEnvironmentVariableA(const char* name, const char* value);
}
