#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "configtool/SettingsCheck.h"

namespace configtool
{
// Exit statuses of `ashgrove-config check`.
constexpr int Loads = 0;
constexpr int Refused = 1;
constexpr int UsageOrUnreadable = 2;

// 0 when the server would load the file, 1 when it would refuse it; with
// `strict`, a warning counts as a refusal.
int ExitStatus(const CheckResult& result, bool strict);

// For people: the settings in force and what they mean, or the error a
// reload would answer; then the warnings, each as FILE:LINE:COLUMN.
std::string TextReport(const std::string& file, const CheckResult& result);

// For scripts: the same as one JSON object.
nlohmann::ordered_json JsonReport(const std::string& file, const CheckResult& result, bool strict);
} // namespace configtool
