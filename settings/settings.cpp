// The settings in force: the file found beside the library, then the
// variables over it.
#include "settings/settings.h"

#include <cstdio>
#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

// The folder of the library (or program) that holds this code, with its
// separator at the end; "" when it cannot be told. Never the current folder:
// a game started from a shortcut runs in another.
std::string moduleFolder() {
    std::string path;
#if defined(_WIN32)
    HMODULE module = nullptr;
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(&kxSettings), &module)) {
        char name[MAX_PATH * 2];
        const DWORD n = GetModuleFileNameA(module, name, sizeof name);
        if (n > 0 && n < sizeof name) path.assign(name, n);
    }
#else
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&kxSettings), &info) && info.dli_fname)
        path = info.dli_fname;
#endif
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The file's bytes, up to one more than the reader takes; false when it
// cannot be opened.
bool readFile(const std::string& path, std::string& text) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    char buffer[4096];
    size_t n;
    while (text.size() <= 64 * 1024 && (n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, n);
    std::fclose(file);
    return true;
}

const char* environment(const char* name) {
    return std::getenv(name);
}

KxSettings readSettings() {
    KxSettings s;
    std::string path;
    const char* named = std::getenv("KXPWRVR_INI");
    if (named) {
        path = named; // empty: no file
    } else {
        const std::string folder = moduleFolder();
        if (!folder.empty()) path = folder + "kxpwrvr.ini";
    }
    std::string text;
    if (!path.empty() && readFile(path, text)) {
        s.file = path;
        const size_t slash = path.find_last_of("/\\");
        const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
        readSettingsText(s, text, path.substr(folder.size()), folder);
    } else if (named && *named) {
        s.problems.push_back("KXPWRVR_INI names " + path + ", which cannot be read; no file read");
    }
    readSettingVariables(s, environment);
    return s;
}

} // namespace

const KxSettings& kxSettings() {
    static const KxSettings settings = readSettings();
    return settings;
}
