#include <gtest/gtest.h>

#include <utility>

#include "devhost/GameCalls.h"
#include "devhost/World.h"
#include "support/AllocationCounter.h"
#include "support/PluginFixture.h"

namespace
{
using devhost::CharacterKind;
using testsupport::AllocationCount;
using testsupport::PluginTest;

class DetourAllocations : public PluginTest
{
protected:
  void SetUp() override
  {
    PluginTest::SetUp();
    if (!testsupport::AllocationsInLibrariesAreCounted())
    {
      GTEST_SKIP() << "this platform does not let the test count the plugin's allocations";
    }
    server_.WriteConfig(testsupport::ConfigText(testsupport::EverySwitchOn()));
    LoadPlugin();
  }
};

TEST_F(DetourAllocations, TheCounterSeesAllocations)
{
  const std::size_t before = AllocationCount();
  void* probe = ::operator new(16);
  ::operator delete(probe);
  EXPECT_EQ(AllocationCount(), before + 1);
}

TEST_F(DetourAllocations, DeathHandlerAllocatesNothing)
{
  FDamageEvent event;
  for (const auto kind : {CharacterKind::Player, CharacterKind::Dino, CharacterKind::Other})
  {
    for (const std::int32_t team : {1, 60000})
    {
      auto* sim_class = devhost::DefineClass("K", kind, 10.0F, 20.0F);
      devhost::SimCharacter* body = devhost::SpawnCharacter("b", sim_class, team);
      const std::size_t before = AllocationCount();
      devhost::CallDie(devhost::AsCharacter(body), 1.0F, event, nullptr, nullptr);
      EXPECT_EQ(AllocationCount() - before, 0U);
    }
  }
}

TEST_F(DetourAllocations, DepositDetourAllocatesNothing)
{
  auto* sim_class = devhost::DefineClass("K", CharacterKind::Dino, 10.0F, 20.0F);
  devhost::SimCharacter* dead = devhost::SpawnCharacter("dead", sim_class, 60000);
  dead->Dead = true;
  devhost::SimCharacter* living = devhost::SpawnCharacter("living", sim_class, 1);
  for (devhost::SimCharacter* owner : {dead, living})
  {
    FString name(L"a");
    FString by(L"b");
    UE::Math::TVector<double> location{};
    const std::size_t before = AllocationCount();
    devhost::CallDropInventoryDeposit(devhost::AsInventory(owner->Inventory), 1.0, false, false, {},
                                      nullptr, nullptr, nullptr, std::move(name), std::move(by), 0,
                                      0.0F, false, 0, false, location, false, false, true, false,
                                      true);
    EXPECT_EQ(AllocationCount() - before, 0U);
  }
}
} // namespace
