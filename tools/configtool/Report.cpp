#include "configtool/Report.h"

#include <utility>

#include <fmt/format.h>

#include "settings/SettingsTable.h"

namespace configtool
{
namespace
{
std::string Place(const std::string& file, const std::optional<Location>& at)
{
  if (!at)
  {
    return file;
  }
  return fmt::format("{}:{}:{}", file, at->Line, at->Column);
}

nlohmann::ordered_json Position(const std::optional<Location>& at)
{
  if (!at)
  {
    return nullptr;
  }
  return {{"line", at->Line}, {"column", at->Column}};
}

nlohmann::ordered_json SettingsObject(const CorpseSettingsValues& settings)
{
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  for (const Setting& setting : SettingsTable)
  {
    object[setting.Key] = SettingValue(setting, settings);
  }
  return object;
}

std::string SettingsLines(const CorpseSettingsValues& settings)
{
  std::string out;
  for (const Setting& setting : SettingsTable)
  {
    out += fmt::format("  {:<24}{}\n", setting.Key, SettingValue(setting, settings).dump());
  }
  for (const std::string& effect : Effects(settings))
  {
    out += "  " + effect + "\n";
  }
  return out;
}
} // namespace

nlohmann::ordered_json SettingValue(const Setting& setting, const CorpseSettingsValues& values)
{
  if (setting.Kind == SettingKind::Switch)
  {
    return setting.ValueIn(values) != 0;
  }
  return setting.ValueIn(values);
}

int CheckStatus(const CheckResult& result, bool strict)
{
  if (result.Error || (strict && !result.Warnings.empty()))
  {
    return ExitRefused;
  }
  return ExitLoads;
}

std::string TextReport(const std::string& file, const CheckResult& result)
{
  std::string out;
  if (result.Error)
  {
    const Refusal& error = *result.Error;
    out += file + ": the server would refuse this file; a reload answers with this error and "
                  "keeps the settings in force:\n";
    out += Place(file, error.At) + ": error: " + error.Text + "\n";
    if (error.Key)
    {
      out += Place(file, error.At) + ": note: this is the value of \"" + *error.Key + "\"\n";
    }
  }
  else if (result.Settings)
  {
    out += file + ": the server would load this file; the settings in force after a reload:\n";
    out += SettingsLines(*result.Settings);
  }
  for (const Finding& warning : result.Warnings)
  {
    out += Place(file, warning.At) + ": warning: " + warning.Message + "\n";
  }
  return out;
}

nlohmann::ordered_json JsonReport(const std::string& file, const CheckResult& result, bool strict)
{
  nlohmann::ordered_json report;
  report["file"] = file;
  report["outcome"] = result.Error ? "refused" : "loads";
  report["status"] = CheckStatus(result, strict);
  if (result.Settings)
  {
    report["settings"] = SettingsObject(*result.Settings);
    report["effects"] = Effects(*result.Settings);
  }
  if (result.Error)
  {
    const Refusal& error = *result.Error;
    report["error"] = {{"text", error.Text},
                       {"kind", KindWord(error.Kind)},
                       {"key", error.Key ? nlohmann::ordered_json(*error.Key) : nullptr},
                       {"position", Position(error.At)}};
  }
  auto& warnings = report["warnings"] = nlohmann::ordered_json::array();
  for (const Finding& warning : result.Warnings)
  {
    warnings.push_back(
        {{"kind", warning.Kind}, {"message", warning.Message}, {"position", Position(warning.At)}});
  }
  return report;
}
} // namespace configtool
