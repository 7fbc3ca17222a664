#pragma once

#include <cstdint>

// What the operator configured for corpse lifetimes. Durations are whole
// seconds.
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

// Zero until the first load; written only by LoadSettings, read at every death.
extern CorpseSettingsValues CorpseSettings;

// Re-reads config.json into CorpseSettings. Either all six values are
// replaced or, when the load throws, none is.
void LoadSettings();
