#include "support/PluginFiles.h"

#include <cctype>

#include <fmt/format.h>

#include "settings/SettingsTable.h"
#include "support/ServerDirectory.h"

namespace testsupport
{
std::string PluginPath()
{
  return (ProgramDirectory() / ASHGROVE_PLUGIN_FILE).string();
}

std::string TestName(const std::string& text)
{
  std::string name;
  for (const char c : text)
  {
    name += std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
  }
  return name;
}

std::string ConfigText(const CorpseSettingsValues& values)
{
  std::string text;
  for (const Setting& setting : SettingsTable)
  {
    const std::int32_t value = setting.ValueIn(values);
    text += fmt::format("{}\"{}\": {}", text.empty() ? "{" : ", ", setting.Key,
                        setting.Kind == SettingKind::Switch ? (value != 0 ? "true" : "false")
                                                            : std::to_string(value));
  }
  return text + "}";
}

CorpseSettingsValues EverySwitchOn()
{
  CorpseSettingsValues values = DefaultSettings;
  for (const Setting& setting : SettingsTable)
  {
    if (setting.Kind == SettingKind::Switch)
    {
      setting.Store(values, 1);
    }
  }
  return values;
}

} // namespace testsupport
