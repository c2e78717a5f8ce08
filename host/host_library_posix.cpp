#include "host/host_library.h"

#include <cstdlib>
#include <filesystem>

#include <dlfcn.h>
#include <unistd.h>

namespace {

std::string folderOf(const std::string& path) {
    size_t cut = path.rfind('/');
    return cut == std::string::npos ? "." : path.substr(0, cut);
}

std::string executablePath() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "";
    path[n] = 0;
    return path;
}

} // namespace

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
    std::string path = executablePath();
    return path.empty() ? "." : folderOf(path);
}

std::string programName() {
    std::string path = executablePath();
    size_t cut = path.rfind('/');
    return path.empty() ? "host" : path.substr(cut + 1);
}

std::string moduleFolder(const void* address) {
    Dl_info info;
    if (!dladdr(address, &info) || !info.dli_fname) return ".";
    return folderOf(info.dli_fname);
}

char pathSeparator() {
    return '/';
}

void setVariable(const std::string& name, const std::string& value) {
    setenv(name.c_str(), value.c_str(), 1);
}

void removeVariable(const std::string& name) {
    unsetenv(name.c_str());
}

std::string newTemporaryFile() {
    std::error_code ec;
    std::string path = (std::filesystem::temp_directory_path(ec) / "kxpwrvr-XXXXXX").string();
    if (ec) return "";
    const int file = mkstemp(path.data());
    if (file < 0) return "";
    close(file);
    return path;
}
