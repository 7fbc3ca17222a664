#pragma once

#include <cstdint>

// What the operator configured for corpse lifetimes, one member per setting
// of the settings table (SettingsTable.h). Durations are whole seconds.
struct CorpseSettingsValues
{
  bool tamedDinosAffected = false;
  bool wildDinosAffected = false;
  bool playersBodiesAffected = false;
  std::int32_t tamedCorpseDecayTime = 0;
  std::int32_t wildCorpseDecayTime = 0;
  std::int32_t playersBodiesDecayTime = 0;

  bool operator==(const CorpseSettingsValues&) const = default;
};
