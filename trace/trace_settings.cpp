#include "trace/trace_settings.h"

namespace {

const char kPrefix[] = "setting.";

// A value as one line of the information record: a control character (a
// variable may hold one) would end the line.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return text;
}

} // namespace

std::string settingsInfoLines(const KxSettings& settings) {
    std::string lines;
    for (int k = 0; k < kDriverSettingCount; ++k)
        lines += kPrefix + std::string(settingKeyName(SettingKey(k))) + "=" +
                 oneLine(settingValueText(settings, SettingKey(k))) + "\n";
    return lines;
}

bool recordedSettings(const Trace& trace, KxSettings& settings) {
    settings = KxSettings{};
    // The lines as a settings file, read by the file's rules: a key this
    // version does not know (a newer recorder's) gives a message and is
    // passed by.
    std::string text;
    const std::string& info = trace.info;
    for (size_t at = 0; at < info.size();) {
        size_t end = info.find('\n', at);
        if (end == std::string::npos) end = info.size();
        if (info.compare(at, sizeof kPrefix - 1, kPrefix) == 0) {
            const std::string line =
                info.substr(at + sizeof kPrefix - 1, end - at - sizeof kPrefix + 1);
            const size_t equals = line.find('=');
            text += line.substr(0, equals) + " = " +
                    (equals == std::string::npos ? "" : line.substr(equals + 1)) + "\n";
        }
        at = end + 1;
    }
    if (text.empty()) return false;
    readSettingsText(settings, text, "the trace's settings", "");
    return true;
}

const std::vector<SettingKey>& replayedSettingKeys() {
    static const std::vector<SettingKey> keys = {kSettingFilter, kSettingAntialias, kSettingDither,
                                                 kSettingFpsLimit};
    return keys;
}

std::string describeSettings(const KxSettings& settings, const std::vector<SettingKey>& keys) {
    std::string text;
    for (SettingKey key : keys)
        text += (text.empty() ? "" : ", ") + std::string(settingKeyName(key)) + " = " +
                settingValueText(settings, key);
    return text;
}

std::vector<SettingKey> settingDifferences(const KxSettings& a, const KxSettings& b) {
    std::vector<SettingKey> keys;
    for (int k = 0; k < kDriverSettingCount; ++k)
        if (settingValueText(a, SettingKey(k)) != settingValueText(b, SettingKey(k)))
            keys.push_back(SettingKey(k));
    return keys;
}
