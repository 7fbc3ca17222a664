#pragma once

#include <string>

namespace testsupport
{
// The plugin library as built beside the tests.
std::string PluginPath();

// A reflected name as a test name: letters and digits kept, the rest '_'.
std::string TestName(const std::string& text);

// The settings file text for the given switches and durations.
std::string ConfigText(bool tamed, bool wild, bool players, long long tamed_time = 1800,
                       long long wild_time = 300, long long players_time = 1800);

} // namespace testsupport
