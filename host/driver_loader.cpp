#include "host/driver_loader.h"

#include <cstring>

#include "host/host_library.h"

namespace {

// Stores a found symbol in a typed table slot.
template <typename Fn> void assign(Fn& slot, void* symbol) {
    static_assert(sizeof(Fn) == sizeof(void*), "function and data pointers differ in size");
    std::memcpy(&slot, &symbol, sizeof slot);
}

} // namespace

const char* driverFileName() {
#if defined(_WIN32)
    return "kxpwrvr.dll";
#else
    return "libkxpwrvr.so";
#endif
}

bool loadDriver(LoadedDriver& driver, std::string& error, const std::string& path) {
    std::string file = path.empty() ? programFolder() + pathSeparator() + driverFileName() : path;
    driver = LoadedDriver{};
    void* library = openLibrary(file, error);
    if (!library) return false;

    std::string missing;
    KxEntryPoints api;
#define KX_RESOLVE(code, name, Result, result, parameters, arguments)                              \
    if (void* symbol = findSymbol(library, #name))                                                 \
        assign(api.name, symbol);                                                                  \
    else                                                                                           \
        missing += missing.empty() ? #name : ", " #name;
    KX_ENTRY_POINTS(KX_RESOLVE, KX_ENTRY_LIST)
#undef KX_RESOLVE

    if (!missing.empty()) {
        error = file + " lacks the export" + (missing.find(',') == std::string::npos ? " " : "s ") +
                missing;
        closeLibrary(library);
        return false;
    }
    driver.library = library;
    driver.api = api;
    return true;
}

void unloadDriver(LoadedDriver& driver) {
    if (driver.library) closeLibrary(driver.library);
    driver = LoadedDriver{};
}
