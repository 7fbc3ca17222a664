#include "configtool/Schema.h"

#include <cstdint>
#include <iterator>

#include <fmt/format.h>

#include "commands/ReloadTexts.h"
#include "configtool/Text.h"
#include "settings/DurationLimits.h"
#include "settings/SettingsTable.h"
#include "settings/WildTeamLimit.h"

namespace configtool
{
namespace
{
using nlohmann::ordered_json;

std::string CountInWords(std::size_t count)
{
  constexpr const char* Words[] = {"no",    "one",   "two",  "three", "four",   "five",  "six",
                                   "seven", "eight", "nine", "ten",   "eleven", "twelve"};
  return count < std::size(Words) ? Words[count] : std::to_string(count);
}

// A setting's meaning, the team limit written in.
std::string Meaning(const Setting& setting)
{
  return WithMark(setting.Meaning, TeamLimitMark, std::to_string(WildTeamLimit));
}

ordered_json SettingProperty(const Setting& setting)
{
  if (setting.Kind == SettingKind::Switch)
  {
    return {
        {"description", Meaning(setting)}, {"type", "boolean"}, {"default", setting.Default != 0}};
  }
  return {{"description", Meaning(setting)},
          {"$ref", "#/$defs/duration"},
          {"default", setting.Default}};
}

// What the reader takes as a duration: a number that, cut toward zero, fits
// a signed 32-bit integer, or true or false.
ordered_json DurationDefinition()
{
  constexpr auto lowest = static_cast<std::int64_t>(LowestDuration);
  constexpr auto highest = static_cast<std::int64_t>(HighestDuration);
  return {
      {"description",
       fmt::format("Whole seconds. A number with a fraction or an exponent is cut toward zero "
                   "and must then fit a signed 32-bit integer ({} to {}); true counts as 1 and "
                   "false as 0. Zero and negative values are written to the body as they are.",
                   lowest, highest)},
      {"anyOf",
       {{{"type", "number"}, {"exclusiveMinimum", lowest - 1}, {"exclusiveMaximum", highest + 1}},
        {{"type", "boolean"}}}}};
}
} // namespace

ordered_json SettingsSchema()
{
  ordered_json properties = {
      {SchemaKey,
       {{"description", "Where an editor finds this schema. The server ignores it."},
        {"type", "string"}}}};
  for (const Setting& setting : SettingsTable)
  {
    properties[setting.Key] = SettingProperty(setting);
  }
  return {{"$schema", "https://json-schema.org/draft/2020-12/schema"},
          {"title", "Ashgrove settings (config.json)"},
          {"description",
           fmt::format("How long the bodies of dead characters stay in the world. The server "
                       "reads the {} keys below from the top level of this object, by exact name "
                       "(case matters); a key it does not know, or one inside a nested object, is "
                       "ignored, and a key given twice counts with its last value. A key left out "
                       "takes its default. Reload at run time with the console or RCON command "
                       "{}; a file that fails to load changes nothing.",
                       CountInWords(SettingsTable.size()), ReloadCommandName)},
          {"type", "object"},
          {"properties", properties},
          {"$defs", {{"duration", DurationDefinition()}}}};
}

std::string SchemaText()
{
  return SettingsSchema().dump(2) + "\n";
}
} // namespace configtool
