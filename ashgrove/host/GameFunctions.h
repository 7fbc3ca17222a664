#pragma once

#include <cstdint>

#include "host/GameTypes.h"

// The game's own functions that the plugin detours, as the host declares them.
using DieSignature = bool(APrimalCharacter* character, float damage, FDamageEvent& damage_event,
                          AController* killer, AActor* damage_causer);
using DieFunction = DieSignature*;

using DropInventoryDepositSignature = APrimalStructureItemContainer*(
    UPrimalInventoryComponent* inventory, double destroy_at_time, bool do_preview,
    bool ignore_inventory, TSubclassOf<APrimalStructureItemContainer> override_class,
    APrimalStructureItemContainer* copy_structure, APrimalStructureItemContainer** deposit_out,
    AActor* group_actor, FString override_name, FString dropped_by_name,
    std::uint64_t dropped_by_player_id, float drop_inventory_deposit_time, bool use_physics,
    int max_items, bool no_loot_items, UE::Math::TVector<double>& location, bool use_location,
    bool set_on_ground, bool from_death, bool cannot_pick_up, bool is_visible);
using DropInventoryDepositFunction = DropInventoryDepositSignature*;
