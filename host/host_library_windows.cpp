#include "host/host_library.h"

#include <cstdlib>

#include <windows.h>

namespace {

std::string modulePath(HMODULE module) {
    char path[MAX_PATH + 1] = {0};
    DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return "";
    return std::string(path, n);
}

std::string folderOf(const std::string& path) {
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? "." : path.substr(0, cut);
}

} // namespace

void* openLibrary(const std::string& path, std::string& error) {
    // A library named with its folder finds the DLLs it imports (sgl.dll)
    // in that folder first, as it would beside the program.
    bool inFolder = path.find_first_of("\\/") != std::string::npos;
    HMODULE module = inFolder ? LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)
                              : LoadLibraryA(path.c_str());
    if (!module) error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    return reinterpret_cast<void*>(module);
}

void* findSymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void closeLibrary(void* library) {
    FreeLibrary(static_cast<HMODULE>(library));
}

std::string programFolder() {
    std::string path = modulePath(nullptr);
    return path.empty() ? "." : folderOf(path);
}

std::string programName() {
    std::string path = modulePath(nullptr);
    if (path.empty()) return "host";
    std::string name = path.substr(path.find_last_of("\\/") + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot + 4 == name.size() &&
        CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, name.c_str() + dot, 4, ".exe", 4) ==
            CSTR_EQUAL)
        name.resize(dot);
    return name;
}

std::string moduleFolder(const void* address) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(address), &module))
        return ".";
    std::string path = modulePath(module);
    return path.empty() ? "." : folderOf(path);
}

char pathSeparator() {
    return '\\';
}

void setVariable(const std::string& name, const std::string& value) {
    SetEnvironmentVariableA(name.c_str(), value.c_str());
    _putenv_s(name.c_str(), value.c_str());
}

void removeVariable(const std::string& name) {
    SetEnvironmentVariableA(name.c_str(), nullptr);
    _putenv_s(name.c_str(), ""); // empty: removed from the C library's copy
}

std::string newTemporaryFile() {
    char folder[MAX_PATH + 1] = {};
    char file[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathA(sizeof folder, folder);
    if (n == 0 || n > MAX_PATH || !GetTempFileNameA(folder, "kxp", 0, file)) return "";
    return file;
}
