// Loading a library by name and finding its symbols, and where this program
// and a loaded module live: what a host and the recording driver need to
// load the driver.
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
