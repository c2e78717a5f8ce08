#include "trace/replay_settings.h"

#include <cstdio>
#include <fstream>

#include "host/host_library.h"
#include "trace/trace_settings.h"

ReplaySettings::~ReplaySettings() {
    if (!file.empty()) std::remove(file.c_str());
}

bool chooseReplaySettings(const Trace& trace, const std::string& option, ReplaySettings& chosen,
                          std::string& error) {
    chosen.settings = KxSettings{};
    if (option.empty()) {
        chosen.origin = recordedSettings(trace, chosen.settings)
                            ? "recorded in the trace"
                            : "defaults: the trace was recorded before settings were kept";
    } else if (option == "defaults") {
        chosen.origin = "defaults: --settings defaults";
    } else {
        if (!readSettingsFile(chosen.settings, option, kSectionDriver)) {
            error = "--settings: " + chosen.settings.problems.back();
            return false;
        }
        chosen.origin = "from " + option;
    }
    return true;
}

bool applyReplaySettings(ReplaySettings& chosen, std::string& error) {
    chosen.file = newTemporaryFile();
    std::ofstream out(chosen.file, std::ios::binary);
    out << "; the settings of one replay, removed when it ends\n";
    for (SettingKey key : replayedSettingKeys())
        out << settingKeyName(key) << " = "
            << (key == kSettingFpsLimit && chosen.benchmark
                    ? "0"
                    : settingValueText(chosen.settings, key))
            << "\n";
    out.close();
    if (chosen.file.empty() || !out) {
        error = "cannot write the replay's settings file " +
                (chosen.file.empty() ? std::string("in the temporary folder") : chosen.file);
        return false;
    }
    setVariable("KXPWRVR_INI", chosen.file);
    for (SettingKey key : replayedSettingKeys())
        removeVariable(settingVariableName(key));
    return true;
}

std::vector<std::string> describeReplaySettings(const ReplaySettings& chosen) {
    std::vector<std::string> lines = {"settings " +
                                      describeSettings(chosen.settings, replayedSettingKeys()) +
                                      " (" + chosen.origin + ")"};
    if (chosen.benchmark && chosen.settings.fpsLimit)
        lines.back() += "; fps_limit not applied: --benchmark";
    for (const std::string& problem : chosen.settings.problems)
        lines.push_back("settings: not used: " + problem);
    return lines;
}
