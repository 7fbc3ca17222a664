#pragma once

#include <cstdint>
#include <string>

#include "settings/SettingsValues.h"

namespace testsupport
{
// The plugin library as built beside the tests.
std::string PluginPath();

// A reflected name as a test name: letters and digits kept, the rest '_'.
std::string TestName(const std::string& text);

// A settings file that sets every key of the settings table to its value.
std::string ConfigText(const CorpseSettingsValues& values);

// The same for the given switches and durations.
std::string ConfigText(bool tamed, bool wild, bool players, std::int32_t tamed_time = 1800,
                       std::int32_t wild_time = 300, std::int32_t players_time = 1800);

} // namespace testsupport
