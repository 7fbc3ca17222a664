#include "devhost/World.h"

#include <utility>

#include "devhost/internal/GameState.h"

namespace devhost
{
namespace
{
using detail::ObjectType;
using detail::State;

SimInventory* NewInventory(void* owner)
{
  auto& state = State();
  state.Inventories.push_back(std::make_unique<SimInventory>());
  SimInventory* inventory = state.Inventories.back().get();
  inventory->OwnerPrivate = owner;
  detail::Register(inventory, ObjectType::Inventory, &detail::InventoryLayout());
  return inventory;
}

SimCharacter* NewCharacter(std::string name, SimClass* sim_class, CharacterKind kind)
{
  auto& state = State();
  state.Characters.push_back(std::make_unique<SimCharacter>());
  SimCharacter* character = state.Characters.back().get();
  character->Name = std::move(name);
  character->Kind = kind;
  character->ClassPrivate = sim_class;
  detail::Register(character, ObjectType::Character, &detail::CharacterLayout(kind));
  return character;
}
} // namespace

APrimalCharacter* AsCharacter(SimCharacter* character)
{
  return reinterpret_cast<APrimalCharacter*>(character);
}

UPrimalInventoryComponent* AsInventory(SimInventory* inventory)
{
  return reinterpret_cast<UPrimalInventoryComponent*>(inventory);
}

AActor* AsActor(SimContainer* container)
{
  return reinterpret_cast<AActor*>(container);
}

UClass* AsClass(SimClass* sim_class)
{
  return reinterpret_cast<UClass*>(sim_class);
}

SimClass* DefineClass(const std::string& name, CharacterKind kind, float corpse_lifespan,
                      float tamed_corpse_lifespan, bool with_default_object)
{
  auto& state = State();
  state.Classes.push_back(std::make_unique<SimClass>());
  SimClass* sim_class = state.Classes.back().get();
  sim_class->Name = name;
  sim_class->Kind = kind;
  detail::Register(sim_class, ObjectType::Class, &detail::EmptyLayout());
  if (with_default_object)
  {
    SimCharacter* defaults = NewCharacter("Default__" + name, sim_class, kind);
    defaults->CorpseLifespan = corpse_lifespan;
    defaults->TamedCorpseLifespan = tamed_corpse_lifespan;
    defaults->CorpseLifespanNonRelevant = corpse_lifespan;
    sim_class->DefaultObject = defaults;
  }
  return sim_class;
}

SimClass* FindClass(const std::string& name)
{
  for (const auto& sim_class : State().Classes)
  {
    if (sim_class->Name == name)
    {
      return sim_class.get();
    }
  }
  return nullptr;
}

SimCharacter* SpawnCharacter(const std::string& name, SimClass* sim_class, std::int32_t team)
{
  const CharacterKind kind = sim_class != nullptr ? sim_class->Kind : CharacterKind::Other;
  SimCharacter* character = NewCharacter(name, sim_class, kind);
  character->TargetingTeam = team;
  if (sim_class != nullptr && sim_class->DefaultObject != nullptr)
  {
    const SimCharacter& defaults = *sim_class->DefaultObject;
    character->CorpseLifespan = defaults.CorpseLifespan;
    character->TamedCorpseLifespan = defaults.TamedCorpseLifespan;
    character->CorpseLifespanNonRelevant = defaults.CorpseLifespanNonRelevant;
  }
  character->Inventory = NewInventory(character);
  return character;
}

SimContainer* SpawnContainer(const std::string& name)
{
  auto& state = State();
  state.Containers.push_back(std::make_unique<SimContainer>());
  SimContainer* container = state.Containers.back().get();
  container->Name = name;
  detail::Register(container, ObjectType::Container, &detail::EmptyLayout());
  container->Inventory = NewInventory(container);
  return container;
}

SimInventory* CreateOrphanInventory()
{
  return NewInventory(nullptr);
}

void ResetGame()
{
  detail::ClearState();
}

SimWorld& World()
{
  return State().WorldObject;
}

void SetWorldRunning(bool running)
{
  State().WorldRunning = running;
}
} // namespace devhost
