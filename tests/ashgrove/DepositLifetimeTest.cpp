#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cwchar>
#include <limits>
#include <ostream>
#include <string>
#include <utility>

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

constexpr double Now = 1000.25;
constexpr double Requested = 77.5;

class DepositLifetime : public PluginTest
{
protected:
  void SetUp() override
  {
    PluginTest::SetUp();
    devhost::World().TimeSeconds = Now;
  }

  SimCharacter* DeadCharacter(CharacterKind kind, std::int32_t team, float corpse, float tamed)
  {
    auto* sim_class = devhost::DefineClass("C" + std::to_string(classes_++), kind, corpse, tamed);
    SimCharacter* body = devhost::SpawnCharacter("body", sim_class, team);
    body->Dead = true;
    return body;
  }

  // The destroy time the game's function receives for a drop that asked for
  // Requested.
  static double DestroyTimeFor(devhost::SimInventory* inventory)
  {
    return devhost::DropInventory(inventory, Requested);
  }

  int classes_ = 0;
};

struct LifespanCase
{
  const char* Name;
  CharacterKind Kind;
  std::int32_t Team;
  float ClassCorpse;
  float ClassTamed;
  double Expected;
};

void PrintTo(const LifespanCase& c, std::ostream* out)
{
  *out << c.Name;
}

class DeadOwner : public DepositLifetime, public ::testing::WithParamInterface<LifespanCase>
{
};

TEST_P(DeadOwner, DepositLastsTheClassDefaultFromNow)
{
  const LifespanCase& c = GetParam();
  LoadPlugin();
  SimCharacter* body = DeadCharacter(c.Kind, c.Team, c.ClassCorpse, c.ClassTamed);
  EXPECT_EQ(DestroyTimeFor(body->Inventory), c.Expected);
}

constexpr float Huge = 1e10F;

INSTANTIATE_TEST_SUITE_P(
    Cases, DeadOwner,
    ::testing::Values(
        LifespanCase{"PlayerWholeSeconds", CharacterKind::Player, 1, 1800.9F, 5.0F, 2800.25},
        LifespanCase{"PlayerWithTribeTeamStillUsesCorpse", CharacterKind::Player, 60000, 300.0F,
                     5.0F, Now + 300},
        LifespanCase{"FractionOnly", CharacterKind::Player, 1, 0.7F, 5.0F, Now},
        LifespanCase{"NegativeFractionOnly", CharacterKind::Player, 1, -0.7F, 5.0F, Now},
        LifespanCase{"CreatureAtWildLimit", CharacterKind::Dino, 50000, 400.0F, 900.0F, Now + 400},
        LifespanCase{"CreatureAboveWildLimit", CharacterKind::Dino, 50001, 400.0F, 900.0F,
                     Now + 900},
        LifespanCase{"NegativeTeamIsWild", CharacterKind::Dino, -3, 400.0F, 900.0F, Now + 400},
        LifespanCase{"OtherWithLowTeam", CharacterKind::Other, 7, 250.0F, 900.0F, Now + 250},
        LifespanCase{"OtherWithHighTeamHasNoTamedLifespan", CharacterKind::Other, 70000, 250.0F,
                     900.0F, Now + 250},
        LifespanCase{"NegativeLifespan", CharacterKind::Dino, 1, -30.5F, 0.0F, Now - 30},
        LifespanCase{"LifespanBeyondRangeIsClamped", CharacterKind::Dino, 1, Huge, 0.0F,
                     Now + 2147483647.0},
        // 2^31, the first float past the range: one off in the clamp and the
        // deposit has expired before it drops.
        LifespanCase{"LifespanOfExactly2To31IsClamped", CharacterKind::Dino, 1, 2147483648.0F, 0.0F,
                     Now + 2147483647.0},
        LifespanCase{"NegativeLifespanBeyondRangeIsClamped", CharacterKind::Dino, 1, -Huge, 0.0F,
                     Now - 2147483648.0},
        LifespanCase{"NaNLeavesTheRequestedTime", CharacterKind::Dino, 1,
                     std::numeric_limits<float>::quiet_NaN(), 0.0F, Requested}),
    [](const auto& test) { return std::string(test.param.Name); });

TEST_F(DepositLifetime, LivingOwnersAndNonCharactersKeepTheRequestedTime)
{
  LoadPlugin();
  auto* sim_class = devhost::DefineClass("Rex", CharacterKind::Dino, 400.0F, 900.0F);
  SimCharacter* living = devhost::SpawnCharacter("rex", sim_class, 60000);
  EXPECT_EQ(DestroyTimeFor(living->Inventory), Requested);

  devhost::SimContainer* box = devhost::SpawnContainer("box");
  devhost::SetLookupTrace(true);
  EXPECT_EQ(DestroyTimeFor(box->Inventory), Requested);
  for (const std::string& entry : devhost::LookupTrace())
  {
    EXPECT_EQ(entry.find(GameNames::IsDead), std::string::npos) << entry;
  }
}

TEST_F(DepositLifetime, SettingsAndTheHandlersWritesHaveNoEffect)
{
  for (const bool on : {false, true})
  {
    server_.WriteConfig(ConfigText({.tamedDinosAffected = on,
                                    .wildDinosAffected = on,
                                    .playersBodiesAffected = on,
                                    .tamedCorpseDecayTime = 11,
                                    .wildCorpseDecayTime = 22,
                                    .playersBodiesDecayTime = 33}));
    LoadPlugin();
    const testsupport::ThreeBodies bodies = testsupport::SpawnThreeBodies(1800.9F, 400.0F, 900.0F);
    EXPECT_EQ(devhost::Kill(bodies.Player).DepositDestroyTime, 2800.25);
    EXPECT_EQ(devhost::Kill(bodies.Tamed).DepositDestroyTime, Now + 900);
    EXPECT_EQ(devhost::Kill(bodies.Wild).DepositDestroyTime, Now + 400);
    UnloadPlugin();
  }
}

TEST_F(DepositLifetime, WhatCannotBeWorkedOutLeavesTheRequestedTime)
{
  LoadPlugin();
  EXPECT_EQ(DestroyTimeFor(devhost::CreateOrphanInventory()), Requested);

  SimCharacter* classless = DeadCharacter(CharacterKind::Dino, 1, 400.0F, 900.0F);
  classless->ClassPrivate = nullptr;
  EXPECT_EQ(DestroyTimeFor(classless->Inventory), Requested);

  auto* no_defaults = devhost::DefineClass("NoDefaults", CharacterKind::Dino, 0.0F, 0.0F, false);
  SimCharacter* orphan_class = devhost::SpawnCharacter("x", no_defaults, 1);
  orphan_class->Dead = true;
  EXPECT_EQ(DestroyTimeFor(orphan_class->Inventory), Requested);

  SimCharacter* body = DeadCharacter(CharacterKind::Dino, 1, 400.0F, 900.0F);
  devhost::SetWorldRunning(false);
  EXPECT_EQ(DestroyTimeFor(body->Inventory), Requested);
  devhost::SetWorldRunning(true);
  EXPECT_EQ(DestroyTimeFor(body->Inventory), Now + 400);
}

class DepositWithUnresolvedName : public DepositLifetime,
                                  public ::testing::WithParamInterface<std::string>
{
};

TEST_P(DepositWithUnresolvedName, PassesTheRequestedTimeThrough)
{
  LoadPlugin();
  devhost::HideName(GetParam());
  SimCharacter* wild = DeadCharacter(CharacterKind::Dino, 1, 400.0F, 900.0F);
  EXPECT_EQ(DestroyTimeFor(wild->Inventory), Requested);
}

INSTANTIATE_TEST_SUITE_P(Names, DepositWithUnresolvedName,
                         ::testing::Values(GameNames::OwnerPrivate, GameNames::IsPrimalCharacter,
                                           GameNames::IsDead, GameNames::TimeSeconds,
                                           GameNames::ClassPrivate, GameNames::GetDefaultObject,
                                           GameNames::TargetingTeam, GameNames::CorpseLifespan),
                         [](const auto& test) { return testsupport::TestName(test.param); });

TEST_F(DepositLifetime, ATamedCreatureWhoseClassLacksTheTamedLifespanUsesItsCorpseLifespan)
{
  LoadPlugin();
  devhost::HideName(GameNames::TamedCorpseLifespan);
  SimCharacter* tamed = DeadCharacter(CharacterKind::Dino, 60000, 400.0F, 900.0F);
  EXPECT_EQ(DestroyTimeFor(tamed->Inventory), Now + 400);
}

TEST_F(DepositLifetime, EveryOtherArgumentAndTheResultReachTheGameUnchanged)
{
  LoadPlugin();
  SimCharacter* body = DeadCharacter(CharacterKind::Player, 1, 60.0F, 0.0F);
  FString override_name(L"Override \u00e9");
  FString dropped_by(L"Dropped by \u4e16");
  const wchar_t* override_data = override_name.RawData();
  const wchar_t* dropped_by_data = dropped_by.RawData();
  UE::Math::TVector<double> location{1.0, 2.0, 3.0};
  APrimalStructureItemContainer* deposit = nullptr;
  auto* override_class = reinterpret_cast<UClass*>(std::uintptr_t{0x10});
  auto* copy = reinterpret_cast<APrimalStructureItemContainer*>(std::uintptr_t{0x20});
  auto* group = reinterpret_cast<AActor*>(std::uintptr_t{0x30});

  APrimalStructureItemContainer* result = devhost::CallDropInventoryDeposit(
      devhost::AsInventory(body->Inventory), 5.0, true, false, {override_class}, copy, &deposit,
      group, std::move(override_name), std::move(dropped_by), 0xFEDCBA9876543210ULL, 2.5F, false,
      -7, true, location, true, false, true, false, true);

  const devhost::DepositCall& call = devhost::LastDepositCall();
  EXPECT_EQ(result, devhost::DepositResult());
  EXPECT_EQ(deposit, devhost::DepositResult());
  EXPECT_EQ(call.Inventory, devhost::AsInventory(body->Inventory));
  EXPECT_EQ(call.DestroyAtTime, Now + 60);
  EXPECT_TRUE(call.DoPreview);
  EXPECT_FALSE(call.IgnoreInventory);
  EXPECT_EQ(call.OverrideClass, override_class);
  EXPECT_EQ(call.CopyStructure, copy);
  EXPECT_EQ(call.DepositOut, &deposit);
  EXPECT_EQ(call.GroupActor, group);
  EXPECT_EQ(call.OverrideNameData, override_data);
  EXPECT_STREQ(call.OverrideName, L"Override \u00e9");
  EXPECT_EQ(call.DroppedByNameData, dropped_by_data);
  EXPECT_STREQ(call.DroppedByName, L"Dropped by \u4e16");
  EXPECT_EQ(call.DroppedByPlayerId, 0xFEDCBA9876543210ULL);
  EXPECT_EQ(call.DropInventoryDepositTime, 2.5F);
  EXPECT_FALSE(call.UsePhysics);
  EXPECT_EQ(call.MaxItems, -7);
  EXPECT_TRUE(call.NoLootItems);
  EXPECT_EQ(call.Location, &location);
  EXPECT_TRUE(call.UseLocation);
  EXPECT_FALSE(call.SetOnGround);
  EXPECT_TRUE(call.FromDeath);
  EXPECT_FALSE(call.CannotPickUp);
  EXPECT_TRUE(call.IsVisible);
}
} // namespace
