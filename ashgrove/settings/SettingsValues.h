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

// What a key that the file leaves out stands for.
inline constexpr CorpseSettingsValues DefaultSettings{false, false, false, 1800, 300, 1800};
