#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "settings/SettingsValues.h"

// Every setting of config.json, once. The reader takes the keys in this
// order, so the first faulty one is the one reported; the settings checker,
// its reports and the file's JSON Schema walk the same rows. A new setting
// is a member of CorpseSettingsValues and a row here.
enum class SettingKind
{
  Switch,   // true or false
  Duration, // whole seconds, a signed 32-bit number
};

struct Setting
{
  const char* Key; // the member's name in the file, matched exactly
  SettingKind Kind;
  std::int32_t Default; // what an absent key stands for; 0 or 1 for a switch
  bool CorpseSettingsValues::*SwitchMember;
  std::int32_t CorpseSettingsValues::*DurationMember;
  // For a duration: the switch without which it has no effect.
  bool CorpseSettingsValues::*GovernedBy;
  // One line, for people; TeamLimitMark stands for the team limit
  // (WildTeamLimit.h), which the schema writes in.
  const char* Meaning;

  // For a switch, its line in a summary of what is in force: whose bodies
  // it governs, what holds for them while it is on, and where the line goes
  // among the others.
  const char* Bodies;
  const char* WhenOn;
  int SummaryLine;

  // The value in `values`, a switch as 0 or 1.
  [[nodiscard]] constexpr std::int32_t ValueIn(const CorpseSettingsValues& values) const
  {
    return Kind == SettingKind::Switch ? (values.*SwitchMember ? 1 : 0) : values.*DurationMember;
  }

  constexpr void Store(CorpseSettingsValues& values, std::int32_t value) const
  {
    if (Kind == SettingKind::Switch)
    {
      values.*SwitchMember = value != 0;
    }
    else
    {
      values.*DurationMember = value;
    }
  }
};

struct SwitchSummary
{
  const char* Bodies;
  const char* WhenOn;
  int Line;
};

constexpr Setting SwitchSetting(const char* key, bool CorpseSettingsValues::*member, bool fallback,
                                const char* meaning, SwitchSummary summary)
{
  return {key,     SettingKind::Switch, fallback ? 1 : 0, member,      nullptr, nullptr,
          meaning, summary.Bodies,      summary.WhenOn,   summary.Line};
}

constexpr Setting DurationSetting(const char* key, std::int32_t CorpseSettingsValues::*member,
                                  std::int32_t fallback, bool CorpseSettingsValues::*switch_member,
                                  const char* meaning)
{
  return {key,      SettingKind::Duration,
          fallback, nullptr,
          member,   switch_member,
          meaning,  nullptr,
          nullptr,  0};
}

inline constexpr std::string_view TeamLimitMark = "{team-limit}";

// Its size is the count of its rows. Made by std::to_array: GCC 12 puts an
// array whose type is deduced from its braces in writable memory.
inline constexpr auto SettingsTable = std::to_array<Setting>({
    SwitchSetting("tamedDinosAffected", &CorpseSettingsValues::tamedDinosAffected, false,
                  "Switch: give tamed creatures' bodies (team {team-limit} and above) "
                  "tamedCorpseDecayTime seconds as their tamed corpse lifespan, and make them "
                  "ignore the server's decomposition multipliers. Off: the game's own lifespan.",
                  {"tamed creatures", "decomposition multipliers ignored", 1}),
    SwitchSetting(
        "wildDinosAffected", &CorpseSettingsValues::wildDinosAffected, false,
        "Switch: give wild creatures' bodies (team below {team-limit}) "
        "wildCorpseDecayTime seconds as their corpse lifespan, also when nobody is "
        "near, and make them ignore the server's decomposition multipliers. Off: the "
        "game's own lifespan.",
        {"wild creatures", "also when nobody is near, decomposition multipliers ignored", 2}),
    SwitchSetting("playersBodiesAffected", &CorpseSettingsValues::playersBodiesAffected, false,
                  "Switch: give players' bodies playersBodiesDecayTime seconds as their corpse "
                  "lifespan; the server's decomposition multipliers still apply to them. Off: "
                  "the game's own lifespan.",
                  {"players' bodies", "decomposition multipliers apply", 0}),
    DurationSetting("tamedCorpseDecayTime", &CorpseSettingsValues::tamedCorpseDecayTime, 1800,
                    &CorpseSettingsValues::tamedDinosAffected,
                    "Seconds a tamed creature's body lasts, when tamedDinosAffected is true."),
    DurationSetting("wildCorpseDecayTime", &CorpseSettingsValues::wildCorpseDecayTime, 300,
                    &CorpseSettingsValues::wildDinosAffected,
                    "Seconds a wild creature's body lasts, when wildDinosAffected is true."),
    DurationSetting("playersBodiesDecayTime", &CorpseSettingsValues::playersBodiesDecayTime, 1800,
                    &CorpseSettingsValues::playersBodiesAffected,
                    "Seconds a player's body lasts, when playersBodiesAffected is true."),
});

// The row of a key, or null for a key the server does not know.
constexpr const Setting* FindSetting(std::string_view key)
{
  for (const Setting& setting : SettingsTable)
  {
    if (key == setting.Key)
    {
      return &setting;
    }
  }
  return nullptr;
}

// The switch row that governs a duration.
constexpr const Setting& SwitchOf(const Setting& duration)
{
  for (const Setting& setting : SettingsTable)
  {
    if (setting.SwitchMember == duration.GovernedBy)
    {
      return setting;
    }
  }
  return duration;
}

// What a key that the file leaves out stands for.
inline constexpr CorpseSettingsValues DefaultSettings = []
{
  CorpseSettingsValues values;
  for (const Setting& setting : SettingsTable)
  {
    setting.Store(values, setting.Default);
  }
  return values;
}();
