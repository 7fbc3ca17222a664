#include "rules/DeathHandler.h"

#include <cstdint>

#include "access/GameAccess.h"
#include "host/ReflectedNames.h"
#include "settings/CorpseSettings.h"
#include "settings/WildTeamLimit.h"

namespace
{
using GameAccess::WriteBitField;

void WriteLifespan(void* character, const std::string& member, std::int32_t seconds)
{
  // Nearest float: exact up to 2^24 seconds, which is far beyond any corpse.
  GameAccess::WriteMember<float>(character, member, static_cast<float>(seconds));
}

void ApplyToPlayerBody(void* character, const CorpseSettingsValues& settings)
{
  if (!settings.playersBodiesAffected)
  {
    return;
  }
  // Players' bodies keep the server's decomposition multipliers.
  WriteBitField(character, GameNames::IgnoreCorpseDecompositionMultipliers, 0);
  WriteLifespan(character, GameNames::CorpseLifespan, settings.playersBodiesDecayTime);
}

void ApplyToCreature(void* character, const CorpseSettingsValues& settings)
{
  std::int32_t team = 0;
  if (!GameAccess::ReadMember(character, GameNames::TargetingTeam, team))
  {
    return;
  }
  if (team >= WildTeamLimit)
  {
    if (!settings.tamedDinosAffected)
    {
      return;
    }
    WriteBitField(character, GameNames::IgnoreCorpseDecompositionMultipliers, 1);
    WriteLifespan(character, GameNames::TamedCorpseLifespan, settings.tamedCorpseDecayTime);
    return;
  }
  if (!settings.wildDinosAffected)
  {
    return;
  }
  WriteBitField(character, GameNames::IgnoreCorpseDecompositionMultipliers, 1);
  WriteLifespan(character, GameNames::CorpseLifespan, settings.wildCorpseDecayTime);
  WriteLifespan(character, GameNames::CorpseLifespanNonRelevant, settings.wildCorpseDecayTime);
}

void ApplyCorpseRules(APrimalCharacter* character)
{
  const CorpseSettingsValues& settings = CorpseSettings;
  if (GameAccess::Call<bool>(GameNames::IsShooterCharacter, false, character))
  {
    ApplyToPlayerBody(character, settings);
    return;
  }
  if (GameAccess::Call<bool>(GameNames::IsPrimalDino, false, character))
  {
    ApplyToCreature(character, settings);
  }
}
} // namespace

DieFunction DieTrampoline = nullptr;

bool OnCharacterDie(APrimalCharacter* character, float damage, FDamageEvent& damage_event,
                    AController* killer, AActor* damage_causer)
{
  try
  {
    ApplyCorpseRules(character);
  }
  catch (...)
  {
    // Whatever went wrong with the lifespans, the death itself must happen.
  }
  if (DieTrampoline == nullptr)
  {
    return false;
  }
  return DieTrampoline(character, damage, damage_event, killer, damage_causer);
}
