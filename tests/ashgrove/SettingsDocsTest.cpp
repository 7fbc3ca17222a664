#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "settings/SettingsTable.h"

// The settings tables written for people, in README.md and docs/settings.md,
// hold the settings table's rows in its order, each with its key, kind and
// default; the columns after those are prose and stay the writer's.
namespace
{
const std::filesystem::path SourceTree = ASHGROVE_SOURCE_DIR;

// The table rows ("| `...") under a heading of a page, up to the next
// heading.
std::vector<std::string> RowsUnder(const std::filesystem::path& page, std::string_view heading)
{
  std::ifstream file(page);
  std::vector<std::string> rows;
  bool under = false;
  for (std::string line; std::getline(file, line);)
  {
    if (line.starts_with('#'))
    {
      under = line == heading;
    }
    else if (under && line.starts_with("| `"))
    {
      rows.push_back(line);
    }
  }
  return rows;
}

// A row's first cells, with the bars around them.
std::string FirstCells(const std::string& row, int cells)
{
  std::size_t bar = 0;
  for (int i = 0; i < cells && bar != std::string::npos; ++i)
  {
    bar = row.find('|', bar + 1);
  }
  return row.substr(0, bar == std::string::npos ? bar : bar + 1);
}

std::string DefaultOf(const Setting& setting)
{
  if (setting.Kind == SettingKind::Switch)
  {
    return setting.Default != 0 ? "`true`" : "`false`";
  }
  return "`" + std::to_string(setting.Default) + "`";
}

std::vector<std::string> Documented(const std::filesystem::path& page, std::string_view heading,
                                    int cells)
{
  std::vector<std::string> documented;
  for (const std::string& row : RowsUnder(SourceTree / page, heading))
  {
    documented.push_back(FirstCells(row, cells));
  }
  return documented;
}

TEST(SettingsDocs, TheSettingsPageHasEveryRowWithItsKindAndDefault)
{
  std::vector<std::string> rows;
  for (const Setting& setting : SettingsTable)
  {
    const char* kind = setting.Kind == SettingKind::Switch ? "switch" : "seconds";
    rows.push_back("| `" + std::string(setting.Key) + "` | " + kind + " | " + DefaultOf(setting) +
                   " |");
  }
  EXPECT_EQ(Documented("docs/settings.md", "## The settings", 3), rows);
}

TEST(SettingsDocs, TheReadmeHasEveryRowWithItsDefault)
{
  std::vector<std::string> rows;
  for (const Setting& setting : SettingsTable)
  {
    rows.push_back("| `" + std::string(setting.Key) + "` | " + DefaultOf(setting) + " |");
  }
  EXPECT_EQ(Documented("README.md", "## The settings at a glance", 2), rows);
}
} // namespace
