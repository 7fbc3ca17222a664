#pragma once

#include <optional>
#include <string>
#include <vector>

#include "settings/SettingsValues.h"

// Settings files and what loading each must give: shared by the settings
// tests, the settings checker's tests, and the schema test, which gets them
// as files from the settings-case-files program.
namespace testsupport
{
struct LoadCase
{
  const char* Name;
  std::string File;
  std::optional<CorpseSettingsValues> Loaded; // empty: the load fails
  std::string Error;                          // what() of the failure
};

void PrintTo(const LoadCase& load_case, std::ostream* out);

// What an empty file loads to, written apart from the settings table. The
// cases name the members they give; a switch they leave out is off.
inline constexpr CorpseSettingsValues Defaults{
    .tamedCorpseDecayTime = 1800, .wildCorpseDecayTime = 300, .playersBodiesDecayTime = 1800};

// The defaults, but for what `set` gives: a case names only the members
// its file gives.
template <class Set> CorpseSettingsValues DefaultsBut(Set set)
{
  CorpseSettingsValues values = Defaults;
  set(values);
  return values;
}

// Every kind switched on, each with a lifespan of its own: what the sample
// case's file sets.
inline constexpr CorpseSettingsValues SampleSettings{.tamedDinosAffected = true,
                                                     .wildDinosAffected = true,
                                                     .playersBodiesAffected = true,
                                                     .tamedCorpseDecayTime = 3600,
                                                     .wildCorpseDecayTime = 60,
                                                     .playersBodiesDecayTime = 7200};

const std::vector<LoadCase>& SettingsCases();
} // namespace testsupport
