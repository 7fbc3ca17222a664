#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include <spdlog/logger.h>

#include "devhost/Commands.h"
#include "devhost/Hooks.h"
#include "devhost/Host.h"
#include "devhost/Logging.h"
#include "devhost/Rcon.h"
#include "host/Interfaces.h"
#include "host/ReflectedNames.h"
#include "support/PluginFixture.h"
#include "support/World.h"

namespace
{
using testsupport::PluginTest;

const std::string Die = "InstallDetour " + GameNames::Die;
const std::string Drop = "InstallDetour " + GameNames::DropInventoryDeposit;

bool Contains(const std::vector<std::string>& calls, const std::string& prefix)
{
  return std::any_of(calls.begin(), calls.end(),
                     [&](const std::string& call) { return call.rfind(prefix, 0) == 0; });
}

std::string LocalStamp(std::time_t when)
{
  const std::tm local = *std::localtime(&when);
  char text[32] = {};
  std::strftime(text, sizeof text, "%m/%d/%y %H:%M", &local);
  return text;
}

TEST(ReflectedNames, DropInventoryDepositSignatureIsExact)
{
  EXPECT_EQ(GameNames::DropInventoryDeposit.size(), 282U);
  EXPECT_EQ(GameNames::DropInventoryDeposit.find(' '), std::string::npos);
  EXPECT_NE(GameNames::DropInventoryDeposit.find(",unsigned__int64,"), std::string::npos);
}

TEST_F(PluginTest, InitAndUnloadCallTheHostInOrder)
{
  devhost::ClearHostCalls();
  LoadPlugin();
  const std::vector<std::string> init = {
      "GetLogSinks", "GetCurrentDir",
      "GetHooks",    "InstallDetour " + GameNames::Die,
      "GetHooks",    "InstallDetour " + GameNames::DropInventoryDeposit,
      "GetCommands", "RegisterConsoleCommand Ashgrove.Reload",
      "GetCommands", "RegisterRconCommand Ashgrove.Reload",
  };
  EXPECT_EQ(devhost::HostCalls(), init);
  EXPECT_TRUE(devhost::DetourInstalled(GameNames::Die));
  EXPECT_TRUE(devhost::DetourInstalled(GameNames::DropInventoryDeposit));
  EXPECT_TRUE(devhost::ConsoleCommandRegistered("Ashgrove.Reload"));
  EXPECT_TRUE(devhost::RconCommandRegistered("Ashgrove.Reload"));

  devhost::ClearHostCalls();
  plugin_->Unload();
  const std::vector<std::string> unload = {
      "GetHooks",    "RemoveDetour " + GameNames::Die,
      "GetHooks",    "RemoveDetour " + GameNames::DropInventoryDeposit,
      "GetCommands", "UnregisterConsoleCommand Ashgrove.Reload",
      "GetCommands", "UnregisterRconCommand Ashgrove.Reload",
  };
  EXPECT_EQ(devhost::HostCalls(), unload);
  EXPECT_FALSE(devhost::DetourInstalled(GameNames::Die));
  EXPECT_FALSE(devhost::DetourInstalled(GameNames::DropInventoryDeposit));
  EXPECT_EQ(devhost::RegisteredCommandCount(), 0U);
}

struct FailedInitCase
{
  const char* Name;
  const char* File; // nullptr: no file at all
  const char* ErrorStart;
};

void PrintTo(const FailedInitCase& c, std::ostream* out)
{
  *out << c.Name;
}

class FailedInit : public PluginTest, public ::testing::WithParamInterface<FailedInitCase>
{
};

TEST_P(FailedInit, InstallsNothingLogsNothingAndStillUnloadsCleanly)
{
  if (GetParam().File == nullptr)
  {
    server_.RemoveConfig();
  }
  else
  {
    server_.WriteConfig(GetParam().File);
  }
  plugin_ = std::make_unique<devhost::PluginLibrary>(testsupport::PluginPath());
  devhost::ClearHostCalls();
  const auto error = plugin_->Init();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->rfind(GetParam().ErrorStart, 0), 0U) << *error;
  const auto calls = devhost::HostCalls();
  EXPECT_FALSE(Contains(calls, "InstallDetour"));
  EXPECT_FALSE(Contains(calls, "Register"));
  EXPECT_FALSE(devhost::DetourInstalled(GameNames::Die));
  EXPECT_EQ(devhost::RegisteredCommandCount(), 0U);
  EXPECT_TRUE(devhost::CapturedLog().empty());
  EXPECT_EQ(devhost::ForeignSinkReferences(), 1) << "the logger is made before the settings";

  devhost::ClearHostCalls();
  plugin_->Unload();
  const auto removals = devhost::HostCalls();
  EXPECT_EQ(std::count_if(removals.begin(), removals.end(),
                          [](const std::string& c)
                          { return c.find("Remove") == 0 || c.find("Unregister") == 0; }),
            4);
}

INSTANTIATE_TEST_SUITE_P(
    Files, FailedInit,
    ::testing::Values(FailedInitCase{"Missing", nullptr, "Can't open config.json"},
                      FailedInitCase{"Malformed", "{\"tamedDinosAffected\": tru}",
                                     "[json.exception.parse_error.101] parse error at line 1"},
                      FailedInitCase{"WrongType", "{\"tamedDinosAffected\": \"yes\"}",
                                     "[json.exception.type_error.302]"},
                      FailedInitCase{"OutOfRange", "{\"wildCorpseDecayTime\": 4294967596}",
                                     "wildCorpseDecayTime: 4294967596 is out of range"}),
    [](const auto& test) { return std::string(test.param.Name); });

TEST_F(PluginTest, SecondInitReplacesTheLoggerAndAsksForEverythingAgain)
{
  LoadPlugin();
  EXPECT_EQ(devhost::ForeignSinkReferences(), 1);
  devhost::ClearHostCalls();
  ASSERT_FALSE(plugin_->Init());
  EXPECT_EQ(devhost::ForeignSinkReferences(), 1) << "the first logger was not released";
  const auto calls = devhost::HostCalls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), Die), 1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), Drop), 1);
  EXPECT_TRUE(Contains(calls, "RegisterConsoleCommand"));
  EXPECT_TRUE(Contains(calls, "RegisterRconCommand"));
  EXPECT_TRUE(devhost::DetourInstalled(GameNames::Die));
}

TEST_F(PluginTest, LogChannelOutlivesUnloadAndGoesWithTheLibrary)
{
  LoadPlugin();
  EXPECT_EQ(devhost::ForeignSinkReferences(), 1);
  plugin_->Unload();
  EXPECT_EQ(devhost::ForeignSinkReferences(), 1) << "Plugin_Unload must leave the logger alone";
  plugin_->Close();
  EXPECT_EQ(devhost::ForeignSinkReferences(), 0) << "the library's teardown did not run";
  plugin_.reset();
}

TEST_F(PluginTest, AFailedReloadLogsOneLineInTheChannelsPattern)
{
  LoadPlugin();
  server_.RemoveConfig();
  const std::time_t before = std::time(nullptr);
  ASSERT_EQ(testsupport::ReloadOverRcon(), "Can't open config.json");
  const std::time_t after = std::time(nullptr);

  const auto log = devhost::CapturedLog();
  ASSERT_EQ(log.size(), 1U);
  const std::string tail = " [Ashgrove][error] Can't open config.json";
  EXPECT_TRUE(log[0] == LocalStamp(before) + tail || log[0] == LocalStamp(after) + tail) << log[0];
  EXPECT_TRUE(
      std::regex_match(log[0], std::regex(R"(\d\d/\d\d/\d\d \d\d:\d\d \[Ashgrove\]\[error\] .*)")));
}

TEST_F(PluginTest, AFailedReloadsLogLineIsFlushedAtOnce)
{
  LoadPlugin();
  // A host logger does not flush by itself: its line waits in the sink.
  spdlog::logger host("host", GetLogSinks().begin(), GetLogSinks().end());
  host.info("waiting to be flushed");
  ASSERT_EQ(devhost::UnflushedLogLines(), 1U);

  server_.RemoveConfig();
  ASSERT_TRUE(devhost::RunConsoleCommand(nullptr, "Ashgrove.Reload"));
  EXPECT_EQ(devhost::CapturedLog().size(), 2U);
  EXPECT_EQ(devhost::UnflushedLogLines(), 0U) << "the error line was not flushed";
}

TEST_F(PluginTest, EachLoadedLibraryMakesItsOwnLogChannelAndTakesItAlong)
{
  LoadPlugin();
  ASSERT_EQ(devhost::ForeignSinkReferences(), 1);
  // A second copy of the library, as a server might load two builds side by
  // side: its channel is its own, made once at its first Plugin_Init, and
  // goes when that copy is unloaded, leaving the first one's in place.
  const std::filesystem::path copy =
      std::filesystem::path(server_.Path()) /
      ("Ashgrove-copy" + std::filesystem::path(testsupport::PluginPath()).extension().string());
  std::filesystem::copy_file(testsupport::PluginPath(), copy);
  {
    devhost::PluginLibrary second(copy.string());
    ASSERT_FALSE(second.Init());
    EXPECT_EQ(devhost::ForeignSinkReferences(), 2);
    ASSERT_FALSE(second.Init());
    EXPECT_EQ(devhost::ForeignSinkReferences(), 2) << "a second Init kept the first logger";
    second.Unload();
    second.Close();
  }
  EXPECT_EQ(devhost::ForeignSinkReferences(), 1);
  UnloadPlugin();
  EXPECT_EQ(devhost::ForeignSinkReferences(), 0);
}

#if !defined(_WIN32)
TEST(PluginExports, OnlyTheTwoEntryPointsAreExported)
{
  const std::string command = "nm -D --defined-only '" + testsupport::PluginPath() + "'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::vector<std::string> symbols;
  char line[512];
  while (fgets(line, sizeof line, pipe) != nullptr)
  {
    std::string text(line);
    const auto last_blank = text.find_last_of(' ');
    symbols.push_back(text.substr(last_blank + 1, text.find_last_not_of("\r\n") - last_blank));
  }
  ASSERT_EQ(pclose(pipe), 0);
  std::sort(symbols.begin(), symbols.end());
  EXPECT_EQ(symbols, (std::vector<std::string>{"Plugin_Init", "Plugin_Unload"}));
}
#endif
} // namespace
