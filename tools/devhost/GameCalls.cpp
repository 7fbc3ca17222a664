#include "devhost/GameCalls.h"

#include <utility>

#include "devhost/Hooks.h"
#include "devhost/internal/GameFunctions.h"
#include "devhost/internal/GameState.h"

namespace devhost
{
using detail::State;

bool CallDie(APrimalCharacter* character, float damage, FDamageEvent& damage_event,
             AController* killer, AActor* damage_causer)
{
  return DieEntry()(character, damage, damage_event, killer, damage_causer);
}

APrimalStructureItemContainer* CallDropInventoryDeposit(
    UPrimalInventoryComponent* inventory, double destroy_at_time, bool do_preview,
    bool ignore_inventory, TSubclassOf<APrimalStructureItemContainer> override_class,
    APrimalStructureItemContainer* copy_structure, APrimalStructureItemContainer** deposit_out,
    AActor* group_actor, FString override_name, FString dropped_by_name,
    std::uint64_t dropped_by_player_id, float drop_inventory_deposit_time, bool use_physics,
    int max_items, bool no_loot_items, UE::Math::TVector<double>& location, bool use_location,
    bool set_on_ground, bool from_death, bool cannot_pick_up, bool is_visible)
{
  return DropInventoryDepositEntry()(
      inventory, destroy_at_time, do_preview, ignore_inventory, override_class, copy_structure,
      deposit_out, group_actor, std::move(override_name), std::move(dropped_by_name),
      dropped_by_player_id, drop_inventory_deposit_time, use_physics, max_items, no_loot_items,
      location, use_location, set_on_ground, from_death, cannot_pick_up, is_visible);
}

double DropInventory(SimInventory* inventory, double destroy_at_time)
{
  UE::Math::TVector<double> location{};
  APrimalStructureItemContainer* deposit = nullptr;
  CallDropInventoryDeposit(AsInventory(inventory), destroy_at_time, false, false, {}, nullptr,
                           &deposit, nullptr, FString(""), FString(""), 0, 0.0F, true, -1, false,
                           location, false, true, true, false, true);
  return State().LastDeposit.DestroyAtTime;
}

DeathOutcome Kill(SimCharacter* character)
{
  DeathOutcome outcome;
  FDamageEvent damage_event;
  outcome.DieResult = CallDie(AsCharacter(character), 100.0F, damage_event, nullptr, nullptr);
  if (outcome.DieResult && character->Inventory != nullptr)
  {
    // As the game does: only a death that happened drops the body's
    // inventory, as a deposit that lasts as long as a corpse would by default.
    outcome.DepositDestroyTime = DropInventory(
        character->Inventory, World().TimeSeconds + static_cast<double>(character->CorpseLifespan));
  }
  return outcome;
}

const DieCall& LastDieCall()
{
  return State().LastDie;
}

const DepositCall& LastDepositCall()
{
  return State().LastDeposit;
}

APrimalStructureItemContainer* DepositResult()
{
  return detail::DepositActor();
}
} // namespace devhost
