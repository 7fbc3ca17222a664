#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "devhost/Host.h"
#include "devserver/Output.h"
#include "devserver/Session.h"
#include "support/Errors.h"
#include "support/PluginFixture.h"
#include "tools/devserver/SessionFixture.h"

namespace
{
using devserver::CommandError;
using devserver::Session;
using testsupport::DevServerSession;
using testsupport::ErrorText;

TEST_F(DevServerSession, PlaysADeathAndShowsTheBody)
{
  const auto printed =
      Run({"load", "class Rex dino corpse=400 tamed=900.5", "time 10.5", "spawn rex Rex team=50001",
           "  # a comment", "", "kill rex", "show rex", "kill rex"});
  const std::vector<std::string> expected = {
      "loaded",
      "class Rex kind=dino CorpseLifespan=400 TamedCorpseLifespan=900.5",
      "time now=10.5",
      "spawned rex class=Rex kind=dino team=50001",
      "died rex result=true",
      "deposit rex destroy_time=910.5",
      "character rex class=Rex kind=dino team=50001 dead=true CorpseLifespan=400 "
      "TamedCorpseLifespan=3600 CorpseLifespanNonRelevant=400 "
      "bIgnoreCorpseDecompositionMultipliers=1 flags=0x5A5A5A7A",
      // The body was dead already: no second death, so no second deposit.
      "died rex result=false",
  };
  EXPECT_EQ(printed, expected);
}

TEST_F(DevServerSession, MembersAKindLacksShowAsDashes)
{
  const auto printed = Run({"class Human player corpse=0.1", "spawn eve Human", "show eve"});
  EXPECT_EQ(printed.back(), "character eve class=Human kind=player team=0 dead=false "
                            "CorpseLifespan=0.1 TamedCorpseLifespan=- CorpseLifespanNonRelevant=- "
                            "bIgnoreCorpseDecompositionMultipliers=0 flags=0x5A5A5A5A");
}

TEST_F(DevServerSession, ConsoleAndRconAnswersAreQuotedAndEscaped)
{
  Run({"load"});
  const auto printed = Run({"config-write {\"a\": \"x\\\\", "console admin Ashgrove.Reload",
                            "rcon Ashgrove.Reload", "console - Nope", "rcon Nope"});
  ASSERT_EQ(printed.size(), 7U);
  EXPECT_EQ(printed[0], "config-written bytes=10");
  EXPECT_EQ(printed[1], "message admin r=1 g=0 b=0 a=1 text=\"Failed to reload config\"");
  EXPECT_EQ(printed[2].rfind("log ", 0), 0U);
  EXPECT_EQ(printed[4], "rcon-reply id=1 type=0 body=\"[json.exception.parse_error.101] parse "
                        "error at line 1, column 11: syntax error while parsing value - invalid "
                        "string: missing closing quote; last read: '\\\"x\\\\\\\\'\"");
  EXPECT_EQ(printed[5], "console-unknown text=\"Nope\"");
  EXPECT_EQ(printed[6], "rcon-unknown id=2 text=\"Nope\"");
}

TEST_F(DevServerSession, ALoadThatFailsReportsTheReason)
{
  const auto printed = Run({"config-remove", "load"});
  const std::string config = server_.ConfigPath().string();
  EXPECT_EQ(printed, (std::vector<std::string>{"config-removed",
                                               "load-failed error=\"Can't open config.json\" "
                                               "config=\"" +
                                                   config + "\""}));
  EXPECT_FALSE(session_->PluginLoaded());
}

TEST_F(DevServerSession, LinesItCannotRunAreErrors)
{
  Run({"class Rex dino corpse=1", "spawn rex Rex"});
  for (const char* line :
       {"dance", "kill nobody", "spawn rex Rex", "spawn x NoClass", "class Rex dino corpse=1",
        "class Bad player corpse=1 tamed=2", "class Bad robot corpse=1", "spawn y Rex team=many",
        "time soon", "drop rex when=5", "unload", "show"})
  {
    EXPECT_THROW(session_->Run(line), CommandError) << line;
  }
  Run({"load"});
  EXPECT_THROW(session_->Run("load"), CommandError);
}

struct RefusedLine
{
  const char* Line;
  const char* Error; // the whole message
};

void PrintTo(const RefusedLine& refused, std::ostream* out)
{
  *out << '"' << refused.Line << '"';
}

class DevServerRefusal : public DevServerSession, public ::testing::WithParamInterface<RefusedLine>
{
};

TEST_P(DevServerRefusal, NamesTheFaultInWords)
{
  Run({"class Rex dino corpse=1", "spawn rex Rex", "container box"});
  EXPECT_EQ(ErrorText<CommandError>([&] { session_->Run(GetParam().Line); }), GetParam().Error);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DevServerRefusal,
    ::testing::Values(
        RefusedLine{"time nan", "time must be a finite number, not 'nan'"},
        RefusedLine{"time -inf", "time must be a finite number, not '-inf'"},
        RefusedLine{"advance infinity", "advance must be a finite number, not 'infinity'"},
        RefusedLine{"drop box destroy=nan", "destroy must be a finite number, not 'nan'"},
        RefusedLine{"class Ghost dino corpse=nan", "corpse must be a finite number, not 'nan'"},
        RefusedLine{"class Ghost dino corpse=1 tamed=1e39",
                    "tamed 1e39 is out of range (-3.4028235e+38 to 3.4028235e+38)"},
        RefusedLine{"spawn big Rex team=2147483648",
                    "team 2147483648 is out of range (-2147483648 to 2147483647)"},
        RefusedLine{"time 1e999", "time 1e999 is out of range (-1.7976931348623157e+308 to "
                                  "1.7976931348623157e+308)"},
        RefusedLine{"spawn x Rex team=", "team must be a number, not ''"},
        RefusedLine{"time 1 2", "unexpected '2'; usage: time T"},
        RefusedLine{"kill rex junk", "unexpected 'junk'; usage: kill NAME"},
        RefusedLine{"load now", "unexpected 'now'; usage: load"},
        RefusedLine{"config-remove all", "unexpected 'all'; usage: config-remove"},
        RefusedLine{"spawn twin Rex team=1 team=2", "option 'team' given twice"},
        RefusedLine{"class Twin dino corpse=1 corpse=2", "option 'corpse' given twice"},
        RefusedLine{"show", "usage: show NAME"},
        RefusedLine{"console admin", "usage: console PLAYER|- TEXT"},
        RefusedLine{"console admin\v", "usage: console PLAYER|- TEXT"},
        RefusedLine{"rcon", "usage: rcon TEXT"},
        RefusedLine{"spawn\vrex\fRex", "'rex' already exists"},
        RefusedLine{"config-file /", "cannot read '/': not a regular file"}),
    [](const auto& test) { return std::to_string(test.index); });

TEST_F(DevServerSession, AdvanceThatWouldOverflowTheClockIsRefused)
{
  Run({"time 1e308"});
  EXPECT_THROW(session_->Run("advance 1.7e308"), CommandError);
  EXPECT_EQ(Run({"advance -1e308"}), std::vector<std::string>{"time now=0"});
}

TEST_F(DevServerSession, EveryKindOfBlankSeparatesWords)
{
  Run({"load"});
  const auto printed = Run({"console\vadmin\fAshgrove.Reload", "time\t5\f\r", "\v\f"});
  EXPECT_EQ(printed, (std::vector<std::string>{
                         "message admin r=0 g=1 b=0 a=1 text=\"Reloaded config\"", "time now=5"}));
}

TEST_F(DevServerSession, PluginPathIsAPathNotALibraryName)
{
  session_ = std::make_unique<Session>(
      devserver::SessionConfig{server_.Path(), "NoSuchPlugin.so", false}, out_);
  const auto error = ErrorText<CommandError>([&] { session_->Run("load"); });
  ASSERT_TRUE(error) << "a missing plugin loaded";
  const std::string expected = (std::filesystem::current_path() / "NoSuchPlugin.so").string();
  EXPECT_NE(error->find(expected), std::string::npos) << *error;
}

TEST(DevServerOutput, QuotesAndNumbers)
{
  EXPECT_EQ(devserver::Quoted("a \"b\" \\ c\nd"), R"("a \"b\" \\ c\nd")");
  EXPECT_EQ(devserver::Number(1800.9F), "1800.9");
  EXPECT_EQ(devserver::Number(2800.25), "2800.25");
  EXPECT_EQ(devserver::Number(16777216.0F), "16777216");
}

} // namespace
