#include "host/wintest/driver_exports.h"

#include <windows.h>

#include "host/wintest/report.h"

int loadDriverExports(DriverExports& api) {
    HMODULE library = LoadLibraryA("kxpwrvr.dll");
    if (!library) {
        fail("LoadLibraryA(\"kxpwrvr.dll\") failed with error %lu", GetLastError());
        return 1;
    }
    int missing = 0;
#define KX_WINTEST_RESOLVE(code, name, Result, result, parameters, arguments)                      \
    api.name = reinterpret_cast<decltype(api.name)>(                                               \
        reinterpret_cast<void*>(GetProcAddress(library, #name)));                                  \
    if (!api.name) {                                                                               \
        fail("export %s not found", #name);                                                        \
        ++missing;                                                                                 \
    }
    KX_ENTRY_POINTS(KX_WINTEST_RESOLVE, KX_ENTRY_LIST)
#undef KX_WINTEST_RESOLVE
    return missing;
}
