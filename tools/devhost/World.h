#pragma once

#include <cstdint>
#include <string>

#include "host/Export.h"
#include "host/GameTypes.h"

// A small simulated game: just enough classes, characters, inventories and a
// world clock for the plugin's rules to run for real. Its objects answer the
// reflected names the plugin uses (World.cpp; internal/GameState.cpp holds the
// objects and the members they answer, Reflection.cpp the lookups).

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
} // namespace devhost
