#include "devhost/GameCalls.h"
#include "devhost/ReflectionControls.h"
#include "devhost/World.h"

#include <utility>

#include "GameState.h"
#include "host/ReflectedNames.h"

namespace devhost
{
namespace detail
{
GameState& State()
{
  static GameState state;
  return state;
}

void Register(const void* object, ObjectType type, const Layout* members)
{
  State().Objects[object] = ObjectRecord{type, members, const_cast<void*>(object)};
}

void Unregister(const void* object)
{
  State().Objects.erase(object);
}
} // namespace detail

namespace
{
using detail::Layout;
using detail::MemberInfo;
using detail::ObjectType;
using detail::State;

template <class T> std::uint64_t AddressOf(T& member)
{
  return reinterpret_cast<std::uint64_t>(&member);
}

SimCharacter& AsSimCharacter(void* object)
{
  return *static_cast<SimCharacter*>(object);
}

Layout CharacterLayout()
{
  Layout layout;
  layout[GameNames::TargetingTeam] = {[](void* o)
                                      { return AddressOf(AsSimCharacter(o).TargetingTeam); }};
  layout[GameNames::ClassPrivate] = {[](void* o)
                                     { return AddressOf(AsSimCharacter(o).ClassPrivate); }};
  layout[GameNames::CorpseLifespan] = {[](void* o)
                                       { return AddressOf(AsSimCharacter(o).CorpseLifespan); }};
  layout[GameNames::IgnoreCorpseDecompositionMultipliers] = {
      [](void* o) { return AddressOf(AsSimCharacter(o).Flags); }, true, IgnoreDecompositionBit};
  return layout;
}

// Players' bodies and other characters lack the creature-only members.
const Layout& LayoutFor(CharacterKind kind)
{
  static const Layout plain = CharacterLayout();
  static const Layout creature = []
  {
    Layout layout = CharacterLayout();
    layout[GameNames::TamedCorpseLifespan] = {
        [](void* o) { return AddressOf(AsSimCharacter(o).TamedCorpseLifespan); }};
    layout[GameNames::CorpseLifespanNonRelevant] = {
        [](void* o) { return AddressOf(AsSimCharacter(o).CorpseLifespanNonRelevant); }};
    return layout;
  }();
  return kind == CharacterKind::Dino ? creature : plain;
}

const Layout& InventoryLayout()
{
  static const Layout layout = {{GameNames::OwnerPrivate, MemberInfo{[](void* o) {
                                   return AddressOf(static_cast<SimInventory*>(o)->OwnerPrivate);
                                 }}}};
  return layout;
}

const Layout& WorldLayout()
{
  static const Layout layout = {{GameNames::TimeSeconds, MemberInfo{[](void* o) {
                                   return AddressOf(static_cast<SimWorld*>(o)->TimeSeconds);
                                 }}}};
  return layout;
}

const Layout& EmptyLayout()
{
  static const Layout layout;
  return layout;
}

SimInventory* NewInventory(void* owner)
{
  auto& state = State();
  state.Inventories.push_back(std::make_unique<SimInventory>());
  SimInventory* inventory = state.Inventories.back().get();
  inventory->OwnerPrivate = owner;
  detail::Register(inventory, ObjectType::Inventory, &InventoryLayout());
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
  detail::Register(character, ObjectType::Character, &LayoutFor(kind));
  return character;
}

void RegisterWorld(detail::GameState& state)
{
  state.Objects[&state.WorldObject] =
      detail::ObjectRecord{ObjectType::World, &WorldLayout(), &state.WorldObject};
}
} // namespace

detail::GameState::GameState()
{
  RegisterWorld(*this);
}

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
  detail::Register(sim_class, ObjectType::Class, &EmptyLayout());
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
  detail::Register(container, ObjectType::Container, &EmptyLayout());
  container->Inventory = NewInventory(container);
  return container;
}

SimInventory* CreateOrphanInventory()
{
  return NewInventory(nullptr);
}

void ResetGame()
{
  auto& state = State();
  state.Objects.clear();
  state.Characters.clear();
  state.Containers.clear();
  state.Inventories.clear();
  state.Classes.clear();
  state.WorldObject = SimWorld{};
  state.WorldRunning = true;
  state.Hidden.clear();
  state.BitFieldOverride.reset();
  state.TraceEnabled = false;
  state.Trace.clear();
  state.LastDie = DieCall{};
  state.LastDeposit = DepositCall{};
  RegisterWorld(state);
}

SimWorld& World()
{
  return State().WorldObject;
}

void SetWorldRunning(bool running)
{
  State().WorldRunning = running;
}

bool CallDie(APrimalCharacter* character, float damage, FDamageEvent& damage_event,
             AController* killer, AActor* damage_causer)
{
  return detail::DieEntry()(character, damage, damage_event, killer, damage_causer);
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
  return detail::DropInventoryDepositEntry()(
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

void HideName(const std::string& name)
{
  State().Hidden.insert(name);
}

void OverrideBitField(std::optional<BitField> field)
{
  State().BitFieldOverride = field;
}

void SetLookupTrace(bool enabled)
{
  State().TraceEnabled = enabled;
  State().Trace.clear();
}

std::vector<std::string> LookupTrace()
{
  return State().Trace;
}
} // namespace devhost
