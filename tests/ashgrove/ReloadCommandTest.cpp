#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "devhost/Commands.h"
#include "devhost/GameCalls.h"
#include "devhost/Logging.h"
#include "devhost/Players.h"
#include "devhost/Rcon.h"
#include "devhost/World.h"
#include "support/PluginFixture.h"

namespace
{
using devhost::CharacterKind;
using testsupport::ConfigText;
using testsupport::PluginTest;

const std::string MissingFile = "Can't open config.json";
const std::string BracesAndPercent = "{\"a\": \"{}%s %d {0}";
const std::string BracesAndPercentError =
    "[json.exception.parse_error.101] parse error at line 1, column 19: syntax error while parsing "
    "value - invalid string: missing closing quote; last read: '\"{}%s %d {0}'";

// Records, in order, what the host saw: messages, replies and log lines.
class ReloadCommand : public PluginTest
{
protected:
  void SetUp() override
  {
    PluginTest::SetUp();
    server_.WriteConfig(ConfigText({.wildDinosAffected = true,
                                    .tamedCorpseDecayTime = 1800,
                                    .wildCorpseDecayTime = 60,
                                    .playersBodiesDecayTime = 1800}));
    LoadPlugin();
    devhost::SetMessageListener(
        [this](const devhost::DeliveredMessage& message)
        { events_.push_back("message " + message.Player + " " + message.Text); });
    devhost::SetLogListener(
        [this](const std::string& line)
        {
          const auto tail = line.find("] ");
          events_.push_back("log " + line.substr(tail == std::string::npos ? 0 : tail + 2));
        });
    connection_ = devhost::OpenRconConnection(
        [this](const devhost::RconReply& reply)
        {
          replies_.push_back(reply);
          events_.push_back("reply " + reply.Body);
        });
  }

  void TearDown() override
  {
    devhost::CloseRconConnection(connection_);
    PluginTest::TearDown();
  }

  void Console(const std::string& player, const std::string& line)
  {
    ASSERT_TRUE(
        devhost::RunConsoleCommand(player.empty() ? nullptr : devhost::Player(player), line));
  }

  void Rcon(std::int32_t id, const std::string& line)
  {
    ASSERT_TRUE(devhost::RunRconCommand(connection_, id, line));
  }

  // The lifespan a wild creature's body gets now.
  static float WildCorpseLifespan()
  {
    auto* sim_class = devhost::DefineClass("Raptor", CharacterKind::Dino, 5.0F, 6.0F);
    devhost::SimCharacter* raptor = devhost::SpawnCharacter("raptor", sim_class, 10);
    devhost::Kill(raptor);
    return raptor->CorpseLifespan;
  }

  RCONClientConnection* connection_ = nullptr;
  std::vector<std::string> events_;
  std::vector<devhost::RconReply> replies_;
};

void ExpectColour(const MessageColour& actual, const MessageColour& expected)
{
  EXPECT_EQ(actual.R, expected.R);
  EXPECT_EQ(actual.G, expected.G);
  EXPECT_EQ(actual.B, expected.B);
  EXPECT_EQ(actual.A, expected.A);
}

bool SameFile(const std::string& a, const std::string& b)
{
  std::error_code error;
  return std::filesystem::equivalent(a, b, error);
}

TEST_F(ReloadCommand, ConsoleSuccessAnswersGreenAndLogsNothing)
{
  Console("alice", "Ashgrove.Reload");
  EXPECT_EQ(events_, (std::vector<std::string>{"message alice Reloaded config"}));
  const auto messages = devhost::DeliveredMessages();
  ASSERT_EQ(messages.size(), 1U);
  ExpectColour(messages[0].Colour, {0.0F, 1.0F, 0.0F, 1.0F});
  EXPECT_TRUE(SameFile(messages[0].MessengerPath, testsupport::PluginPath()))
      << messages[0].MessengerPath;
}

TEST_F(ReloadCommand, ConsoleFailureAnswersRedBeforeItLogs)
{
  server_.RemoveConfig();
  Console("bob", "Ashgrove.Reload");
  EXPECT_EQ(events_, (std::vector<std::string>{"message bob Failed to reload config",
                                               "log " + MissingFile}));
  const auto messages = devhost::DeliveredMessages();
  ASSERT_EQ(messages.size(), 1U);
  ExpectColour(messages[0].Colour, {1.0F, 0.0F, 0.0F, 1.0F});
}

TEST_F(ReloadCommand, ConsoleWithoutPlayerStillLooksUpTheMessengerAndLogsFailures)
{
  Console("", "Ashgrove.Reload");
  EXPECT_TRUE(events_.empty());
  EXPECT_EQ(devhost::MessengerLookups().size(), 1U);

  server_.WriteConfig("[]");
  Console("", "Ashgrove.Reload");
  EXPECT_EQ(events_, (std::vector<std::string>{
                         "log [json.exception.type_error.306] cannot use value() with array"}));
  EXPECT_EQ(devhost::MessengerLookups().size(), 2U);
}

TEST_F(ReloadCommand, TextAfterTheCommandChangesNothing)
{
  Console("carol", "ashgrove.reload now please {} %s");
  EXPECT_EQ(events_, (std::vector<std::string>{"message carol Reloaded config"}));
}

TEST_F(ReloadCommand, RconSuccessRepliesToTheRequestIdWithTypeZero)
{
  Rcon(77, "Ashgrove.Reload");
  Rcon(-5, "Ashgrove.Reload extra words");
  ASSERT_EQ(replies_.size(), 2U);
  EXPECT_EQ(replies_[0].Id, 77);
  EXPECT_EQ(replies_[1].Id, -5);
  for (const auto& reply : replies_)
  {
    EXPECT_EQ(reply.Type, 0);
    EXPECT_EQ(reply.Body, "Reloaded config");
  }
  EXPECT_TRUE(devhost::CapturedLog().empty());
}

struct FailureCase
{
  const char* Name;
  std::string File; // empty: no file
  std::string Error;
};

void PrintTo(const FailureCase& c, std::ostream* out)
{
  *out << c.Name;
}

class ReloadFailure : public ReloadCommand, public ::testing::WithParamInterface<FailureCase>
{
protected:
  void WriteFailingFile()
  {
    if (GetParam().File.empty())
    {
      server_.RemoveConfig();
    }
    else
    {
      server_.WriteConfig(GetParam().File);
    }
  }
};

TEST_P(ReloadFailure, RconLogsTheErrorThenRepliesWithIt)
{
  WriteFailingFile();
  Rcon(9, "Ashgrove.Reload");
  EXPECT_EQ(events_,
            (std::vector<std::string>{"log " + GetParam().Error, "reply " + GetParam().Error}));
  ASSERT_EQ(replies_.size(), 1U);
  EXPECT_EQ(replies_[0].Id, 9);
  EXPECT_EQ(replies_[0].Type, 0);
}

TEST_P(ReloadFailure, ConsoleTellsThePlayerOnlyThatItFailed)
{
  WriteFailingFile();
  Console("dave", "Ashgrove.Reload");
  EXPECT_EQ(events_, (std::vector<std::string>{"message dave Failed to reload config",
                                               "log " + GetParam().Error}));
}

TEST_P(ReloadFailure, LeavesThePreviousSettingsInForce)
{
  EXPECT_EQ(WildCorpseLifespan(), 60.0F);
  WriteFailingFile();
  Rcon(1, "Ashgrove.Reload");
  Console("erin", "Ashgrove.Reload");
  EXPECT_EQ(WildCorpseLifespan(), 60.0F);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReloadFailure,
    ::testing::Values(
        FailureCase{"Missing", "", MissingFile},
        FailureCase{"Malformed", "{\"wildCorpseDecayTime\": 90,}",
                    "[json.exception.parse_error.101] parse error at line 1, column 28: syntax "
                    "error while parsing object key - unexpected '}'; expected string literal"},
        FailureCase{"LateTypeError",
                    R"({"wildCorpseDecayTime": 90, "playersBodiesDecayTime": "long"})",
                    "[json.exception.type_error.302] type must be number, but is string"},
        FailureCase{"OutOfRange", R"({"wildCorpseDecayTime": 90, "tamedCorpseDecayTime": -3e9})",
                    "tamedCorpseDecayTime: -3e9 is out of range (-2147483648 to 2147483647)"},
        FailureCase{"BracesAndPercentVerbatim", BracesAndPercent, BracesAndPercentError},
        FailureCase{"NonAsciiText", "{\"a\": \"caf\xC3\xA9 \xE2\x82\xAC",
                    "[json.exception.parse_error.101] parse error at line 1, column 17: syntax "
                    "error while parsing value - invalid string: missing closing quote; last "
                    "read: '\"caf\xC3\xA9 \xE2\x82\xAC'"}),
    [](const auto& test) { return std::string(test.param.Name); });

TEST_F(ReloadCommand, TheNextDeathUsesReloadedSettings)
{
  EXPECT_EQ(WildCorpseLifespan(), 60.0F);
  server_.WriteConfig(ConfigText({.wildDinosAffected = true,
                                  .tamedCorpseDecayTime = 1800,
                                  .wildCorpseDecayTime = 120,
                                  .playersBodiesDecayTime = 1800}));
  Console("frank", "Ashgrove.Reload");
  EXPECT_EQ(WildCorpseLifespan(), 120.0F);
  server_.WriteConfig(ConfigText({.wildDinosAffected = true,
                                  .tamedCorpseDecayTime = 1800,
                                  .wildCorpseDecayTime = 240,
                                  .playersBodiesDecayTime = 1800}));
  Rcon(2, "Ashgrove.Reload");
  EXPECT_EQ(WildCorpseLifespan(), 240.0F);
}
} // namespace
