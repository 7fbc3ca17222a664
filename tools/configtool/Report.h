#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "configtool/SettingsCheck.h"
#include "settings/SettingsTable.h"

namespace configtool
{
// Exit statuses of `ashgrove-config`: 0 the server loads the file (or every
// server took it), 1 it would refuse it (or one did), 2 wrong usage, a
// path that is no file or a cluster file that will not do, 3 a server that
// could not be reached, authenticated or answered.
constexpr int ExitLoads = 0;
constexpr int ExitRefused = 1;
constexpr int ExitUsage = 2;
constexpr int ExitNotReached = 3;

// A setting's value, the one way the reports write it: true or false for a
// switch, a number of seconds for a duration.
nlohmann::ordered_json SettingValue(const Setting& setting, const CorpseSettingsValues& values);

// 0 when the server would load the file, 1 when it would refuse it; with
// `strict`, a warning counts as a refusal.
int CheckStatus(const CheckResult& result, bool strict);

// For people: the settings in force and what they mean, or the error a
// reload would answer; then the warnings, each as FILE:LINE:COLUMN.
std::string TextReport(const std::string& file, const CheckResult& result);

// For scripts: the same as one JSON object.
nlohmann::ordered_json JsonReport(const std::string& file, const CheckResult& result, bool strict);
} // namespace configtool
