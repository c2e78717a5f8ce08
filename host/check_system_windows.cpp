#include "host/check_system.h"
#include "host/host_library.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

std::string logPath;

std::string folderFromApi(DWORD (*get)(DWORD, char*)) {
    char folder[MAX_PATH + 1] = {};
    DWORD n = get(MAX_PATH, folder);
    std::string text(folder, n && n <= MAX_PATH ? n : 0);
    if (!text.empty() && (text.back() == '\\' || text.back() == '/')) text.pop_back();
    return text;
}

DWORD tempPath(DWORD size, char* out) {
    return GetTempPathA(size, out);
}

} // namespace

int fileBits(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return -1;
    unsigned char dos[64] = {};
    if (!in.read(reinterpret_cast<char*>(dos), sizeof dos) || dos[0] != 'M' || dos[1] != 'Z')
        return 0;
    const uint32_t offset = dos[60] | dos[61] << 8 | dos[62] << 16 | uint32_t(dos[63]) << 24;
    unsigned char header[6] = {};
    in.seekg(offset);
    if (!in.read(reinterpret_cast<char*>(header), sizeof header) || header[0] != 'P' ||
        header[1] != 'E')
        return 0;
    const unsigned machine = header[4] | header[5] << 8;
    return machine == 0x014C ? 32 : machine == 0x8664 ? 64 : 0;
}

VersionRecord versionRecord(const std::string& path) {
    VersionRecord record;
    DWORD ignored = 0;
    const DWORD size = path.empty() ? 0 : GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (!size) return record;
    std::vector<char> data(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return record;
    // The texts of the first language the record holds.
    struct Translation {
        WORD language, codePage;
    }* translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translation), &length) ||
        length < sizeof(Translation))
        return record;
    char prefix[48];
    std::snprintf(prefix, sizeof prefix, "\\StringFileInfo\\%04x%04x\\", translation->language,
                  translation->codePage);
    auto value = [&](const char* key) {
        char* text = nullptr;
        UINT n = 0;
        const std::string query = std::string(prefix) + key;
        return VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&text), &n) &&
                       text && n
                   ? std::string(text)
                   : std::string();
    };
    record.present = true;
    record.product = value("ProductName");
    record.description = value("FileDescription");
    record.version = value("FileVersion");
    return record;
}

std::string systemDescription() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    std::string text = "Windows (version unknown)";
    // RtlGetVersion tells the truth where GetVersionEx answers for old programs.
    typedef LONG(WINAPI * RtlGetVersionFn)(OSVERSIONINFOW*);
    auto getVersion = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (getVersion && getVersion(&info) == 0)
        text = "Windows " + std::to_string(info.dwMajorVersion) + "." +
               std::to_string(info.dwMinorVersion) + " build " + std::to_string(info.dwBuildNumber);
    typedef const char*(CDECL * WineVersionFn)(void);
    auto wine = reinterpret_cast<WineVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")));
    if (wine) text += ", under Wine " + std::string(wine());
    SYSTEM_INFO system;
    GetNativeSystemInfo(&system);
    text += system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ? ", 64-bit" : ", 32-bit";
    return text;
}

std::string loadedModulePath(const char* name) {
    HMODULE module = GetModuleHandleA(name);
    if (!module) return "";
    char path[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
    return n && n < MAX_PATH ? std::string(path, n) : std::string();
}

std::vector<std::string> sglVersionTexts() {
    std::vector<std::string> texts;
    HMODULE sgl = GetModuleHandleA("sgl.dll");
    // The library answers with a record of four text pointers.
    typedef const char* const*(CDECL * VersionsFn)(void);
    auto versions = reinterpret_cast<VersionsFn>(
        reinterpret_cast<void*>(sgl ? GetProcAddress(sgl, "sgl_get_win_versions") : nullptr));
    const char* const* record = versions ? versions() : nullptr;
    for (int i = 0; record && i < 4; ++i)
        texts.push_back(record[i] ? record[i] : "");
    return texts;
}

bool cursorShowing() {
    CURSORINFO info = {};
    info.cbSize = sizeof info;
    return GetCursorInfo(&info) && (info.flags & CURSOR_SHOWING);
}

void startDriverLog() {
    logPath = newTemporaryFile();
    if (!logPath.empty()) setVariable("KXPWRVR_LOG", logPath);
}

std::vector<std::string> driverLog() {
    std::vector<std::string> lines;
    if (logPath.empty()) return lines;
    std::ifstream in(logPath);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

void removeDriverLog() {
    if (!logPath.empty()) DeleteFileA(logPath.c_str());
}

std::string temporaryFolder() {
    return folderFromApi(tempPath);
}

void holdConsoleOpen() {
    DWORD processes[2];
    DWORD mode = 0;
    if (GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) &&
        GetConsoleProcessList(processes, 2) == 1) {
        std::printf("Press Enter to close this window.\n");
        std::fflush(stdout);
        std::getchar();
    }
}
