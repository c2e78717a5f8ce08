// Loads the driver library from the program's own folder and finds every
// entry point by name, as a host engine does.
#pragma once

#include <string>

#include "host/entry_points.h"

struct LoadedDriver {
    void* library = nullptr; // dlopen handle or module handle
    KxEntryPoints api;
};

// The driver's file name on this system: "kxpwrvr.dll" or "libkxpwrvr.so".
const char* driverFileName();

// Loads `path` (empty: the driver beside this program) and resolves all 28
// entry points. On failure returns false with a message naming the library or
// every export that is missing; nothing stays loaded then.
bool loadDriver(LoadedDriver& driver, std::string& error, const std::string& path = "");
void unloadDriver(LoadedDriver& driver);
