#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <string>
#include <thread>

#include "devhost/Host.h"
#include "settings/ConfigFile.h"
#include "settings/CorpseSettings.h"
#include "support/AllocationCounter.h"
#include "support/SettingsFixture.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace
{
namespace fs = std::filesystem;

using testsupport::Previous;

class ConfigFileKinds : public testsupport::SettingsLoadTest
{
protected:
  void SetUp() override
  {
    SettingsLoadTest::SetUp();
    server_.RemoveConfig();
  }

  // A load that must fail and leave the settings as they were.
  void ExpectRefused(const std::string& error)
  {
    EXPECT_EQ(LoadError(), error);
    EXPECT_EQ(CorpseSettings, Previous);
  }
};

// A JSON object of exactly `size` bytes: the settings, then blanks.
std::string PaddedConfig(std::size_t size)
{
  std::string text = R"({"wildCorpseDecayTime": 99})";
  text.insert(text.size() - 1, size - text.size(), ' ');
  return text;
}

std::string TooLarge(std::uintmax_t size)
{
  return "config.json is " + std::to_string(size) + " bytes, more than the limit of 1048576 bytes";
}

TEST_F(ConfigFileKinds, AFolderIsNoSettingsFile)
{
  fs::create_directory(server_.ConfigPath());
  ExpectRefused("Can't open config.json");
}

TEST_F(ConfigFileKinds, AFileAtTheLimitLoadsAndOneByteMoreDoesNot)
{
  server_.WriteConfig(PaddedConfig(ConfigFileLimit));
  EXPECT_EQ(LoadError(), std::nullopt);
  EXPECT_EQ(CorpseSettings.wildCorpseDecayTime, 99);

  CorpseSettings = Previous;
  server_.WriteConfig(PaddedConfig(ConfigFileLimit + 1));
  ExpectRefused(TooLarge(ConfigFileLimit + 1));
}

TEST_F(ConfigFileKinds, AHugeFileIsRefusedBySizeWithoutBeingRead)
{
  // Sparse where the file system allows: 100 MB that are never written.
  {
    std::ofstream file(server_.ConfigPath(), std::ios::binary);
  }
  fs::resize_file(server_.ConfigPath(), 100'000'000);
  const std::size_t before = testsupport::AllocationCount();
  ExpectRefused(TooLarge(100'000'000));
  // Reading 100 MB would have taken at least one block that large; the
  // refusal itself needs only its message.
  EXPECT_LT(testsupport::AllocationCount() - before, 20U);
}

TEST_F(ConfigFileKinds, NothingOfTheDocumentOutlivesTheLoad)
{
  server_.WriteConfig("{}");
  ASSERT_EQ(LoadError(), std::nullopt); // first use of the stream machinery
  const std::ptrdiff_t before = testsupport::LiveAllocationCount();
  server_.WriteConfig(R"({"tamedDinosAffected": true, "nested": {"a": [1, 2, {"b": "text"}]},
                          "more": ["x", "y", "z"], "wildCorpseDecayTime": 1.5})");
  ASSERT_EQ(LoadError(), std::nullopt);
  // At most as many: on Windows the C++ runtime's own DLL may hand out blocks
  // that code here then frees, which this count only sees leave.
  EXPECT_LE(testsupport::LiveAllocationCount(), before);
}

#if !defined(_WIN32)
TEST_F(ConfigFileKinds, APipeNeverBlocksTheLoad)
{
  ASSERT_EQ(::mkfifo(server_.ConfigPath().c_str(), 0600), 0);
  // Should the load wait for a writer after all, this one turns up later and
  // the load fails with a parse error instead, so the test cannot hang.
  std::promise<void> loaded;
  std::thread late_writer(
      [path = server_.ConfigPath(), done = loaded.get_future()]
      {
        if (done.wait_for(std::chrono::seconds(3)) == std::future_status::ready)
        {
          return;
        }
        const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
        {
          ::close(fd);
        }
      });
  ExpectRefused("Can't open config.json");
  loaded.set_value();
  late_writer.join();
}

TEST_F(ConfigFileKinds, OnlyRegularFilesCountBehindSymbolicLinks)
{
  fs::create_symlink("/dev/zero", server_.ConfigPath());
  ExpectRefused("Can't open config.json");

  fs::remove(server_.ConfigPath());
  fs::create_symlink("missing.json", server_.ConfigPath());
  ExpectRefused("Can't open config.json");

  fs::remove(server_.ConfigPath());
  const fs::path real = server_.ConfigPath().parent_path() / "real.json";
  {
    std::ofstream file(real, std::ios::binary);
    file << R"({"playersBodiesDecayTime": 7})";
  }
  fs::create_symlink(real, server_.ConfigPath());
  EXPECT_EQ(LoadError(), std::nullopt);
  EXPECT_EQ(CorpseSettings.playersBodiesDecayTime, 7);
}

#endif
} // namespace
