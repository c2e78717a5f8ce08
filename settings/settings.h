// The player's settings: kxpwrvr.ini beside the DLLs, each key overridden by
// its environment variable. Both DLLs build this folder in and read the
// settings once, at first use.
#pragma once

#include <string>
#include <vector>

enum SettingKey {
    kSettingLog,
    kSettingKernels,
    kSettingThreads,
    kSettingFilter,
    kSettingAntialias,
    kSettingDither,
    kSettingFpsLimit,
    kSettingCount
};
enum SettingSource { kFromDefault, kFromFile, kFromVariable };

struct KxSettings {
    std::string log;       // "": no log; "debug": the debugger output; else a file
    std::string kernels;   // "": the processor's best level; else the level it is capped at
    int threads = 0;       // 0: the processor's cores
    bool bilinear = false; // filter = bilinear
    int antialias = 1;     // samples a pixel each way, 1 to 4
    bool dither = false;
    int fpsLimit = 0; // flips a second at most; 0: no limit
    SettingSource source[kSettingCount] = {};
    std::string file; // the file read; "": none
    // What could not be used, one message each ("kxpwrvr.ini line 3: ...").
    std::vector<std::string> problems;
};

// The settings in force, read once: the file KXPWRVR_INI names (empty: no
// file), else kxpwrvr.ini beside the library that holds this code, then
// KXPWRVR_<KEY> for each key over it.
const KxSettings& kxSettings();

// The rules, for the reader above, its tests and its fuzzer. The file's
// text, named `name` in messages; a relative log path is taken from `folder`.
void readSettingsText(KxSettings& settings, const std::string& text, const std::string& name,
                      const std::string& folder);
// KXPWRVR_<KEY> values over the file's (each variable that is set).
void readSettingVariables(KxSettings& settings, const char* (*lookUp)(const char* name));

// The key as the file writes it ("fps_limit"); its value in force as text.
const char* settingKeyName(SettingKey key);
std::string settingValueText(const KxSettings& settings, SettingKey key);
