#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "devhost/Commands.h"
#include "devhost/Players.h"
#include "devhost/PluginLibrary.h"
#include "support/PluginFixture.h"

namespace
{
namespace fs = std::filesystem;

std::string Utf8(const fs::path& path)
{
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

// The plugin names itself to the messenger by its own file's path, whatever
// characters the folders on that path have.
class ModulePath : public testsupport::PluginTest
{
protected:
  void TearDown() override
  {
    PluginTest::TearDown();
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  fs::path folder_ =
      testsupport::ProgramDirectory() / fs::path(u8"plugins-\u00c6r\u00f8-\u4e16\u754c");
};

TEST_F(ModulePath, IsThePluginsOwnFileEvenUnderANonAsciiFolder)
{
  fs::create_directories(folder_);
  const fs::path copy = folder_ / fs::path(testsupport::PluginPath()).filename();
  fs::copy_file(testsupport::PluginPath(), copy, fs::copy_options::overwrite_existing);

  plugin_ = std::make_unique<devhost::PluginLibrary>(Utf8(copy));
  ASSERT_FALSE(plugin_->Init());
  ASSERT_TRUE(devhost::RunConsoleCommand(devhost::Player("admin"), "Ashgrove.Reload"));

  const auto lookups = devhost::MessengerLookups();
  ASSERT_EQ(lookups.size(), 1U);
  const fs::path reported(std::u8string(lookups[0].begin(), lookups[0].end()));
  EXPECT_TRUE(reported.is_absolute()) << lookups[0];
  EXPECT_TRUE(fs::equivalent(reported, copy)) << lookups[0];
  EXPECT_NE(lookups[0].find("plugins-\xC3\x86r\xC3\xB8-\xE4\xB8\x96\xE7\x95\x8C"),
            std::string::npos)
      << lookups[0];
  const auto messages = devhost::DeliveredMessages();
  ASSERT_EQ(messages.size(), 1U);
  EXPECT_EQ(messages[0].Text, "Reloaded config");
}
} // namespace
