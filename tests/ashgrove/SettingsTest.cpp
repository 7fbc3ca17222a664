#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "devhost/Host.h"
#include "settings/CorpseSettings.h"
#include "support/SettingsCases.h"
#include "support/SettingsFixture.h"

namespace
{
using testsupport::LoadCase;
using testsupport::Previous;
using testsupport::SettingsCases;

class SettingsFile : public testsupport::SettingsLoadTest,
                     public ::testing::WithParamInterface<LoadCase>
{
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

INSTANTIATE_TEST_SUITE_P(Files, SettingsFile, ::testing::ValuesIn(SettingsCases()),
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
  EXPECT_EQ(CorpseSettings,
            testsupport::DefaultsBut([](CorpseSettingsValues& v) { v.tamedCorpseDecayTime = 42; }));
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
