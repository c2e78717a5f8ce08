// Loading a library by name and finding its symbols, where this program and
// a loaded module live, and the environment a library loaded next reads:
// what a host and the recording driver need to load the driver.
#pragma once

#include <string>

void* openLibrary(const std::string& path, std::string& error);
void* findSymbol(void* library, const char* name);
void closeLibrary(void* library);

// The folder this program was started from, without a trailing separator.
std::string programFolder();
// The program's file name without its folder (and without ".exe").
std::string programName();
// The folder of the library or program that holds `address`.
std::string moduleFolder(const void* address);
char pathSeparator();

// Sets (a non-empty value) or removes a variable of this process's
// environment, so that a library loaded after it reads it with getenv: on
// Windows in the C library's copy, which the driver shares, and the system's.
void setVariable(const std::string& name, const std::string& value);
void removeVariable(const std::string& name);
// A new empty file in the system's folder for temporary files, of this
// process alone; "" when none can be made.
std::string newTemporaryFile();
