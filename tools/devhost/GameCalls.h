#pragma once

#include <cstdint>
#include <optional>

#include "devhost/World.h"
#include "host/Export.h"
#include "host/GameFunctions.h"

// How the game calls the two functions the plugin detours: always through
// the host's detour table, as the real game does, and what the game's own
// functions last received (GameCalls.cpp).
namespace devhost
{
// What the game's own DropInventoryDeposit last received. Strings are kept
// as their storage address and a bounded copy of the text, so recording
// allocates nothing.
struct DepositCall
{
  static constexpr std::size_t TextCapacity = 64;
  UPrimalInventoryComponent* Inventory = nullptr;
  double DestroyAtTime = 0.0;
  bool DoPreview = false;
  bool IgnoreInventory = false;
  UClass* OverrideClass = nullptr;
  APrimalStructureItemContainer* CopyStructure = nullptr;
  APrimalStructureItemContainer** DepositOut = nullptr;
  AActor* GroupActor = nullptr;
  const wchar_t* OverrideNameData = nullptr;
  wchar_t OverrideName[TextCapacity] = {};
  const wchar_t* DroppedByNameData = nullptr;
  wchar_t DroppedByName[TextCapacity] = {};
  std::uint64_t DroppedByPlayerId = 0;
  float DropInventoryDepositTime = 0.0F;
  bool UsePhysics = false;
  int MaxItems = 0;
  bool NoLootItems = false;
  const UE::Math::TVector<double>* Location = nullptr;
  bool UseLocation = false;
  bool SetOnGround = false;
  bool FromDeath = false;
  bool CannotPickUp = false;
  bool IsVisible = false;
};

// What the game's own Die finds on a body: it starts the body's decay from
// these.
struct BodyAtDeath
{
  float CorpseLifespan = 0.0F;
  float TamedCorpseLifespan = 0.0F;
  float CorpseLifespanNonRelevant = 0.0F;
  std::uint32_t Flags = 0; // the word holding bIgnoreCorpseDecompositionMultipliers
};

struct DieCall
{
  APrimalCharacter* Character = nullptr;
  float Damage = 0.0F;
  FDamageEvent* DamageEvent = nullptr;
  AController* Killer = nullptr;
  AActor* DamageCauser = nullptr;
  std::uint64_t Calls = 0;
  BodyAtDeath Body; // as the call found it; all zero for no body of ours
};

// The game's call sites: each goes through the host's detour table.
ASAAPI_API DieSignature CallDie;
ASAAPI_API DropInventoryDepositSignature CallDropInventoryDeposit;

// The game's everyday paths: a death (Die, then the body's inventory dropped
// as a deposit) and a plain inventory drop with typical arguments.
struct DeathOutcome
{
  bool DieResult = false;
  std::optional<double> DepositDestroyTime;
};
ASAAPI_API DeathOutcome Kill(SimCharacter* character);
ASAAPI_API double DropInventory(SimInventory* inventory, double destroy_at_time);

ASAAPI_API const DieCall& LastDieCall();
ASAAPI_API const DepositCall& LastDepositCall();
// The value the game's DropInventoryDeposit returns.
ASAAPI_API APrimalStructureItemContainer* DepositResult();
} // namespace devhost
