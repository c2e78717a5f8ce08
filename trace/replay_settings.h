// The settings a replay plays with: the trace's own, a settings file's
// (--settings FILE) or the defaults (--settings defaults). The driver and its
// SGL read their settings once, when first needed after they are loaded: the
// keys a replay applies are written to a settings file of the replay's own,
// which KXPWRVR_INI names, and their variables are removed, before the
// driver is loaded. The log, the kernels and the threads stay as this
// machine's environment sets them.
#pragma once

#include <string>
#include <vector>

#include "settings/settings.h"
#include "trace/trace_reader.h"

struct ReplaySettings {
    KxSettings settings;
    std::string origin;     // where they come from, for the line that names them
    std::string file;       // the replay's settings file, removed with this
    bool benchmark = false; // fps_limit not applied
    ReplaySettings() = default;
    ReplaySettings(const ReplaySettings&) = delete;
    ReplaySettings& operator=(const ReplaySettings&) = delete;
    ~ReplaySettings();
};

// `option` as --settings gives it: "" the trace's, "defaults", or a settings
// file's path. False, with `error`, when the file cannot be read.
bool chooseReplaySettings(const Trace& trace, const std::string& option, ReplaySettings& chosen,
                          std::string& error);
// Hands the chosen keys to the driver loaded after this. False, with
// `error`, when the replay's settings file cannot be written.
bool applyReplaySettings(ReplaySettings& chosen, std::string& error);
// "filter = bilinear, antialias = 1, dither = on, fps_limit = 0 (recorded
// in the trace)", and what could not be used, one line each.
std::vector<std::string> describeReplaySettings(const ReplaySettings& chosen);
