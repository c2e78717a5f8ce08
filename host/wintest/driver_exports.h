// The driver's 28 entry points as the test host finds them: by name, with
// GetProcAddress, in the library loaded from the program's own folder.
#pragma once

#include <cstdint>

#include "platform/callconv.h"

// The driver's header declares a GUID of its own, which <windows.h> also
// defines; its declarations live in a namespace here and serve as types only.
namespace kx {
#include "api/kxapi.h"
}

struct DriverExports {
#define KX_WINTEST_MEMBER(code, name, Result, result, parameters, arguments)                       \
    decltype(&kx::name) name = nullptr;
    KX_ENTRY_POINTS(KX_WINTEST_MEMBER, KX_ENTRY_LIST)
#undef KX_WINTEST_MEMBER
};

// Loads "kxpwrvr.dll" by its bare name (so from beside the program) and looks
// every entry point up. Reports each name it cannot find; returns the number
// of failures (0 when the driver is loaded and complete).
int loadDriverExports(DriverExports& api);
