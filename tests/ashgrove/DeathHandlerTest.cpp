#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "devhost/GameCalls.h"
#include "devhost/ReflectionControls.h"
#include "devhost/World.h"
#include "host/ReflectedNames.h"
#include "support/PluginFixture.h"
#include "support/World.h"

namespace
{
using devhost::CharacterKind;
using devhost::SimCharacter;
using testsupport::ConfigText;
using testsupport::PluginTest;

constexpr std::uint32_t FlagBit = 1U << devhost::IgnoreDecompositionBit;
constexpr float ClassCorpse = 1000.0F;
constexpr float ClassTamed = 2000.0F;
constexpr std::int32_t TamedTime = 3600;
constexpr std::int32_t WildTime = 60;
constexpr std::int32_t PlayersTime = 7200;
// Every kind switched on, with lifespans no class gives.
constexpr CorpseSettingsValues EveryKindOn{.tamedDinosAffected = true,
                                           .wildDinosAffected = true,
                                           .playersBodiesAffected = true,
                                           .tamedCorpseDecayTime = 11,
                                           .wildCorpseDecayTime = 22,
                                           .playersBodiesDecayTime = 33};

// What a death should leave on the body; members not named keep the game's
// values.
struct Expected
{
  bool Changed = false;
  bool Flag = false;
  float Corpse = ClassCorpse;
  float Tamed = ClassTamed;
  float NonRelevant = ClassCorpse;
};

struct Switches
{
  bool Tamed;
  bool Wild;
  bool Players;
};

Expected ExpectedAfterDeath(CharacterKind kind, std::int32_t team, Switches on)
{
  Expected expected;
  if (kind == CharacterKind::Player && on.Players)
  {
    expected = {true, false, static_cast<float>(PlayersTime), ClassTamed, ClassCorpse};
  }
  const bool tamed = team >= 50001;
  if (kind == CharacterKind::Dino && tamed && on.Tamed)
  {
    expected = {true, true, ClassCorpse, static_cast<float>(TamedTime), ClassCorpse};
  }
  if (kind == CharacterKind::Dino && !tamed && on.Wild)
  {
    expected = {true, true, static_cast<float>(WildTime), ClassTamed, static_cast<float>(WildTime)};
  }
  return expected;
}

using DeathCase = std::tuple<CharacterKind, std::int32_t, int>;

class DeathRules : public PluginTest, public ::testing::WithParamInterface<DeathCase>
{
};

TEST_P(DeathRules, WriteExactlyTheConfiguredLifespanAndFlag)
{
  const auto [kind, team, switch_bits] = GetParam();
  const Switches on{(switch_bits & 1) != 0, (switch_bits & 2) != 0, (switch_bits & 4) != 0};
  server_.WriteConfig(ConfigText({.tamedDinosAffected = on.Tamed,
                                  .wildDinosAffected = on.Wild,
                                  .playersBodiesAffected = on.Players,
                                  .tamedCorpseDecayTime = TamedTime,
                                  .wildCorpseDecayTime = WildTime,
                                  .playersBodiesDecayTime = PlayersTime}));
  LoadPlugin();

  auto* sim_class = devhost::DefineClass("Body", kind, ClassCorpse, ClassTamed);
  SimCharacter* body = devhost::SpawnCharacter("victim", sim_class, team);
  // The flag starts opposite to what an affected death writes, so both a
  // missing and a wrong write show.
  const std::uint32_t before =
      kind == CharacterKind::Player ? (body->Flags | FlagBit) : body->Flags;
  body->Flags = before;

  const auto outcome = devhost::Kill(body);
  EXPECT_TRUE(outcome.DieResult);
  EXPECT_TRUE(body->Dead);

  const Expected expected = ExpectedAfterDeath(kind, team, on);
  const std::uint32_t flags =
      expected.Changed ? ((before & ~FlagBit) | (expected.Flag ? FlagBit : 0U)) : before;
  EXPECT_EQ(body->Flags, flags);
  EXPECT_EQ(body->CorpseLifespan, expected.Corpse);
  EXPECT_EQ(body->TamedCorpseLifespan, expected.Tamed);
  EXPECT_EQ(body->CorpseLifespanNonRelevant, expected.NonRelevant);
  // The game's own Die starts the decay from what it finds: all of it must
  // be written before the handler hands the call on.
  const devhost::BodyAtDeath& seen = devhost::LastDieCall().Body;
  EXPECT_EQ(seen.Flags, flags);
  EXPECT_EQ(seen.CorpseLifespan, expected.Corpse);
  EXPECT_EQ(seen.TamedCorpseLifespan, expected.Tamed);
  EXPECT_EQ(seen.CorpseLifespanNonRelevant, expected.NonRelevant);
}

std::string DeathCaseName(const ::testing::TestParamInfo<DeathCase>& test)
{
  const auto [kind, team, switch_bits] = test.param;
  const char* kinds[] = {"Player", "Dino", "Other"};
  std::string team_name =
      team < 0 ? "Minus" + std::to_string(-static_cast<std::int64_t>(team)) : std::to_string(team);
  return std::string(kinds[static_cast<int>(kind)]) + "_Team" + team_name + "_Switches" +
         std::to_string(switch_bits);
}

INSTANTIATE_TEST_SUITE_P(
    KindsTeamsSwitches, DeathRules,
    ::testing::Combine(
        ::testing::Values(CharacterKind::Player, CharacterKind::Dino, CharacterKind::Other),
        ::testing::Values(50000, 50001, 0, -1, std::numeric_limits<std::int32_t>::min(),
                          std::numeric_limits<std::int32_t>::max()),
        ::testing::Range(0, 8)),
    DeathCaseName);

struct DurationCase
{
  std::int32_t Configured;
  float Written;
};

void PrintTo(const DurationCase& c, std::ostream* out)
{
  *out << c.Configured << " seconds";
}

class DeathDurations : public PluginTest, public ::testing::WithParamInterface<DurationCase>
{
};

TEST_P(DeathDurations, AreConvertedToTheNearestFloatWithoutBounds)
{
  const std::int32_t seconds = GetParam().Configured;
  server_.WriteConfig(ConfigText({.tamedDinosAffected = true,
                                  .wildDinosAffected = true,
                                  .playersBodiesAffected = true,
                                  .tamedCorpseDecayTime = seconds,
                                  .wildCorpseDecayTime = seconds,
                                  .playersBodiesDecayTime = seconds}));
  LoadPlugin();
  const testsupport::ThreeBodies bodies = testsupport::SpawnThreeBodies(5.0F, 5.0F, 6.0F);
  for (SimCharacter* body : {bodies.Player, bodies.Tamed, bodies.Wild})
  {
    devhost::Kill(body);
  }
  EXPECT_EQ(bodies.Player->CorpseLifespan, GetParam().Written);
  EXPECT_EQ(bodies.Tamed->TamedCorpseLifespan, GetParam().Written);
  EXPECT_EQ(bodies.Wild->CorpseLifespan, GetParam().Written);
  EXPECT_EQ(bodies.Wild->CorpseLifespanNonRelevant, GetParam().Written);
}

INSTANTIATE_TEST_SUITE_P(Values, DeathDurations,
                         ::testing::Values(DurationCase{0, 0.0F}, DurationCase{-5, -5.0F},
                                           DurationCase{16777217, 16777216.0F},
                                           DurationCase{2147483647, 2147483648.0F}));

class DeathHandler : public PluginTest
{
protected:
  SimCharacter* Spawn(CharacterKind kind, std::int32_t team)
  {
    auto* sim_class =
        devhost::DefineClass("Class" + std::to_string(classes_++), kind, 100.0F, 200.0F);
    return devhost::SpawnCharacter("c", sim_class, team);
  }

  int classes_ = 0;
};

TEST_F(DeathHandler, FlagWritesTouchOnlyTheirOwnBit)
{
  server_.WriteConfig(ConfigText(testsupport::EverySwitchOn()));
  LoadPlugin();
  SimCharacter* player = Spawn(CharacterKind::Player, 1);
  SimCharacter* wild = Spawn(CharacterKind::Dino, 1);
  player->Flags = 0xFFFFFFFFU;
  wild->Flags = 0;
  devhost::Kill(player);
  devhost::Kill(wild);
  EXPECT_EQ(player->Flags, 0xFFFFFFFFU & ~FlagBit);
  EXPECT_EQ(wild->Flags, FlagBit);
}

TEST_F(DeathHandler, ACharacterOfNoKindIsOnlyAskedTheTwoTests)
{
  server_.WriteConfig(ConfigText(testsupport::EverySwitchOn()));
  LoadPlugin();
  SimCharacter* other = Spawn(CharacterKind::Other, 60000);
  const SimCharacter before = *other;
  devhost::SetLookupTrace(true);
  FDamageEvent event;
  EXPECT_TRUE(devhost::CallDie(devhost::AsCharacter(other), 1.0F, event, nullptr, nullptr));
  const std::vector<std::string> expected = {
      "function:" + GameNames::IsShooterCharacter, "call:" + GameNames::IsShooterCharacter,
      "function:" + GameNames::IsPrimalDino, "call:" + GameNames::IsPrimalDino};
  EXPECT_EQ(devhost::LookupTrace(), expected);
  EXPECT_EQ(other->Flags, before.Flags);
  EXPECT_EQ(other->CorpseLifespan, before.CorpseLifespan);
}

TEST_F(DeathHandler, APlayersBodyIsNeverAskedTheCreatureTest)
{
  for (const bool players_on : {false, true})
  {
    CorpseSettingsValues settings = testsupport::EverySwitchOn();
    settings.playersBodiesAffected = players_on;
    server_.WriteConfig(ConfigText(settings));
    LoadPlugin();
    SimCharacter* player = Spawn(CharacterKind::Player, 70000);
    devhost::SetLookupTrace(true);
    devhost::Kill(player);
    for (const std::string& entry : devhost::LookupTrace())
    {
      EXPECT_EQ(entry.find(GameNames::IsPrimalDino), std::string::npos) << entry;
    }
    devhost::SetLookupTrace(false);
    UnloadPlugin();
  }
}

TEST_F(DeathHandler, PassesEveryArgumentAndTheResultOnUnchanged)
{
  server_.WriteConfig(ConfigText(testsupport::EverySwitchOn()));
  LoadPlugin();
  SimCharacter* wild = Spawn(CharacterKind::Dino, 3);
  FDamageEvent event;
  auto* killer = reinterpret_cast<AController*>(std::uintptr_t{0x1234});
  auto* causer = reinterpret_cast<AActor*>(std::uintptr_t{0x5678});
  EXPECT_TRUE(devhost::CallDie(devhost::AsCharacter(wild), 12.5F, event, killer, causer));
  const devhost::DieCall& call = devhost::LastDieCall();
  EXPECT_EQ(call.Character, devhost::AsCharacter(wild));
  EXPECT_EQ(call.Damage, 12.5F);
  EXPECT_EQ(call.DamageEvent, &event);
  EXPECT_EQ(call.Killer, killer);
  EXPECT_EQ(call.DamageCauser, causer);
  // The game answers false for a body that is already dead; that reaches the
  // caller too.
  EXPECT_FALSE(devhost::CallDie(devhost::AsCharacter(wild), 1.0F, event, nullptr, nullptr));
  EXPECT_EQ(call.Calls, 2U);
}

// Every name the handler may resolve, hidden in turn: the death still
// happens and nothing is written through a lookup that failed.
class DeathWithUnresolvedName : public DeathHandler,
                                public ::testing::WithParamInterface<std::string>
{
};

TEST_P(DeathWithUnresolvedName, StillReachesTheGame)
{
  server_.WriteConfig(ConfigText(EveryKindOn));
  LoadPlugin();
  devhost::HideName(GetParam());
  for (const auto kind : {CharacterKind::Player, CharacterKind::Dino, CharacterKind::Other})
  {
    for (const std::int32_t team : {5, 60000})
    {
      SimCharacter* body = Spawn(kind, team);
      const auto outcome = devhost::Kill(body);
      EXPECT_TRUE(outcome.DieResult);
      EXPECT_TRUE(body->Dead);
      if (GetParam() == GameNames::IgnoreCorpseDecompositionMultipliers)
      {
        EXPECT_EQ(body->Flags, devhost::InitialFlagWord);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Names, DeathWithUnresolvedName,
                         ::testing::Values(GameNames::IsShooterCharacter, GameNames::IsPrimalDino,
                                           GameNames::TargetingTeam,
                                           GameNames::IgnoreCorpseDecompositionMultipliers,
                                           GameNames::CorpseLifespan,
                                           GameNames::TamedCorpseLifespan,
                                           GameNames::CorpseLifespanNonRelevant),
                         [](const auto& test) { return testsupport::TestName(test.param); });

TEST_F(DeathHandler, ABitFieldThatDoesNotFitItsWordIsLeftAlone)
{
  server_.WriteConfig(ConfigText(EveryKindOn));
  LoadPlugin();
  for (const auto& [position, count] :
       std::vector<std::pair<std::uint32_t, std::uint64_t>>{{31, 2}, {0, 0}, {0, 33}, {40, 1}})
  {
    SimCharacter* wild = Spawn(CharacterKind::Dino, 5);
    wild->Flags = 0;
    devhost::OverrideBitField(
        BitField{reinterpret_cast<std::uint64_t>(&wild->Flags), position, count});
    devhost::Kill(wild);
    EXPECT_EQ(wild->Flags, 0U) << position << "/" << count;
    EXPECT_EQ(wild->CorpseLifespan, 22.0F);
  }
  devhost::OverrideBitField(std::nullopt);
}
} // namespace
