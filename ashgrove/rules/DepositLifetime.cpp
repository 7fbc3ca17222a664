#include "rules/DepositLifetime.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>

#include "access/GameAccess.h"
#include "host/Interfaces.h"
#include "host/ReflectedNames.h"
#include "settings/WildTeamLimit.h"

namespace
{
using GameAccess::ReadMember;

// The class default object's lifespan for this kind of character. A class
// without a tamed lifespan (a character that is no creature but sits in a
// tribe's team) falls back to the plain corpse lifespan.
std::optional<float> DefaultLifespanFor(void* character, const void* default_object)
{
  float lifespan = 0.0F;
  const bool player = GameAccess::Call<bool>(GameNames::IsShooterCharacter, false, character);
  if (!player)
  {
    std::int32_t team = 0;
    if (!ReadMember(character, GameNames::TargetingTeam, team))
    {
      return std::nullopt;
    }
    if (team >= WildTeamLimit &&
        ReadMember(default_object, GameNames::TamedCorpseLifespan, lifespan))
    {
      return lifespan;
    }
  }
  if (ReadMember(default_object, GameNames::CorpseLifespan, lifespan))
  {
    return lifespan;
  }
  return std::nullopt;
}

// A float lifespan cut toward zero; NaN has no whole seconds, and values
// beyond the 32-bit range count as the nearest limit.
std::optional<std::int32_t> WholeSeconds(float lifespan)
{
  if (std::isnan(lifespan))
  {
    return std::nullopt;
  }
  // 2^31 is exact as a float; everything at or above it is out of range.
  if (lifespan >= 2147483648.0F)
  {
    return std::numeric_limits<std::int32_t>::max();
  }
  if (lifespan < -2147483648.0F)
  {
    return std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<std::int32_t>(lifespan);
}

// Whole seconds a dead character's class gives a corpse of its kind by
// default; empty when the class or its default lifespan cannot be had.
std::optional<std::int32_t> DefaultCorpseLifespan(APrimalCharacter* character)
{
  UClass* character_class = nullptr;
  if (!ReadMember(character, GameNames::ClassPrivate, character_class) ||
      character_class == nullptr)
  {
    return std::nullopt;
  }
  void* default_object =
      GameAccess::Call<void*>(GameNames::GetDefaultObject, nullptr, character_class, true);
  if (default_object == nullptr)
  {
    return std::nullopt;
  }
  const auto lifespan = DefaultLifespanFor(character, default_object);
  if (!lifespan)
  {
    return std::nullopt;
  }
  return WholeSeconds(*lifespan);
}

// The destroy time a deposit dropped from this inventory gets, or the one
// the game asked for when the rule does not apply or cannot be worked out.
double DepositDestroyTime(UPrimalInventoryComponent* inventory, double requested)
{
  void* owner = nullptr;
  if (!ReadMember(inventory, GameNames::OwnerPrivate, owner) || owner == nullptr)
  {
    return requested;
  }
  if (!GameAccess::Call<bool>(GameNames::IsPrimalCharacter, false, owner) ||
      !GameAccess::Call<bool>(GameNames::IsDead, false, owner))
  {
    return requested;
  }
  UWorld* world = AsaApi::GetApiUtils().CurrentWorld();
  double now = 0.0;
  if (world == nullptr || !ReadMember(world, GameNames::TimeSeconds, now))
  {
    return requested;
  }
  const auto seconds = DefaultCorpseLifespan(static_cast<APrimalCharacter*>(owner));
  if (!seconds)
  {
    return requested;
  }
  return now + static_cast<double>(*seconds);
}
} // namespace

DropInventoryDepositFunction DropInventoryDepositTrampoline = nullptr;

APrimalStructureItemContainer* OnDropInventoryDeposit(
    UPrimalInventoryComponent* inventory, double destroy_at_time, bool do_preview,
    bool ignore_inventory, TSubclassOf<APrimalStructureItemContainer> override_class,
    APrimalStructureItemContainer* copy_structure, APrimalStructureItemContainer** deposit_out,
    AActor* group_actor, FString override_name, FString dropped_by_name,
    std::uint64_t dropped_by_player_id, float drop_inventory_deposit_time, bool use_physics,
    int max_items, bool no_loot_items, UE::Math::TVector<double>& location, bool use_location,
    bool set_on_ground, bool from_death, bool cannot_pick_up, bool is_visible)
{
  try
  {
    destroy_at_time = DepositDestroyTime(inventory, destroy_at_time);
  }
  catch (...)
  {
    // The deposit is dropped either way; only its lifetime is ours.
  }
  if (DropInventoryDepositTrampoline == nullptr)
  {
    return nullptr;
  }
  // The strings are handed on, not copied: the game sees the very storage it
  // passed in, and the hot path allocates nothing.
  return DropInventoryDepositTrampoline(
      inventory, destroy_at_time, do_preview, ignore_inventory, override_class, copy_structure,
      deposit_out, group_actor, std::move(override_name), std::move(dropped_by_name),
      dropped_by_player_id, drop_inventory_deposit_time, use_physics, max_items, no_loot_items,
      location, use_location, set_on_ground, from_death, cannot_pick_up, is_visible);
}
