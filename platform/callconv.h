// Calling conventions and linkage of the platform's interfaces, in one place.
#pragma once

#if defined(_WIN32)
#define KX_STDCALL __stdcall
#define KX_CDECL __cdecl
#define KX_DLLIMPORT __declspec(dllimport)
#define KX_DLLEXPORT __declspec(dllexport)
#else
#define KX_STDCALL
#define KX_CDECL
#define KX_DLLIMPORT
#define KX_DLLEXPORT __attribute__((visibility("default")))
#endif

// SGL's calling convention: plain C, arguments on the stack, caller cleans up.
// Should the vendor's library ever prove different, this is the one line to change.
#define SGL_CALL KX_CDECL
