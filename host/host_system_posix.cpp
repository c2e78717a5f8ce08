#include "host/host_system.h"

#include <dlfcn.h>
#include <unistd.h>

void* openLibrary(const std::string& path, std::string& error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = dlerror();
        error = "cannot load " + path + (why ? std::string(": ") + why : std::string());
    }
    return library;
}

void* findSymbol(void* library, const char* name) {
    return dlsym(library, name);
}

void closeLibrary(void* library) {
    dlclose(library);
}

std::string programFolder() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    path[n] = 0;
    std::string s(path);
    size_t cut = s.rfind('/');
    return cut == std::string::npos ? "." : s.substr(0, cut);
}

char pathSeparator() {
    return '/';
}

bool createHostWindow(const char*, int, int, std::string&) {
    return true;
}
bool pumpHostMessages() {
    return true;
}
void destroyHostWindow() {}
