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

inline constexpr CorpseSettingsValues Defaults{false, false, false, 1800, 300, 1800};

// The values with the three durations replaced.
CorpseSettingsValues With(CorpseSettingsValues values, std::int32_t tamed, std::int32_t wild,
                          std::int32_t players);

const std::vector<LoadCase>& SettingsCases();
} // namespace testsupport
