#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <spdlog/logger.h>

#include "devhost/Commands.h"
#include "devhost/GameCalls.h"
#include "devhost/Hooks.h"
#include "devhost/Host.h"
#include "devhost/Logging.h"
#include "devhost/Players.h"
#include "devhost/PluginLibrary.h"
#include "devhost/World.h"
#include "host/Interfaces.h"
#include "host/ReflectedNames.h"
#include "support/PluginFixture.h"
#include "support/World.h"

namespace
{
using devhost::CharacterKind;
using testsupport::ConfigText;

// A server that loads, uses and unloads the plugin many times over must end
// each cycle holding nothing of it: no detour, no command, no sink reference,
// and no path by which the game could still reach its code.
class LoadCycles : public testsupport::PluginTest
{
protected:
  // Under wine a library load takes a hundred times longer than on Linux:
  // fewer cycles there keep the suite within its time, and still show
  // anything a cycle leaves behind, as each cycle is checked.
#if defined(_WIN32)
  static constexpr int Cycles = 200;
#else
  static constexpr int Cycles = 1000;
#endif

  void PlayOneCycle(int cycle)
  {
    const bool on = cycle % 2 == 0;
    server_.WriteConfig(ConfigText({.tamedDinosAffected = on,
                                    .wildDinosAffected = on,
                                    .playersBodiesAffected = on,
                                    .tamedCorpseDecayTime = 100 + cycle,
                                    .wildCorpseDecayTime = 200 + cycle,
                                    .playersBodiesDecayTime = 300 + cycle}));
    plugin_ = std::make_unique<devhost::PluginLibrary>(testsupport::PluginPath());
    ASSERT_FALSE(plugin_->Init());

    const testsupport::ThreeBodies bodies = testsupport::SpawnThreeBodies(10.0F, 20.0F, 30.0F);
    for (devhost::SimCharacter* body : {bodies.Player, bodies.Tamed, bodies.Wild})
    {
      devhost::Kill(body);
    }
    ASSERT_EQ(bodies.Wild->CorpseLifespan, on ? static_cast<float>(200 + cycle) : 20.0F);

    ASSERT_TRUE(devhost::RunConsoleCommand(devhost::Player("admin"), "Ashgrove.Reload"));
    ASSERT_EQ(testsupport::ReloadOverRcon(cycle), "Reloaded config");
    server_.WriteConfig("{");
    ASSERT_TRUE(devhost::RunConsoleCommand(devhost::Player("admin"), "Ashgrove.Reload"));
    ASSERT_EQ(testsupport::ReloadOverRcon(cycle).rfind("[json.exception.parse_error.101]", 0), 0U);

    UnloadPlugin();
    ASSERT_FALSE(devhost::DetourInstalled(GameNames::Die));
    ASSERT_FALSE(devhost::DetourInstalled(GameNames::DropInventoryDeposit));
    ASSERT_EQ(devhost::RegisteredCommandCount(), 0U);
    ASSERT_EQ(devhost::ForeignSinkReferences(), 0);
    devhost::ResetGame();
    devhost::ClearCapturedLog();
    devhost::ClearDeliveredMessages();
  }
};

TEST_F(LoadCycles, LeaveNothingOfThePluginBehind)
{
  for (int cycle = 0; cycle < Cycles && !HasFatalFailure(); ++cycle)
  {
    PlayOneCycle(cycle);
  }

  // With the library gone the game runs on its own functions, the commands
  // are unknown, and the host's sinks still log with their own formatter.
  const testsupport::ThreeBodies bodies = testsupport::SpawnThreeBodies(10.0F, 20.0F, 30.0F);
  const auto outcome = devhost::Kill(bodies.Wild);
  EXPECT_TRUE(outcome.DieResult);
  EXPECT_EQ(bodies.Wild->CorpseLifespan, 20.0F);
  EXPECT_EQ(outcome.DepositDestroyTime, devhost::World().TimeSeconds + 20.0);
  EXPECT_FALSE(devhost::RunConsoleCommand(nullptr, "Ashgrove.Reload"));
  auto& sinks = GetLogSinks();
  spdlog::logger host_logger("host", sinks.begin(), sinks.end());
  host_logger.error("still logging");
  ASSERT_FALSE(devhost::CapturedLog().empty());
  EXPECT_NE(devhost::CapturedLog().back().find("still logging"), std::string::npos);
}
} // namespace
