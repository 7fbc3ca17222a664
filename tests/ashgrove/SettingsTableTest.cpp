#include <gtest/gtest.h>

#include <set>
#include <string>

#include "settings/SettingsReader.h"
#include "settings/SettingsTable.h"
#include "support/PluginFiles.h"
#include "support/SettingsCases.h"

namespace
{
TEST(SettingsTable, EachKeyOnceAndEachDurationGovernedByASwitchOfTheTable)
{
  std::set<std::string> keys;
  for (const Setting& setting : SettingsTable)
  {
    EXPECT_TRUE(keys.insert(setting.Key).second) << setting.Key << " is given twice";
    EXPECT_EQ(FindSetting(setting.Key), &setting);
    if (setting.Kind == SettingKind::Duration)
    {
      const Setting& governing = SwitchOf(setting);
      EXPECT_EQ(governing.Kind, SettingKind::Switch) << setting.Key;
      EXPECT_EQ(governing.SwitchMember, setting.GovernedBy) << setting.Key;
    }
  }
  EXPECT_EQ(FindSetting("TamedDinosAffected"), nullptr);
}

// The defaults the table gives are what an empty object loads to; the
// expected values are written apart, in the settings tests' cases.
TEST(SettingsTable, DefaultsAreWhatAnEmptyFileLoads)
{
  EXPECT_EQ(DefaultSettings, testsupport::Defaults);
  EXPECT_EQ(ReadSettingsText("{}"), DefaultSettings);
}

// Each row reads its own member: a file written from the table reads back
// as the values it was written from, whatever they are.
TEST(SettingsTable, EveryRowFillsItsOwnMember)
{
  for (const CorpseSettingsValues& values : {CorpseSettingsValues{.tamedDinosAffected = true,
                                            .wildDinosAffected = false,
                                            .playersBodiesAffected = false,
                                            .tamedCorpseDecayTime = 1,
                                            .wildCorpseDecayTime = 2,
                                            .playersBodiesDecayTime = 3},
                                             CorpseSettingsValues{.tamedDinosAffected = false,
                                             .wildDinosAffected = true,
                                             .playersBodiesAffected = false,
                                             .tamedCorpseDecayTime = -1,
                                             .wildCorpseDecayTime = 0,
                                             .playersBodiesDecayTime = 2147483647},
                                             CorpseSettingsValues{.tamedDinosAffected = false,
                                             .wildDinosAffected = false,
                                             .playersBodiesAffected = true,
                                             .tamedCorpseDecayTime = -2147483647 - 1,
                                             .wildCorpseDecayTime = 7,
                                             .playersBodiesDecayTime = 8}})
  {
    EXPECT_EQ(ReadSettingsText(testsupport::ConfigText(values)), values);
  }
}
} // namespace
