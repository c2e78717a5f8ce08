// The player's settings: kxpwrvr.ini beside the DLLs, each key overridden by
// its environment variable. Both DLLs build this folder in and read the
// settings once, at first use; the trace recorder reads its own keys from
// the same file.
#pragma once

#include <string>
#include <vector>

// The file's parts: the driver's keys stand before any section header or
// under [kxpwrvr], the recorder's under [kxtrace]. Each reader reads its own
// part and passes the other's by without a word.
enum SettingSection { kSectionDriver, kSectionTrace };

enum SettingKey {
    // The driver's (variables KXPWRVR_<KEY>).
    kSettingLog,
    kSettingKernels,
    kSettingThreads,
    kSettingFilter,
    kSettingAntialias,
    kSettingDither,
    kSettingFpsLimit,
    // The recorder's (variables KXTRACE_<KEY>).
    kSettingTraceDriver,
    kSettingTraceFile,
    kSettingTraceCompress,
    kSettingCount
};
// The driver's keys come first.
constexpr int kDriverSettingCount = kSettingTraceDriver;
enum SettingSource { kFromDefault, kFromFile, kFromVariable };

struct KxSettings {
    std::string log;       // "": no log; "debug": the debugger output; else a file
    std::string kernels;   // "": the processor's best level; else the level it is capped at
    int threads = 0;       // 0: the processor's cores
    bool bilinear = false; // filter = bilinear
    int antialias = 1;     // samples a pixel each way, 1 to 4
    bool dither = false;
    int fpsLimit = 0;                  // flips a second at most; 0: no limit
    std::string traceDriver;           // the real driver; "": the recorder's own choice
    std::string traceFile;             // the trace; "": named after the program
    std::string traceCompress = "lz4"; // lz4, zstd or none
    SettingSource source[kSettingCount] = {};
    std::string file; // the file read; "": none
    // What could not be used, one message each ("kxpwrvr.ini line 3: ...").
    std::vector<std::string> problems;
};

// The driver's settings in force, read once: readSettings of the folder of
// the library that holds this code.
const KxSettings& kxSettings();

// The settings of `section` as a library in `folder` finds them: the file
// KXPWRVR_INI names (empty: no file), else kxpwrvr.ini in `folder` ("": no
// file), then the section's variables over it.
KxSettings readSettings(const std::string& folder, SettingSection section);
// The folder of the library (or program) that holds this code; "" when it
// cannot be told. Never the current folder: a game started from a shortcut
// runs in another.
std::string settingsLibraryFolder();

// The rules, for the readers above, their tests and the fuzzer. The file's
// text, named `name` in messages; a relative path is taken from `folder`.
void readSettingsText(KxSettings& settings, const std::string& text, const std::string& name,
                      const std::string& folder, SettingSection section = kSectionDriver);
// The file at `path` by the same rules; false, with a message, when it
// cannot be read.
bool readSettingsFile(KxSettings& settings, const std::string& path, SettingSection section);
// The section's variables over the file's values (each variable that is set).
void readSettingVariables(KxSettings& settings, const char* (*lookUp)(const char* name),
                          SettingSection section = kSectionDriver);

// The key as the file writes it ("fps_limit"), its variable
// ("KXPWRVR_FPS_LIMIT"), its section; its value in force as text.
const char* settingKeyName(SettingKey key);
std::string settingVariableName(SettingKey key);
SettingSection settingSection(SettingKey key);
std::string settingValueText(const KxSettings& settings, SettingKey key);
