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

namespace
{
using devserver::CommandError;
using devserver::Session;
using testsupport::ErrorText;

class DevServerSession : public ::testing::Test
{
protected:
  void SetUp() override
  {
    server_.WriteConfig(testsupport::ConfigText(true, true, true, 3600, 60, 7200));
    session_ = std::make_unique<Session>(
        devserver::SessionConfig{server_.Path(), testsupport::PluginPath(), false}, out_);
  }

  void TearDown() override
  {
    session_.reset();
    devhost::ResetHost();
  }

  // Runs the lines and returns what they printed, one entry a line.
  std::vector<std::string> Run(const std::vector<std::string>& lines)
  {
    out_.str("");
    for (const auto& line : lines)
    {
      session_->Run(line);
    }
    std::vector<std::string> printed;
    std::istringstream text(out_.str());
    for (std::string line; std::getline(text, line);)
    {
      printed.push_back(line);
    }
    return printed;
  }

  testsupport::ServerDirectory server_;
  std::ostringstream out_;
  std::unique_ptr<Session> session_;
};

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

struct ScriptCase
{
  const char* Name;
  std::string Script;
  bool EchoComments;
  int Status;
  std::vector<std::string> Printed;
  std::string Errors;
};

void PrintTo(const ScriptCase& script, std::ostream* out)
{
  *out << script.Name;
}

class DevServerScript : public DevServerSession, public ::testing::WithParamInterface<ScriptCase>
{
};

TEST_P(DevServerScript, RunsToItsEndOrStopsAtTheFirstBadLine)
{
  const ScriptCase& c = GetParam();
  out_.str("");
  std::istringstream script(c.Script);
  std::ostringstream errors;
  EXPECT_EQ(session_->RunScript(script, errors, c.EchoComments), c.Status);
  std::vector<std::string> printed;
  std::istringstream text(out_.str());
  for (std::string line; std::getline(text, line);)
  {
    printed.push_back(line);
  }
  EXPECT_EQ(printed, c.Printed);
  EXPECT_EQ(errors.str(), c.Errors);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, DevServerScript,
    ::testing::Values(ScriptCase{"CommentsAreSilentByDefault",
                                 "# Time first.\ntime 5\n\n  # then more\nadvance 1\n",
                                 false,
                                 0,
                                 {"time now=5", "time now=6"},
                                 ""},
                      ScriptCase{"CommentsStandAboveTheirResults",
                                 "# Time first.\r\ntime 5\n\n  # then more\nadvance 1\n",
                                 true,
                                 0,
                                 {"# Time first.", "time now=5", "", "  # then more", "time now=6"},
                                 ""},
                      ScriptCase{"StopsAtTheFirstLineThatCannotRun",
                                 "time 5\n# fine so far\ntime 1 2\ntime 7\n",
                                 true,
                                 2,
                                 {"time now=5", "# fine so far"},
                                 "error line 3: unexpected '2'; usage: time T\n"},
                      ScriptCase{"AVerticalTabIsNoCrash",
                                 "console admin\v\nload\n",
                                 false,
                                 2,
                                 {},
                                 "error line 1: usage: console PLAYER|- TEXT\n"}),
    [](const auto& test) { return std::string(test.param.Name); });

TEST_F(DevServerSession, AScriptStopsBetweenLinesWhenAskedTo)
{
  out_.str("");
  std::istringstream script("time 1\ntime 2\ntime 3\n");
  std::ostringstream errors;
  int lines_asked = 0;
  EXPECT_EQ(session_->RunScript(script, errors, false, [&] { return ++lines_asked > 2; }), 2);
  EXPECT_EQ(out_.str(), "time now=1\ntime now=2\n");
  EXPECT_EQ(errors.str(), "stopped before line 3\n");
}

TEST(DevServerOutput, QuotesAndNumbers)
{
  EXPECT_EQ(devserver::Quoted("a \"b\" \\ c\nd"), R"("a \"b\" \\ c\nd")");
  EXPECT_EQ(devserver::Number(1800.9F), "1800.9");
  EXPECT_EQ(devserver::Number(2800.25), "2800.25");
  EXPECT_EQ(devserver::Number(16777216.0F), "16777216");
}

} // namespace
