#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "devserver/Script.h"
#include "tools/devserver/SessionFixture.h"

namespace
{
using devserver::MatchesExpected;
using testsupport::DevServerSession;

std::vector<std::string> Lines(const std::string& text)
{
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);)
  {
    lines.push_back(line);
  }
  return lines;
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
protected:
  int RunScript(const std::string& text, devserver::ScriptOptions options = {})
  {
    out_.str("");
    errors_.str("");
    std::istringstream script(text);
    options.Name = "s.session";
    return devserver::RunScript(*session_, script, out_, errors_, options);
  }

  std::ostringstream errors_;
};

TEST_P(DevServerScript, RunsToItsEndChecksWhatItExpectsOrStopsAtTheFirstBadLine)
{
  const ScriptCase& c = GetParam();
  devserver::ScriptOptions options;
  options.EchoComments = c.EchoComments;
  EXPECT_EQ(RunScript(c.Script, options), c.Status);
  EXPECT_EQ(Lines(out_.str()), c.Printed);
  EXPECT_EQ(errors_.str(), c.Errors);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, DevServerScript,
    ::testing::Values(
        ScriptCase{"CommentsAreSilentByDefault",
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
                   "error line 1: usage: console PLAYER|- TEXT\n"},
        ScriptCase{"ExpectationsThatHoldAreNotPrinted",
                   "# Time.\ntime 5\n=> time now=5\nadvance 1\n  => time now={{a number}}\n",
                   true,
                   0,
                   {"# Time.", "time now=5", "time now=6"},
                   "s.session: 2 commands checked, all as expected\n"},
        ScriptCase{"EveryDifferenceIsPlacedAndTheScriptGoesOn",
                   "time 5\n=> time now=6\nload\nadvance 1\n=> time now=6\n=> time now=7\n"
                   "class Rex dino corpse=1\ntime 2\n",
                   false,
                   1,
                   {"time now=5", "loaded", "time now=6",
                    "class Rex kind=dino CorpseLifespan=1 "
                    "TamedCorpseLifespan=0",
                    "time now=2"},
                   "s.session:2: a different result\n  expected: time now=6\n  actual:   time "
                   "now=5\ns.session:6: a missing result\n  expected: time now=7\n"
                   "s.session: 2 commands checked, 2 differ\n"},
        ScriptCase{"AnExtraResultIsADifference",
                   "class Rex dino corpse=1\nspawn rex Rex\nkill rex\n=> died rex result=true\n",
                   false,
                   1,
                   {"class Rex kind=dino CorpseLifespan=1 TamedCorpseLifespan=0",
                    "spawned rex class=Rex kind=dino team=0", "died rex result=true",
                    "deposit rex destroy_time=1"},
                   "s.session:3: an extra result\n  actual:   deposit rex destroy_time=1\n"
                   "s.session: 1 command checked, 1 differ\n"},
        ScriptCase{"AByteOrderMarkIsNoPartOfTheFirstCommand",
                   "\xEF\xBB\xBFtime 5\n=> time now=5\n",
                   false,
                   0,
                   {"time now=5"},
                   "s.session: 1 command checked, all as expected\n"},
        ScriptCase{"AnExpectationNeedsItsCommand",
                   "# nothing yet\n=> loaded\n",
                   false,
                   2,
                   {},
                   "error line 2: an expected result (=> ...) belongs right after its command\n"}),
    [](const auto& test) { return std::string(test.param.Name); });

TEST_F(DevServerScript, AScriptStopsBetweenLinesWhenAskedTo)
{
  int lines_asked = 0;
  devserver::ScriptOptions options;
  options.StopRequested = [&] { return ++lines_asked > 2; };
  EXPECT_EQ(RunScript("time 1\ntime 2\ntime 3\n", options), 2);
  EXPECT_EQ(out_.str(), "time now=1\ntime now=2\n");
  EXPECT_EQ(errors_.str(), "stopped before line 3\n");
}

// Recording writes what each command printed, keeps everything else byte
// for byte, keeps expected lines that still match, and gives the volatile
// parts placeholders; the recorded script then checks.
TEST_F(DevServerScript, ARecordingChecksAfterwards)
{
  const std::string script = "# Time.\r\ntime 5\r\n=> time now={{t}}\r\nload\n=> stale\n=> lines\n"
                             "\nconfig-remove\nrcon Ashgrove.Reload\n  advance 1";
  const std::filesystem::path file = std::filesystem::path(server_.Path()) / "r.session";
  devserver::ScriptOptions options;
  options.RecordTo = file;
  ASSERT_EQ(RunScript(script, options), 0) << errors_.str();
  std::ifstream recorded_file(file, std::ios::binary);
  const std::string recorded{std::istreambuf_iterator<char>(recorded_file),
                             std::istreambuf_iterator<char>()};
  EXPECT_EQ(recorded,
            "# Time.\r\ntime 5\r\n=> time now={{t}}\r\nload\n=> loaded\n\nconfig-remove\n"
            "=> config-removed\nrcon Ashgrove.Reload\n=> log {{time}} [Ashgrove][error] Can't "
            "open config.json\n=> rcon-reply id=1 type=0 body=\"Can't open config.json\"\n"
            "  advance 1\n=> time now=6");

  TearDown();
  SetUp();
  EXPECT_EQ(RunScript(recorded), 0) << errors_.str();
  EXPECT_EQ(errors_.str(), "s.session: 5 commands checked, all as expected\n");
}

// A last line without a line feed that still matches is kept, and what
// follows it starts on a line of its own.
TEST_F(DevServerScript, ARecordingNeverJoinsTwoLines)
{
  const std::filesystem::path file = std::filesystem::path(server_.Path()) / "j.session";
  devserver::ScriptOptions options;
  options.RecordTo = file;
  ASSERT_EQ(RunScript("class Rex dino corpse=1\nspawn rex Rex\nkill rex\n=> died rex result=true",
                      options),
            0);
  std::ifstream recorded(file, std::ios::binary);
  EXPECT_EQ(
      std::string(std::istreambuf_iterator<char>(recorded), {}),
      "class Rex dino corpse=1\n=> class Rex kind=dino CorpseLifespan=1 TamedCorpseLifespan=0\n"
      "spawn rex Rex\n=> spawned rex class=Rex kind=dino team=0\nkill rex\n"
      "=> died rex result=true\n=> deposit rex destroy_time=1\n");
}

TEST(ExpectedResults, PlaceholdersStandForAnyTextAndNothingElseIsAPattern)
{
  struct Case
  {
    const char* Expected;
    const char* Actual;
    bool Matches;
  };
  const Case cases[] = {
      {"time now=5", "time now=5", true},
      {"time now=5", "time now=50", false},
      {"time now=.*", "time now=5", false},
      {"time now={{t}}", "time now=5", true},
      {"time now={{t}}", "time now=", true},
      {"{{}}", "anything at all", true},
      {"log {{time}} [Ashgrove][error] {{why}}", "log 12/08/26 14:07 [Ashgrove][error] x", true},
      {"log {{time}} [Ashgrove][error] {{why}}", "log 12/08/26 14:07 [Ashgrove][warn] x", false},
      {"a{{x}}a", "a", false},
      {"a{{x}}b{{y}}b", "abb", true},
      {"a{{x}}b{{y}}c", "acb", false},
      {"{{unclosed", "{{unclosed", true},
      {"{{unclosed", "x", false},
  };
  for (const Case& c : cases)
  {
    EXPECT_EQ(MatchesExpected(c.Expected, c.Actual), c.Matches) << c.Expected << " / " << c.Actual;
  }
}
} // namespace
