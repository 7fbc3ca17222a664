#include "settings/SettingsReader.h"

#include <nlohmann/json.hpp>

#include "settings/DurationRange.h"

namespace
{
// One key read with the JSON library's read-with-default: an absent key is
// the default, a present one of the wrong type throws the library's error.
std::int32_t ReadSetting(const nlohmann::json& document, const Setting& setting,
                         const SettingsFilePlaces& layout)
{
  if (setting.Kind == SettingKind::Switch)
  {
    return document.value(setting.Key, setting.Default != 0) ? 1 : 0;
  }
  if (document.is_object())
  {
    const auto member = document.find(setting.Key);
    if (member != document.end() && member->is_number())
    {
      const TopLevelMember* written = layout.LastMember(setting.Key);
      RejectOutOfRangeDuration(setting.Key, *member,
                               written != nullptr ? written->Text : std::string_view());
    }
  }
  return document.value(setting.Key, setting.Default);
}
} // namespace

CorpseSettingsValues ReadSettingsText(const std::string& bytes, SettingsReading* reading)
{
  SettingsReading local;
  SettingsReading& seen = reading != nullptr ? *reading : local;
  seen = {};
  // The document lives only as long as this call.
  const nlohmann::json document = ParseFirstValue(bytes, seen.Layout);
  CorpseSettingsValues values;
  for (const Setting& setting : SettingsTable)
  {
    // A document that is no object fails at the first key, but the fault is
    // the document's, not that key's.
    seen.FailingSetting = document.is_object() ? &setting : nullptr;
    setting.Store(values, ReadSetting(document, setting, seen.Layout));
  }
  seen.FailingSetting = nullptr;
  return values;
}
