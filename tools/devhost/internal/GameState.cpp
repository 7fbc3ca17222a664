#include "devhost/internal/GameState.h"

#include "host/ReflectedNames.h"

namespace devhost::detail
{
namespace
{
template <class T> std::uint64_t AddressOf(T& member)
{
  return reinterpret_cast<std::uint64_t>(&member);
}

SimCharacter& AsSimCharacter(void* object)
{
  return *static_cast<SimCharacter*>(object);
}

Layout PlainCharacterLayout()
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

const Layout& WorldLayout()
{
  static const Layout layout = {{GameNames::TimeSeconds, MemberInfo{[](void* o) {
                                   return AddressOf(static_cast<SimWorld*>(o)->TimeSeconds);
                                 }}}};
  return layout;
}

void RegisterWorld(GameState& state)
{
  state.Objects[&state.WorldObject] =
      ObjectRecord{ObjectType::World, &WorldLayout(), &state.WorldObject};
}
} // namespace

GameState::GameState()
{
  RegisterWorld(*this);
}

GameState& State()
{
  static GameState state;
  return state;
}

void ClearState()
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

const Layout& CharacterLayout(CharacterKind kind)
{
  static const Layout plain = PlainCharacterLayout();
  static const Layout creature = []
  {
    Layout layout = PlainCharacterLayout();
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

const Layout& EmptyLayout()
{
  static const Layout layout;
  return layout;
}

void Register(const void* object, ObjectType type, const Layout* members)
{
  State().Objects[object] = ObjectRecord{type, members, const_cast<void*>(object)};
}
} // namespace devhost::detail
