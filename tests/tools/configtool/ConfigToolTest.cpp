#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <nlohmann/json.hpp>

#include "configtool/ClusterFile.h"
#include "configtool/Report.h"
#include "configtool/Schema.h"
#include "configtool/SettingsCheck.h"
#include "settings/ConfigFile.h"
#include "settings/SettingsReader.h"
#include "support/Errors.h"
#include "support/OtherUser.h"
#include "support/PluginFixture.h"
#include "support/SettingsCases.h"
#include "support/World.h"

namespace
{
using configtool::CheckSettingsText;
using configtool::Location;

// kind, line, column
using Spot = std::tuple<std::string, int, int>;

std::vector<Spot> Spots(const configtool::CheckResult& result)
{
  std::vector<Spot> spots;
  for (const auto& warning : result.Warnings)
  {
    spots.emplace_back(warning.Kind, warning.At ? warning.At->Line : 0,
                       warning.At ? warning.At->Column : 0);
  }
  return spots;
}

struct WarningCase
{
  const char* Name;
  std::string File;
  std::vector<Spot> Expected;
  const char* MessagePart = ""; // found in the first warning's message
};

void PrintTo(const WarningCase& c, std::ostream* out)
{
  *out << c.Name;
}

class ConfigToolWarnings : public ::testing::TestWithParam<WarningCase>
{
};

TEST_P(ConfigToolWarnings, PointAtWhatTheServerPassesOver)
{
  const WarningCase& c = GetParam();
  const auto result = CheckSettingsText(c.File);
  EXPECT_EQ(Spots(result), c.Expected);
  if (!c.Expected.empty())
  {
    ASSERT_FALSE(result.Warnings.empty());
    EXPECT_NE(result.Warnings[0].Message.find(c.MessagePart), std::string::npos)
        << result.Warnings[0].Message;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, ConfigToolWarnings,
    ::testing::Values(
        WarningCase{
            "CleanFile", R"({"tamedDinosAffected": true, "tamedCorpseDecayTime": 3600})", {}},
        WarningCase{"SchemaKeyIsExpected", R"({"$schema": "./config.schema.json"})", {}},
        WarningCase{"SampleFileSpellsOutDefaults",
                    R"({"tamedDinosAffected": false, "tamedCorpseDecayTime": 1800,
                        "wildCorpseDecayTime": 300, "playersBodiesDecayTime": 1800})",
                    {}},
        WarningCase{"EscapedNameIsTheKey", R"({"tamed\u0044inosAffected": true})", {}},
        WarningCase{"TrailingBlanksAreNothing", "{}\n\r\n\t ", {}},
        WarningCase{"KeyOneLetterShort",
                    "{\n  \"tamedDinoAffected\": true\n}",
                    {{"unknown-key", 2, 3}},
                    "did you mean \"tamedDinosAffected\""},
        WarningCase{"KeyInAnotherCase",
                    R"({"WildDinosAffected": true})",
                    {{"unknown-key", 1, 2}},
                    "did you mean \"wildDinosAffected\""},
        WarningCase{"KeyFarFromAnyOther",
                    R"({"notes": "mine"})",
                    {{"unknown-key", 1, 2}},
                    "unknown key \"notes\" is ignored"},
        WarningCase{"KeyGivenTwice",
                    "{\"wildCorpseDecayTime\": 10,\n \"wildCorpseDecayTime\": 20, "
                    "\"wildDinosAffected\": true}",
                    {{"duplicate-key", 2, 2}},
                    "also at line 1, column 2"},
        WarningCase{
            "SettingsKeysInNestedObjects",
            R"({"more": {"tamedDinosAffected": true}, "list": [{"x": {"wildCorpseDecayTime": 5}}]})",
            {{"unknown-key", 1, 2},
             {"nested-key", 1, 11},
             {"unknown-key", 1, 40},
             {"nested-key", 1, 56}},
            "unknown key \"more\""},
        WarningCase{"FractionIsCut",
                    R"({"wildDinosAffected": true, "wildCorpseDecayTime": 90.9})",
                    {{"fraction", 1, 52}},
                    "leaving 90 seconds"},
        WarningCase{
            "WholeNumbersWrittenOtherwiseAreNoFraction",
            R"({"wildDinosAffected": true, "wildCorpseDecayTime": 9e1, "tamedDinosAffected": true, "tamedCorpseDecayTime": 90.0})",
            {}},
        WarningCase{"BooleanDuration",
                    R"({"playersBodiesAffected": true, "playersBodiesDecayTime": true})",
                    {{"boolean-duration", 1, 59}},
                    "counts as 1 second"},
        WarningCase{"FalseDurationIsAlsoZero",
                    R"({"playersBodiesAffected": true, "playersBodiesDecayTime": false})",
                    {{"boolean-duration", 1, 59}, {"non-positive", 1, 59}},
                    "counts as 0 seconds"},
        WarningCase{"DurationWithItsSwitchOff",
                    "{\n\"tamedCorpseDecayTime\": 3600}",
                    {{"switch-off", 2, 1}},
                    "\"tamedDinosAffected\" is false"},
        WarningCase{"NegativeDuration",
                    R"({"tamedDinosAffected": true, "tamedCorpseDecayTime": -5})",
                    {{"non-positive", 1, 54}},
                    "-5 seconds"},
        WarningCase{"SmallNegativeFractionIsCutToZero",
                    R"({"tamedDinosAffected": true, "tamedCorpseDecayTime": -0.5})",
                    {{"fraction", 1, 54}, {"non-positive", 1, 54}},
                    "leaving 0 seconds"},
        WarningCase{
            "OnlyTheValueThatCountsIsJudged",
            R"({"wildDinosAffected": true, "wildCorpseDecayTime": -1, "wildCorpseDecayTime": 60})",
            {{"duplicate-key", 1, 56}},
            "the last one counts"},
        WarningCase{"TextAfterTheValue",
                    "{\"wildDinosAffected\": true}\n  // done",
                    {{"trailing-text", 2, 3}},
                    "not read"},
        WarningCase{"ByteOrderMarkCountsInTheFirstLine",
                    "\xEF\xBB\xBF{\"bogus\": 1}",
                    {{"unknown-key", 1, 5}},
                    "\"bogus\""},
        WarningCase{"RefusedFilesStillGetTheirWarnings",
                    R"({"notes": 1, "wildDinosAffected": 1})",
                    {{"unknown-key", 1, 2}},
                    "\"notes\""}),
    [](const auto& test) { return std::string(test.param.Name); });

struct RefusalCase
{
  const char* Name;
  std::string File;
  const char* Kind;
  std::optional<std::string> Key;
  std::optional<Location> At;
};

void PrintTo(const RefusalCase& c, std::ostream* out)
{
  *out << c.Name;
}

std::string Padded(std::size_t size)
{
  std::string text = "{}";
  text.insert(1, size - text.size(), ' ');
  return text;
}

const RefusalCase Refusals[] = {
    {"TrailingComma", "{\n  \"wildDinosAffected\": true,\n}", "parse", std::nullopt,
     Location{3, 1}},
    {"Comment", "// settings\n{}", "parse", std::nullopt, Location{1, 1}},
    {"NumberTooLargeForADouble", R"({"tamedCorpseDecayTime": 1e999})", "overflow", std::nullopt,
     std::nullopt},
    {"ArrayDocument", " [1, 2]", "document", std::nullopt, Location{1, 2}},
    {"NullDocument", "null", "document", std::nullopt, Location{1, 1}},
    {"SwitchIsANumber", "{\"tamedDinosAffected\": true,\n \"wildDinosAffected\": 1}", "type",
     "wildDinosAffected", Location{2, 23}},
    {"DurationIsNull", R"({"tamedCorpseDecayTime": null})", "type", "tamedCorpseDecayTime",
     Location{1, 26}},
    {"LastOfTwiceGivenKeyIsTheFault", R"({"wildDinosAffected": 1, "wildDinosAffected": "x"})",
     "type", "wildDinosAffected", Location{1, 47}},
    {"DurationOutOfRange", R"({"wildCorpseDecayTime": 1e10})", "range", "wildCorpseDecayTime",
     Location{1, 25}},
    {"FileTooLarge", Padded(ConfigFileLimit + 1), "size", std::nullopt, std::nullopt},
};

class ConfigToolRefusals : public testsupport::PluginTest,
                           public ::testing::WithParamInterface<RefusalCase>
{
};

TEST_P(ConfigToolRefusals, SayExactlyWhatAReloadAnswers)
{
  const RefusalCase& c = GetParam();
  LoadPlugin();
  server_.WriteConfig(c.File);
  const std::string answer = testsupport::ReloadOverRcon();
  // The checker reads the file as an operator would give it to it.
  const configtool::FileCheck check = configtool::CheckSettingsFile(server_.ConfigPath());
  ASSERT_FALSE(check.Unreadable);
  ASSERT_TRUE(check.Result.Error);
  EXPECT_FALSE(check.Result.Settings);
  const configtool::Refusal& error = *check.Result.Error;
  EXPECT_EQ(error.Text, answer);
  EXPECT_EQ(configtool::KindWord(error.Kind), std::string(c.Kind));
  EXPECT_EQ(error.Key, c.Key);
  EXPECT_EQ(error.At, c.At);
  EXPECT_EQ(configtool::CheckStatus(check.Result, false), configtool::ExitRefused);
}

INSTANTIATE_TEST_SUITE_P(Files, ConfigToolRefusals, ::testing::ValuesIn(Refusals),
                         [](const auto& test) { return std::string(test.param.Name); });

TEST(ConfigToolReader, AgreesWithTheSettingsTestsOnEveryFile)
{
  for (const testsupport::LoadCase& c : testsupport::SettingsCases())
  {
    const auto result = CheckSettingsText(c.File);
    if (c.Loaded)
    {
      ASSERT_FALSE(result.Error) << c.Name << ": " << result.Error->Text;
      EXPECT_EQ(result.Settings, c.Loaded) << c.Name;
    }
    else
    {
      ASSERT_TRUE(result.Error) << c.Name;
      EXPECT_EQ(result.Error->Text, c.Error) << c.Name;
    }
  }
}

TEST(ConfigToolFiles, PathsThatCannotBeReadSayWhy)
{
  testsupport::ServerDirectory server;
  EXPECT_EQ(configtool::CheckSettingsFile(server.ConfigPath()).Unreadable, "no such file");
  EXPECT_EQ(configtool::CheckSettingsFile(server.ConfigPath().parent_path()).Unreadable,
            "it is a folder");
}

// Behind a folder the user may not search, a file is neither missing nor
// readable: the checker judges it as the server would, by the open that
// fails, and the cluster file gives the system's reason.
TEST(ConfigToolFiles, AFolderTheUserMayNotSearchIsNoMissingFile)
{
  testsupport::ServerDirectory server;
  server.WriteConfig("{}");
  const std::filesystem::path locked = server.ConfigPath().parent_path();
  const std::filesystem::path cluster = locked / "cluster.json";
  std::ofstream(cluster) << R"({"servers": []})";
  for (auto folder = locked.parent_path();
       folder != std::filesystem::path(server.Path()).parent_path(); folder = folder.parent_path())
  {
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all |
                                             std::filesystem::perms::group_exec |
                                             std::filesystem::perms::others_exec);
  }
  std::filesystem::permissions(locked, std::filesystem::perms::owner_all);

  const std::optional<std::string> said = testsupport::AsNobody(
      [&]
      {
        const configtool::FileCheck check = configtool::CheckSettingsFile(server.ConfigPath());
        return check.Unreadable.value_or("") + "|" +
               (check.Result.Error ? check.Result.Error->Text + "|" +
                                         configtool::KindWord(check.Result.Error->Kind)
                                   : "loads") +
               "|" +
               testsupport::ErrorText([&] { configtool::ReadClusterFile(cluster); }).value_or("");
      });
  if (!said)
  {
    GTEST_SKIP() << "acting as another user needs root";
  }
  EXPECT_EQ(*said, "|Can't open config.json|open|cannot read the cluster file " + cluster.string() +
                       ": Permission denied");
}

TEST(ConfigToolStatus, StrictTurnsWarningsIntoARefusal)
{
  const auto clean = CheckSettingsText("{}");
  const auto typo = CheckSettingsText(R"({"wildDinosAfected": true})");
  EXPECT_EQ(configtool::CheckStatus(clean, true), configtool::ExitLoads);
  EXPECT_EQ(configtool::CheckStatus(typo, false), configtool::ExitLoads);
  EXPECT_EQ(configtool::CheckStatus(typo, true), configtool::ExitRefused);
}

TEST(ConfigToolReport, JsonReadsBackAsTheResult)
{
  const auto loaded = nlohmann::json::parse(
      configtool::JsonReport("a.json", CheckSettingsText(R"({"tamedDinosAffected": true, "x": 1})"),
                             true)
          .dump());
  EXPECT_EQ(loaded["file"], "a.json");
  EXPECT_EQ(loaded["outcome"], "loads");
  EXPECT_EQ(loaded["status"], 1); // strict, and "x" is unknown
  EXPECT_EQ(loaded["settings"]["tamedDinosAffected"], true);
  EXPECT_EQ(loaded["settings"]["tamedCorpseDecayTime"], 1800);
  EXPECT_EQ(loaded["effects"][1], "tamed creatures: 1800 s, decomposition multipliers ignored");
  ASSERT_EQ(loaded["warnings"].size(), 1U);
  EXPECT_EQ(loaded["warnings"][0]["kind"], "unknown-key");
  EXPECT_EQ(loaded["warnings"][0]["position"]["column"], 30);

  const auto refused = nlohmann::json::parse(
      configtool::JsonReport("b.json", CheckSettingsText("{\"wildCorpseDecayTime\": \"300\"}"),
                             false)
          .dump());
  EXPECT_EQ(refused["outcome"], "refused");
  EXPECT_EQ(refused["status"], 1);
  EXPECT_FALSE(refused.contains("settings"));
  EXPECT_EQ(refused["error"]["text"],
            "[json.exception.type_error.302] type must be number, but is string");
  EXPECT_EQ(refused["error"]["kind"], "type");
  EXPECT_EQ(refused["error"]["key"], "wildCorpseDecayTime");
  EXPECT_EQ(refused["error"]["position"]["line"], 1);
  EXPECT_EQ(refused["error"]["position"]["column"], 25);
}

TEST(ConfigToolReport, TextNamesEachPlaceAsFileLineColumn)
{
  const std::string text =
      configtool::TextReport("c.json", CheckSettingsText("{\n \"wildDinosAffected\": 2}"));
  EXPECT_NE(text.find("c.json:2:23: error: [json.exception.type_error.302] type must be "
                      "boolean, but is number\n"),
            std::string::npos)
      << text;
}

TEST(ConfigToolKeys, NearestKeyForWhatLooksLikeATypo)
{
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"tamedDinoAffected", "tamedDinosAffected"},
      {"PLAYERSBODIESAFFECTED", "playersBodiesAffected"},
      {"wildCorpseDecay", std::nullopt}, // four letters short
      {"wildCorpseDecayTme", "wildCorpseDecayTime"},
      {"playerBodiesDecayTime", "playersBodiesDecayTime"},
      {"playerBodyDecayTime", std::nullopt}, // four edits
      {"enabled", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [name, expected] : cases)
  {
    EXPECT_EQ(configtool::NearestKey(name), expected) << name;
  }
}

// The schema's range for durations is the reader's: what cuts into 32 bits
// is valid, and one past it is refused.
TEST(ConfigToolSchema, DurationRangeIsTheReaders)
{
  const auto schema = configtool::SettingsSchema();
  const auto& number = schema["$defs"]["duration"]["anyOf"][0];
  EXPECT_EQ(number["exclusiveMinimum"], -2147483649LL);
  EXPECT_EQ(number["exclusiveMaximum"], 2147483648LL);
  EXPECT_NO_THROW(ReadSettingsText(R"({"wildCorpseDecayTime": 2147483647.9})"));
  EXPECT_NO_THROW(ReadSettingsText(R"({"wildCorpseDecayTime": -2147483648.9})"));
  EXPECT_THROW(ReadSettingsText(R"({"wildCorpseDecayTime": 2147483648})"), std::out_of_range);
  EXPECT_THROW(ReadSettingsText(R"({"wildCorpseDecayTime": -2147483649})"), std::out_of_range);
}
} // namespace
