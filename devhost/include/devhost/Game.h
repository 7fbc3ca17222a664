#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/Export.h"
#include "host/GameFunctions.h"
#include "host/Reflection.h"

// A small simulated game: just enough classes, characters, inventories and a
// world clock for the plugin's rules to run for real. Its objects answer the
// reflected names the plugin uses, and its two detourable functions are
// always reached through the host's detour table, as the real game's are.
// What the game tells Die about the blow that killed; the plugin only passes
// it on.
struct FDamageEvent
{
  float Impulse = 0.0F;
};

namespace devhost
{
enum class CharacterKind
{
  Player,
  Dino,
  Other,
};

// Where bIgnoreCorpseDecompositionMultipliers sits in its flag word. Not bit
// 0, and with other flags set around it, so a wrong mask shows.
constexpr std::uint32_t IgnoreDecompositionBit = 5;
constexpr std::uint32_t InitialFlagWord = 0x5A5A5A5AU & ~(1U << IgnoreDecompositionBit);

struct SimInventory;
struct SimCharacter;

struct SimClass
{
  std::string Name;
  CharacterKind Kind = CharacterKind::Other;
  SimCharacter* DefaultObject = nullptr;
};

struct SimCharacter
{
  std::string Name;
  CharacterKind Kind = CharacterKind::Other;
  SimClass* ClassPrivate = nullptr;
  std::int32_t TargetingTeam = 0;
  float CorpseLifespan = 0.0F;
  float TamedCorpseLifespan = 0.0F;       // creatures only
  float CorpseLifespanNonRelevant = 0.0F; // creatures only
  std::uint32_t Flags = InitialFlagWord;
  bool Dead = false;
  SimInventory* Inventory = nullptr;
};

// An actor with an inventory that is not a character: a storage box.
struct SimContainer
{
  std::string Name;
  SimInventory* Inventory = nullptr;
};

struct SimInventory
{
  void* OwnerPrivate = nullptr;
};

struct SimWorld
{
  double TimeSeconds = 0.0;
};

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
  std::uint64_t Calls = 0;
};

struct DieCall
{
  APrimalCharacter* Character = nullptr;
  float Damage = 0.0F;
  FDamageEvent* DamageEvent = nullptr;
  AController* Killer = nullptr;
  AActor* DamageCauser = nullptr;
  std::uint64_t Calls = 0;
};

// The game's object pointers as the plugin sees them.
ASAAPI_API APrimalCharacter* AsCharacter(SimCharacter* character);
ASAAPI_API UPrimalInventoryComponent* AsInventory(SimInventory* inventory);
ASAAPI_API AActor* AsActor(SimContainer* container);
ASAAPI_API UClass* AsClass(SimClass* sim_class);

// Building and clearing the world. Objects live until ResetGame.
ASAAPI_API SimClass* DefineClass(const std::string& name, CharacterKind kind, float corpse_lifespan,
                                 float tamed_corpse_lifespan, bool with_default_object = true);
ASAAPI_API SimClass* FindClass(const std::string& name);
ASAAPI_API SimCharacter* SpawnCharacter(const std::string& name, SimClass* sim_class,
                                        std::int32_t team);
ASAAPI_API SimContainer* SpawnContainer(const std::string& name);
// An inventory that belongs to nothing.
ASAAPI_API SimInventory* CreateOrphanInventory();
ASAAPI_API void ResetGame();

ASAAPI_API SimWorld& World();
ASAAPI_API void SetWorldRunning(bool running);

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

// Test controls over what the host's reflection answers.
ASAAPI_API void HideName(const std::string& name);
ASAAPI_API void ShowAllNames();
ASAAPI_API void OverrideBitField(std::optional<BitField> field);

// A record of every reflected lookup and every game function called, in
// order ("member:NAME", "bitfield:NAME", "function:NAME", "call:NAME").
// Recording allocates, so it is off unless asked for.
ASAAPI_API void SetLookupTrace(bool enabled);
ASAAPI_API std::vector<std::string> LookupTrace();
} // namespace devhost
