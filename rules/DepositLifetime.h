#pragma once

#include <cstdint>
#include <optional>

#include "host/GameFunctions.h"

// Whole seconds a dead character's class gives a corpse of its kind by
// default; empty when the class or its default lifespan cannot be had.
std::optional<std::int32_t> DefaultCorpseLifespan(APrimalCharacter* character);

// A float lifespan cut toward zero; NaN has no whole seconds, and values
// beyond the 32-bit range count as the nearest limit.
std::optional<std::int32_t> WholeSeconds(float lifespan);

// Detour on the game's DropInventoryDeposit: a dead character's deposit lasts
// as long as its class's default corpse does, from now.
APrimalStructureItemContainer* OnDropInventoryDeposit(
    UPrimalInventoryComponent* inventory, double destroy_at_time, bool do_preview,
    bool ignore_inventory, TSubclassOf<APrimalStructureItemContainer> override_class,
    APrimalStructureItemContainer* copy_structure, APrimalStructureItemContainer** deposit_out,
    AActor* group_actor, FString override_name, FString dropped_by_name,
    std::uint64_t dropped_by_player_id, float drop_inventory_deposit_time, bool use_physics,
    int max_items, bool no_loot_items, UE::Math::TVector<double>& location, bool use_location,
    bool set_on_ground, bool from_death, bool cannot_pick_up, bool is_visible);
