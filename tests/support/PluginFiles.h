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

// The table's defaults with every switch on.
CorpseSettingsValues EverySwitchOn();

} // namespace testsupport
