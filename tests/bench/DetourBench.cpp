// The two detours as the game calls them, beside what they cannot avoid:
// the host lookups they make, done back to back without the plugin, and the
// game's own function with no detour installed.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <stdexcept>

#include "devhost/GameCalls.h"
#include "devhost/Host.h"
#include "devhost/Logging.h"
#include "devhost/PluginLibrary.h"
#include "devhost/World.h"
#include "host/AsaApi.h"
#include "settings/SettingsTable.h"
#include "support/AllocationCounter.h"
#include "support/PluginFiles.h"
#include "support/ServerDirectory.h"
#include "support/SettingsCases.h"
#include "support/World.h"

namespace
{
using devhost::CharacterKind;

enum class Kind
{
  Player,
  Tamed,
  Wild,
};

// The world the benchmarks run in: one character of each kind and a
// settings file with every switch on or off.
class Scene
{
public:
  Scene(bool switches_on, bool with_plugin)
  {
    devhost::ResetHost();
    devhost::SetConsoleLogEnabled(false);
    devhost::SetServerDirectory(server_.Path());
    // Switched off, the detours write nothing, whatever the lifespans.
    server_.WriteConfig(
        testsupport::ConfigText(switches_on ? testsupport::SampleSettings : DefaultSettings));
    bodies_ = testsupport::SpawnThreeBodies(1800.0F, 400.0F, 900.0F);
    devhost::World().TimeSeconds = 1000.0;
    if (with_plugin)
    {
      plugin_ = std::make_unique<devhost::PluginLibrary>(testsupport::PluginPath());
      if (const auto error = plugin_->Init())
      {
        throw std::runtime_error(*error);
      }
    }
  }

  ~Scene()
  {
    if (plugin_)
    {
      plugin_->Unload();
      plugin_->Close();
    }
    devhost::ResetHost();
  }

  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  devhost::SimCharacter* Character(Kind kind) const
  {
    switch (kind)
    {
    case Kind::Player:
      return bodies_.Player;
    case Kind::Tamed:
      return bodies_.Tamed;
    case Kind::Wild:
      break;
    }
    return bodies_.Wild;
  }

private:
  testsupport::ServerDirectory server_;
  std::unique_ptr<devhost::PluginLibrary> plugin_;
  testsupport::ThreeBodies bodies_;
};

void CountAllocations(benchmark::State& state, std::size_t before)
{
  state.counters["allocs_per_call"] =
      benchmark::Counter(static_cast<double>(testsupport::AllocationCount() - before) /
                         static_cast<double>(state.iterations()));
}

void Die(benchmark::State& state, Kind kind, bool switches_on, bool with_plugin)
{
  const Scene scene(switches_on, with_plugin);
  APrimalCharacter* character = devhost::AsCharacter(scene.Character(kind));
  FDamageEvent event;
  const std::size_t before = testsupport::AllocationCount();
  for (auto _ : state)
  {
    benchmark::DoNotOptimize(devhost::CallDie(character, 1.0F, event, nullptr, nullptr));
  }
  CountAllocations(state, before);
}

template <class T> T Read(const void* object, const std::string& name)
{
  return *reinterpret_cast<const T*>(GetAddress(object, name));
}

template <class Result, class... Args>
Result CallGame(const std::string& name, void* object, Args... args)
{
  return reinterpret_cast<Result (*)(void*, Args...)>(GetAddress(name))(object, args...);
}

// Every lookup and game call the death handler makes for this kind with
// its switch on, then the game's own Die: what no detour can do without.
void DieFloor(benchmark::State& state, Kind kind)
{
  const Scene scene(true, false);
  APrimalCharacter* character = devhost::AsCharacter(scene.Character(kind));
  FDamageEvent event;
  const std::size_t before = testsupport::AllocationCount();
  for (auto _ : state)
  {
    const bool player = CallGame<bool>(GameNames::IsShooterCharacter, character);
    std::uint64_t written = 0;
    if (player)
    {
      written +=
          GetBitField(character, GameNames::IgnoreCorpseDecompositionMultipliers).WordAddress;
      written += GetAddress(character, GameNames::CorpseLifespan);
    }
    else
    {
      benchmark::DoNotOptimize(CallGame<bool>(GameNames::IsPrimalDino, character));
      const auto team = Read<std::int32_t>(character, GameNames::TargetingTeam);
      written +=
          GetBitField(character, GameNames::IgnoreCorpseDecompositionMultipliers).WordAddress;
      if (team >= 50001)
      {
        written += GetAddress(character, GameNames::TamedCorpseLifespan);
      }
      else
      {
        written += GetAddress(character, GameNames::CorpseLifespan);
        written += GetAddress(character, GameNames::CorpseLifespanNonRelevant);
      }
    }
    benchmark::DoNotOptimize(written);
    benchmark::DoNotOptimize(devhost::CallDie(character, 1.0F, event, nullptr, nullptr));
  }
  CountAllocations(state, before);
}

APrimalStructureItemContainer* DropDeposit(devhost::SimCharacter* owner)
{
  UE::Math::TVector<double> location{};
  return devhost::CallDropInventoryDeposit(
      devhost::AsInventory(owner->Inventory), 5.0, false, false, {}, nullptr, nullptr, nullptr,
      FString(), FString(), 0, 0.0F, false, 0, false, location, false, false, true, false, true);
}

void Deposit(benchmark::State& state, bool dead, bool with_plugin)
{
  const Scene scene(false, with_plugin);
  devhost::SimCharacter* owner = scene.Character(Kind::Tamed);
  owner->Dead = dead;
  const std::size_t before = testsupport::AllocationCount();
  for (auto _ : state)
  {
    benchmark::DoNotOptimize(DropDeposit(owner));
  }
  CountAllocations(state, before);
}

// The lookups and calls the deposit detour makes for a dead tamed creature,
// then the game's own function.
void DepositFloor(benchmark::State& state)
{
  const Scene scene(false, false);
  devhost::SimCharacter* owner = scene.Character(Kind::Tamed);
  owner->Dead = true;
  void* inventory = owner->Inventory;
  const std::size_t before = testsupport::AllocationCount();
  for (auto _ : state)
  {
    void* actor = Read<void*>(inventory, GameNames::OwnerPrivate);
    benchmark::DoNotOptimize(CallGame<bool>(GameNames::IsPrimalCharacter, actor));
    benchmark::DoNotOptimize(CallGame<bool>(GameNames::IsDead, actor));
    const double now = Read<double>(AsaApi::GetApiUtils().CurrentWorld(), GameNames::TimeSeconds);
    auto* sim_class = Read<void*>(actor, GameNames::ClassPrivate);
    void* defaults = CallGame<void*>(GameNames::GetDefaultObject, sim_class, true);
    benchmark::DoNotOptimize(CallGame<bool>(GameNames::IsShooterCharacter, actor));
    const auto team = Read<std::int32_t>(actor, GameNames::TargetingTeam);
    const float lifespan = Read<float>(defaults, team >= 50001 ? GameNames::TamedCorpseLifespan
                                                               : GameNames::CorpseLifespan);
    benchmark::DoNotOptimize(now + static_cast<double>(static_cast<std::int32_t>(lifespan)));
    benchmark::DoNotOptimize(DropDeposit(owner));
  }
  CountAllocations(state, before);
}
} // namespace

BENCHMARK_CAPTURE(Die, player_on, Kind::Player, true, true);
BENCHMARK_CAPTURE(Die, player_off, Kind::Player, false, true);
BENCHMARK_CAPTURE(Die, tamed_on, Kind::Tamed, true, true);
BENCHMARK_CAPTURE(Die, tamed_off, Kind::Tamed, false, true);
BENCHMARK_CAPTURE(Die, wild_on, Kind::Wild, true, true);
BENCHMARK_CAPTURE(Die, wild_off, Kind::Wild, false, true);
BENCHMARK_CAPTURE(DieFloor, player, Kind::Player);
BENCHMARK_CAPTURE(DieFloor, tamed, Kind::Tamed);
BENCHMARK_CAPTURE(DieFloor, wild, Kind::Wild);
BENCHMARK_CAPTURE(Die, game_only_no_detour, Kind::Wild, true, false);
BENCHMARK_CAPTURE(Deposit, dead_owner, true, true);
BENCHMARK_CAPTURE(Deposit, living_owner, false, true);
BENCHMARK(DepositFloor);
BENCHMARK_CAPTURE(Deposit, game_only_no_detour, true, false);
