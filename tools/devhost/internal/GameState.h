#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "devhost/GameCalls.h"
#include "devhost/World.h"

// The simulated game's objects, the reflected members each kind of object
// answers, and the controls over the reflection (internal/GameState.cpp).
namespace devhost::detail
{
enum class ObjectType
{
  Character,
  Container,
  Inventory,
  Class,
  World,
};

// How one reflected member is found inside an object of a given layout.
struct MemberInfo
{
  std::uint64_t (*Address)(void* object) = nullptr;
  bool IsBitField = false;
  std::uint32_t BitPosition = 0;
};

using Layout = std::unordered_map<std::string, MemberInfo>;

struct ObjectRecord
{
  ObjectType Type = ObjectType::Character;
  const Layout* Members = nullptr;
  void* Object = nullptr;
};

// Everything the simulated game holds. The world exists from the start and
// is always registered, so the hot path never has to register it.
struct GameState
{
  GameState();

  std::vector<std::unique_ptr<SimClass>> Classes;
  std::vector<std::unique_ptr<SimCharacter>> Characters;
  std::vector<std::unique_ptr<SimContainer>> Containers;
  std::vector<std::unique_ptr<SimInventory>> Inventories;
  std::unordered_map<const void*, ObjectRecord> Objects;
  SimWorld WorldObject;
  bool WorldRunning = true;
  std::unordered_set<std::string> Hidden;
  std::optional<BitField> BitFieldOverride;
  bool TraceEnabled = false;
  std::vector<std::string> Trace;
  DieCall LastDie;
  DepositCall LastDeposit;
};

GameState& State();

// Everything back to a fresh game with only the world in it.
void ClearState();

// The members each kind of object answers. Players' bodies and other
// characters lack the creature-only members.
const Layout& CharacterLayout(CharacterKind kind);
const Layout& InventoryLayout();
const Layout& EmptyLayout();

void Register(const void* object, ObjectType type, const Layout* members);

// The object behind a pointer the game handed out, if it is of that type.
template <class T> T* Find(const void* object, ObjectType type)
{
  auto& objects = State().Objects;
  const auto found = objects.find(object);
  if (found == objects.end() || found->second.Type != type)
  {
    return nullptr;
  }
  return static_cast<T*>(found->second.Object);
}

inline bool IsHidden(const std::string& name)
{
  const auto& hidden = State().Hidden;
  return !hidden.empty() && hidden.count(name) != 0;
}

inline void Trace(const char* kind, const std::string& name)
{
  auto& state = State();
  if (state.TraceEnabled)
  {
    state.Trace.push_back(std::string(kind) + ":" + name);
  }
}
} // namespace devhost::detail
