// The driver's settings a trace was recorded with: `setting.<key>=<value>`
// lines of its information record, one for each of the driver's keys. A
// trace without them was recorded before settings were kept, with the
// defaults.
#pragma once

#include <string>
#include <vector>

#include "settings/settings.h"
#include "trace/trace_reader.h"

// The lines the recorder adds to the information record.
std::string settingsInfoLines(const KxSettings& settings);
// The settings the trace was recorded with, read by the settings' own rules
// (what they cannot use is in settings.problems); false, and the defaults,
// for a trace recorded before settings were kept.
bool recordedSettings(const Trace& trace, KxSettings& settings);

// The keys a replay applies: those that change frames, and the frame limit.
// Not the log: a replay writes nothing into the player's log file.
const std::vector<SettingKey>& replayedSettingKeys();
// "filter = bilinear, antialias = 1" for the keys given.
std::string describeSettings(const KxSettings& settings, const std::vector<SettingKey>& keys);
// The driver's keys whose values differ.
std::vector<SettingKey> settingDifferences(const KxSettings& a, const KxSettings& b);
