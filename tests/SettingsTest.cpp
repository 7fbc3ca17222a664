#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "devhost/Host.h"
#include "settings/CorpseSettings.h"
#include "support/ServerDirectory.h"

namespace
{
// Values no file in these tests produces, so an untouched store shows.
constexpr CorpseSettingsValues Previous{true, false, true, 11, 22, 33};
constexpr CorpseSettingsValues Defaults{false, false, false, 1800, 300, 1800};

struct LoadCase
{
  const char* Name;
  std::string File;
  std::optional<CorpseSettingsValues> Loaded; // empty: the load fails
  std::string Error;                          // what() of the failure
};

class SettingsFile : public ::testing::TestWithParam<LoadCase>
{
protected:
  void SetUp() override
  {
    devhost::SetServerDirectory(server_.Path());
    CorpseSettings = Previous;
  }

  // The text of the exception a load throws, or nothing when it succeeds.
  static std::optional<std::string> LoadError()
  {
    try
    {
      LoadSettings();
    }
    catch (const std::exception& error)
    {
      return std::string(error.what());
    }
    return std::nullopt;
  }

  testsupport::ServerDirectory server_;
};

CorpseSettingsValues With(CorpseSettingsValues values, std::int32_t tamed, std::int32_t wild,
                          std::int32_t players)
{
  values.tamedCorpseDecayTime = tamed;
  values.wildCorpseDecayTime = wild;
  values.playersBodiesDecayTime = players;
  return values;
}

std::string RangeError(const std::string& key, const std::string& written)
{
  return key + ": " + written + " is out of range (-2147483648 to 2147483647)";
}

const LoadCase Cases[] = {
    {"EmptyObjectGivesDefaults", "{}", Defaults, ""},
    {"SampleFile",
     R"({"tamedDinosAffected": true, "wildDinosAffected": true, "playersBodiesAffected": true,
         "tamedCorpseDecayTime": 3600, "wildCorpseDecayTime": 60, "playersBodiesDecayTime": 7200})",
     CorpseSettingsValues{true, true, true, 3600, 60, 7200}, ""},
    {"OneKeyResetsTheOthersToDefaults", R"({"wildDinosAffected": true})",
     CorpseSettingsValues{false, true, false, 1800, 300, 1800}, ""},
    {"FractionsCutTowardZero",
     R"({"tamedCorpseDecayTime": 90.9, "wildCorpseDecayTime": -90.9, "playersBodiesDecayTime": 1e2})",
     With(Defaults, 90, -90, 100), ""},
    {"BooleansAsDurations",
     R"({"tamedCorpseDecayTime": true, "wildCorpseDecayTime": false, "playersBodiesDecayTime": -5})",
     With(Defaults, 1, 0, -5), ""},
    {"ZeroAndLimitsAreKept",
     R"({"tamedCorpseDecayTime": 2147483647, "wildCorpseDecayTime": -2147483648,
         "playersBodiesDecayTime": 0})",
     With(Defaults, 2147483647, -2147483647 - 1, 0), ""},
    {"FractionsJustInsideTheLimits",
     R"({"tamedCorpseDecayTime": 2147483647.9, "wildCorpseDecayTime": -2147483648.9})",
     With(Defaults, 2147483647, -2147483647 - 1, 1800), ""},
    {"TrailingTextIsIgnored", R"({"wildDinosAffected": true} this is not json {)",
     CorpseSettingsValues{false, true, false, 1800, 300, 1800}, ""},
    {"LastDuplicateWins", R"({"wildCorpseDecayTime": 10, "wildCorpseDecayTime": 20})",
     With(Defaults, 1800, 20, 1800), ""},
    {"KeysAreCaseSensitive", R"({"WildDinosAffected": true, "tamedcorpsedecaytime": 5})", Defaults,
     ""},
    {"NestedKeysAreNotSearched", R"({"more": {"tamedDinosAffected": true}})", Defaults, ""},
    {"ByteOrderMarkIsAccepted", "\xEF\xBB\xBF{\"playersBodiesAffected\": true}",
     CorpseSettingsValues{false, false, true, 1800, 300, 1800}, ""},
    {"NumberForSwitch", R"({"tamedDinosAffected": true, "wildDinosAffected": 1})", std::nullopt,
     "[json.exception.type_error.302] type must be boolean, but is number"},
    {"ObjectForSwitch", R"({"playersBodiesAffected": {}})", std::nullopt,
     "[json.exception.type_error.302] type must be boolean, but is object"},
    {"NullDuration", R"({"tamedDinosAffected": true, "tamedCorpseDecayTime": null})", std::nullopt,
     "[json.exception.type_error.302] type must be number, but is null"},
    {"StringDuration", R"({"wildCorpseDecayTime": "300"})", std::nullopt,
     "[json.exception.type_error.302] type must be number, but is string"},
    {"ArrayDuration", R"({"playersBodiesDecayTime": [1]})", std::nullopt,
     "[json.exception.type_error.302] type must be number, but is array"},
    {"ArrayDocument", "[1, 2]", std::nullopt,
     "[json.exception.type_error.306] cannot use value() with array"},
    {"NullDocument", "null", std::nullopt,
     "[json.exception.type_error.306] cannot use value() with null"},
    {"EmptyFile", "", std::nullopt,
     "[json.exception.parse_error.101] parse error at line 1, column 1: syntax error while parsing "
     "value - unexpected end of input; expected '[', '{', or a literal"},
    {"Comment", "// settings\n{}", std::nullopt,
     "[json.exception.parse_error.101] parse error at line 1, column 1: syntax error while parsing "
     "value - invalid literal; last read: '/'"},
    {"TrailingComma", "{\n  \"wildDinosAffected\": true,\n}", std::nullopt,
     "[json.exception.parse_error.101] parse error at line 3, column 1: syntax error while parsing "
     "object key - unexpected '}'; expected string literal"},
    {"NumberOverflow", R"({"tamedCorpseDecayTime": 1e999})", std::nullopt,
     "[json.exception.out_of_range.406] number overflow parsing '1e999'"},
    {"IntegerAboveRange", R"({"tamedCorpseDecayTime": 4294967596})", std::nullopt,
     RangeError("tamedCorpseDecayTime", "4294967596")},
    {"IntegerJustAboveRange", R"({"playersBodiesDecayTime": 2147483648})", std::nullopt,
     RangeError("playersBodiesDecayTime", "2147483648")},
    {"IntegerJustBelowRange", R"({"wildCorpseDecayTime": -2147483649})", std::nullopt,
     RangeError("wildCorpseDecayTime", "-2147483649")},
    {"ExponentAboveRangeAsWritten", R"({"wildCorpseDecayTime": 1e10})", std::nullopt,
     RangeError("wildCorpseDecayTime", "1e10")},
    {"FractionBelowRangeAsWritten", R"({"tamedCorpseDecayTime": -2147483649.5})", std::nullopt,
     RangeError("tamedCorpseDecayTime", "-2147483649.5")},
    {"HugeIntegerAsWritten", R"({"tamedCorpseDecayTime": 99999999999999999999})", std::nullopt,
     RangeError("tamedCorpseDecayTime", "99999999999999999999")},
    {"LastDuplicateDecidesTheRange",
     R"({"tamedCorpseDecayTime": 1e20, "tamedCorpseDecayTime": 3e10})", std::nullopt,
     RangeError("tamedCorpseDecayTime", "3e10")},
};

TEST_P(SettingsFile, LoadsAllOrNothing)
{
  const LoadCase& c = GetParam();
  server_.WriteConfig(c.File);
  const std::optional<std::string> error = LoadError();
  if (c.Loaded)
  {
    ASSERT_FALSE(error) << *error;
    EXPECT_EQ(CorpseSettings, *c.Loaded);
  }
  else
  {
    ASSERT_TRUE(error) << "the load succeeded";
    EXPECT_EQ(*error, c.Error);
    EXPECT_EQ(CorpseSettings, Previous) << "a failed load changed the settings";
  }
}

INSTANTIATE_TEST_SUITE_P(Files, SettingsFile, ::testing::ValuesIn(Cases),
                         [](const auto& test) { return std::string(test.param.Name); });

class SettingsFileErrors : public SettingsFile
{
};

TEST_F(SettingsFileErrors, MissingFileChangesNothingAndARestoredFileLoads)
{
  server_.RemoveConfig();
  EXPECT_EQ(LoadError(), "Can't open config.json");
  EXPECT_EQ(CorpseSettings, Previous);

  server_.WriteConfig(R"({"tamedCorpseDecayTime": 42})");
  EXPECT_EQ(LoadError(), std::nullopt);
  EXPECT_EQ(CorpseSettings, With(Defaults, 42, 300, 1800));
}

TEST_F(SettingsFileErrors, ExceptionTypesAreTheLibrarysOwn)
{
  server_.WriteConfig("[");
  EXPECT_THROW(LoadSettings(), nlohmann::json::parse_error);
  server_.WriteConfig("[]");
  EXPECT_THROW(LoadSettings(), nlohmann::json::type_error);
  server_.WriteConfig("1e999");
  EXPECT_THROW(LoadSettings(), nlohmann::json::out_of_range);
  server_.WriteConfig(R"({"wildCorpseDecayTime": 3000000000})");
  EXPECT_THROW(LoadSettings(), std::out_of_range);
  server_.RemoveConfig();
  EXPECT_THROW(LoadSettings(), std::runtime_error);
}

TEST_F(SettingsFileErrors, PathIsTheServerDirectoryJoinedAsIs)
{
  // A trailing separator on the server directory is kept, not collapsed.
  devhost::SetServerDirectory(server_.Path() + "/");
  server_.WriteConfig(R"({"wildCorpseDecayTime": 7})");
  EXPECT_EQ(LoadError(), std::nullopt);
  EXPECT_EQ(CorpseSettings.wildCorpseDecayTime, 7);
}
} // namespace
