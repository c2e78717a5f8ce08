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

// Reads the file at `path` if it can be opened.
bool readAt(KxSettings& s, const std::string& path, SettingSection section) {
    std::string text;
    if (!readFile(path, text)) return false;
    s.file = path;
    const size_t slash = path.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    readSettingsText(s, text, path.substr(folder.size()), folder, section);
    return true;
}

} // namespace

std::string settingsLibraryFolder() {
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
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool readSettingsFile(KxSettings& s, const std::string& path, SettingSection section) {
    if (readAt(s, path, section)) return true;
    s.problems.push_back(path + " cannot be read; no setting read from it");
    return false;
}

KxSettings readSettings(const std::string& folder, SettingSection section) {
    KxSettings s;
    const char* named = std::getenv("KXPWRVR_INI");
    if (named && *named) {
        if (!readAt(s, named, section))
            s.problems.push_back("KXPWRVR_INI names " + std::string(named) +
                                 ", which cannot be read; no file read");
    } else if (!named && !folder.empty()) {
        const char last = folder.back();
#if defined(_WIN32)
        const char* separator = last == '\\' || last == '/' ? "" : "\\";
#else
        const char* separator = last == '/' ? "" : "/";
#endif
        // Beside the library the file is optional: none, no message.
        readAt(s, folder + separator + "kxpwrvr.ini", section);
    }
    readSettingVariables(s, environment, section);
    return s;
}

const KxSettings& kxSettings() {
    static const KxSettings settings = readSettings(settingsLibraryFolder(), kSectionDriver);
    return settings;
}
