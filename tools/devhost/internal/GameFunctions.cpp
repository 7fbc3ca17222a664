#include "devhost/internal/GameFunctions.h"

#include <cstdlib>
#include <cwchar>

#include "devhost/Rcon.h"
#include "devhost/internal/GameState.h"
#include "host/ReflectedNames.h"

namespace devhost::detail
{
namespace
{
SimCharacter* CharacterFor(void* object)
{
  return Find<SimCharacter>(object, ObjectType::Character);
}

bool IsShooterCharacter(void* object)
{
  Trace("call", GameNames::IsShooterCharacter);
  const SimCharacter* character = CharacterFor(object);
  return character != nullptr && character->Kind == CharacterKind::Player;
}

bool IsPrimalDino(void* object)
{
  Trace("call", GameNames::IsPrimalDino);
  const SimCharacter* character = CharacterFor(object);
  return character != nullptr && character->Kind == CharacterKind::Dino;
}

bool IsPrimalCharacter(void* object)
{
  Trace("call", GameNames::IsPrimalCharacter);
  return CharacterFor(object) != nullptr;
}

bool IsDead(void* object)
{
  Trace("call", GameNames::IsDead);
  const SimCharacter* character = CharacterFor(object);
  return character != nullptr && character->Dead;
}

void* GetDefaultObject(void* object, bool /*create_if_needed*/)
{
  Trace("call", GameNames::GetDefaultObject);
  const SimClass* sim_class = Find<SimClass>(object, ObjectType::Class);
  return sim_class != nullptr ? sim_class->DefaultObject : nullptr;
}

void FreeMemory(void* storage)
{
  std::free(storage);
}

template <std::size_t N> void CopyBounded(wchar_t (&target)[N], const FString& text)
{
  std::wcsncpy(target, text.c_str(), N - 1);
  target[N - 1] = L'\0';
}

// Standing in for the game's deposit actor: DropInventoryDeposit returns it.
struct SimDeposit
{
  int Unused = 0;
};
SimDeposit TheDeposit;
} // namespace

void RegisterGameFunctions(std::unordered_map<std::string, void*>& functions)
{
  functions[GameNames::IsShooterCharacter] = reinterpret_cast<void*>(&IsShooterCharacter);
  functions[GameNames::IsPrimalDino] = reinterpret_cast<void*>(&IsPrimalDino);
  functions[GameNames::IsPrimalCharacter] = reinterpret_cast<void*>(&IsPrimalCharacter);
  functions[GameNames::IsDead] = reinterpret_cast<void*>(&IsDead);
  functions[GameNames::GetDefaultObject] = reinterpret_cast<void*>(&GetDefaultObject);
  functions[GameNames::RconSendMessage] = reinterpret_cast<void*>(&RconSendMessage);
  functions[GameNames::FMemoryFree] = reinterpret_cast<void*>(&FreeMemory);
}

bool GameDie(APrimalCharacter* character, float damage, FDamageEvent& damage_event,
             AController* killer, AActor* damage_causer)
{
  auto& last = State().LastDie;
  last.Character = character;
  last.Damage = damage;
  last.DamageEvent = &damage_event;
  last.Killer = killer;
  last.DamageCauser = damage_causer;
  ++last.Calls;
  SimCharacter* sim = CharacterFor(character);
  last.Body = sim == nullptr ? BodyAtDeath{}
                             : BodyAtDeath{sim->CorpseLifespan, sim->TamedCorpseLifespan,
                                           sim->CorpseLifespanNonRelevant, sim->Flags};
  if (sim == nullptr || sim->Dead)
  {
    return false;
  }
  sim->Dead = true;
  return true;
}

APrimalStructureItemContainer* GameDropInventoryDeposit(
    UPrimalInventoryComponent* inventory, double destroy_at_time, bool do_preview,
    bool ignore_inventory, TSubclassOf<APrimalStructureItemContainer> override_class,
    APrimalStructureItemContainer* copy_structure, APrimalStructureItemContainer** deposit_out,
    AActor* group_actor, FString override_name, FString dropped_by_name,
    std::uint64_t dropped_by_player_id, float drop_inventory_deposit_time, bool use_physics,
    int max_items, bool no_loot_items, UE::Math::TVector<double>& location, bool use_location,
    bool set_on_ground, bool from_death, bool cannot_pick_up, bool is_visible)
{
  DepositCall& last = State().LastDeposit;
  last.Inventory = inventory;
  last.DestroyAtTime = destroy_at_time;
  last.DoPreview = do_preview;
  last.IgnoreInventory = ignore_inventory;
  last.OverrideClass = override_class.Class;
  last.CopyStructure = copy_structure;
  last.DepositOut = deposit_out;
  last.GroupActor = group_actor;
  last.OverrideNameData = override_name.RawData();
  CopyBounded(last.OverrideName, override_name);
  last.DroppedByNameData = dropped_by_name.RawData();
  CopyBounded(last.DroppedByName, dropped_by_name);
  last.DroppedByPlayerId = dropped_by_player_id;
  last.DropInventoryDepositTime = drop_inventory_deposit_time;
  last.UsePhysics = use_physics;
  last.MaxItems = max_items;
  last.NoLootItems = no_loot_items;
  last.Location = &location;
  last.UseLocation = use_location;
  last.SetOnGround = set_on_ground;
  last.FromDeath = from_death;
  last.CannotPickUp = cannot_pick_up;
  last.IsVisible = is_visible;
  APrimalStructureItemContainer* deposit = DepositActor();
  if (deposit_out != nullptr)
  {
    *deposit_out = deposit;
  }
  return deposit;
}

APrimalStructureItemContainer* DepositActor()
{
  return reinterpret_cast<APrimalStructureItemContainer*>(&TheDeposit);
}
} // namespace devhost::detail
