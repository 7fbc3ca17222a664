#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "configtool/AtomicFile.h"
#include "configtool/Deploy.h"
#include "configtool/FolderLock.h"
#include "configtool/SourceFile.h"
#include "settings/ConfigFile.h"
#include "support/Errors.h"
#include "support/ServerDirectory.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace
{
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using configtool::FolderLocks;
using configtool::LockKind;

void WriteFile(const fs::path& path, const std::string& bytes)
{
  std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> NamesIn(const fs::path& folder)
{
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
  {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::chrono::steady_clock::time_point In(std::chrono::milliseconds wait)
{
  return std::chrono::steady_clock::now() + wait;
}

std::string OurProcess()
{
#if defined(_WIN32)
  return "process " + std::to_string(GetCurrentProcessId()) + " on ";
#else
  return "process " + std::to_string(getpid()) + " on ";
#endif
}

// What the checker reads must be what the server's own reader gets from
// the same bytes on disk: on Windows, line ends and a Ctrl-Z as text mode
// gives them.
TEST(SourceFile, IsReadAsTheServerReadsIt)
{
  const testsupport::ServerDirectory server;
  for (const std::string& bytes :
       {std::string("{}"), std::string("{\r\n\"a\": 1\r\n}\r\n"), std::string("a\rb\r"),
        std::string("\r\r\n\n\r"), std::string("{}\x1A trailing"), std::string("\r"),
        std::string("x\r\n\x1A\r\n"), std::string()})
  {
    server.WriteConfig(bytes);
    const configtool::SourceFile source = configtool::ReadSourceFile(server.ConfigPath());
    EXPECT_EQ(source.Bytes, bytes);
    EXPECT_EQ(configtool::AsServerReads(source.Bytes), ReadConfigFileAt(server.ConfigPath()))
        << testing::PrintToString(bytes);
  }
}

// A file saved a moment ago and written again while it settles is
// deployed nowhere: what was read may be no version anybody wrote.
TEST(SourceFile, AFileWrittenWhileItIsReadIsRefused)
{
  const testsupport::ServerDirectory server;
  server.WriteConfig(R"({"wildCorpseDecayTime": 100})");
  std::thread writer(
      [&]
      {
        std::this_thread::sleep_for(20ms);
        server.WriteConfig(R"({"wildCorpseDecayTime": 2000})");
      });
  const auto error = testsupport::ErrorText<configtool::ChangedWhileRead>(
      [&] { configtool::ReadSourceFile(server.ConfigPath()); });
  writer.join();
  ASSERT_TRUE(error);
  EXPECT_NE(error->find("changed while it was read"), std::string::npos) << *error;
  EXPECT_NE(error->find("try again once the file is saved"), std::string::npos) << *error;
}

TEST(SourceFile, ASettledFileIsReadWhole)
{
  const testsupport::ServerDirectory server;
  const std::string bytes = "{\"wildCorpseDecayTime\": 60}\n";
  server.WriteConfig(bytes);
  std::this_thread::sleep_for(150ms);
  const configtool::SourceFile source = configtool::ReadSourceFile(server.ConfigPath());
  EXPECT_EQ(source.Bytes, bytes);
  ASSERT_TRUE(source.Check.Result.Settings);
  EXPECT_EQ(source.Check.Result.Settings->wildCorpseDecayTime, 60);
}

class FolderLocking : public ::testing::Test
{
protected:
  std::vector<std::optional<fs::path>> Folders() const
  {
    return {fs::path(one_.Path()), std::nullopt, fs::path(two_.Path())};
  }
  testsupport::ServerDirectory one_;
  testsupport::ServerDirectory two_;
};

// Locks taken through two opens in one process exclude each other as two
// processes' do.
TEST_F(FolderLocking, ADeployWaitsForAnotherAndNamesIt)
{
  struct Case
  {
    LockKind First;
    LockKind Second;
    bool Excluded;
  };
  for (const Case c : {Case{LockKind::Exclusive, LockKind::Exclusive, true},
                       Case{LockKind::Exclusive, LockKind::Shared, true},
                       Case{LockKind::Shared, LockKind::Exclusive, true},
                       Case{LockKind::Shared, LockKind::Shared, false}})
  {
    const FolderLocks first(Folders(), c.First, In(0ms));
    for (std::size_t i = 0; i < 3; ++i)
    {
      EXPECT_FALSE(first.NotLocked(i)) << *first.NotLocked(i);
    }
    const auto started = std::chrono::steady_clock::now();
    const FolderLocks second(Folders(), c.Second, In(200ms));
    EXPECT_FALSE(second.NotLocked(1)); // no folder, no lock
    if (!c.Excluded)
    {
      EXPECT_FALSE(second.NotLocked(0));
      continue;
    }
    EXPECT_GE(std::chrono::steady_clock::now() - started, 200ms);
    for (const std::size_t i : {0U, 2U})
    {
      ASSERT_TRUE(second.NotLocked(i));
      const std::string& why = *second.NotLocked(i);
      if (c.First == LockKind::Exclusive)
      {
        EXPECT_EQ(why.rfind("another deploy holds it (" + OurProcess(), 0), 0U) << why;
        EXPECT_NE(why.find(" since "), std::string::npos) << why;
      }
      else
      {
        EXPECT_EQ(why, "another deploy or reload holds it");
      }
    }
  }
}

// Once let go, the lock is free at once and says nobody holds it; it stays
// in the folder, beside config.json.
TEST_F(FolderLocking, ALockLetGoIsFreeAndItsFileStays)
{
  {
    const FolderLocks deploy(Folders(), LockKind::Exclusive, In(0ms));
  }
  const FolderLocks next(Folders(), LockKind::Exclusive, In(0ms));
  EXPECT_FALSE(next.NotLocked(0));
  const fs::path lock = configtool::LockFileOf(one_.Path());
  EXPECT_EQ(lock.parent_path(), fs::weakly_canonical(one_.ConfigPath()).parent_path());
  EXPECT_EQ(lock.filename(), "config.json.lock");
}

TEST_F(FolderLocking, AFolderThatTakesNoFileNeedsNoLock)
{
  const fs::path missing = fs::path(one_.Path()) / "not-there";
  const fs::path blocked = fs::path(two_.Path()) / "blocked";
  fs::create_directories(blocked / "ArkApi" / "Plugins");
  WriteFile(blocked / "ArkApi" / "Plugins" / "Ashgrove", "a file where the folder should be");
  const FolderLocks locks({missing, blocked}, LockKind::Exclusive, In(0ms));
  EXPECT_FALSE(locks.NotLocked(0));
  EXPECT_FALSE(locks.NotLocked(1));
  EXPECT_FALSE(fs::exists(missing));
}

#if !defined(_WIN32)
// Servers that share one file through a link share its lock, taken once,
// where the file lives; a lock file that is a link is never written
// through.
TEST_F(FolderLocking, ASharedFileIsLockedOnceWhereItLives)
{
  one_.WriteConfig("{}");
  fs::remove(two_.ConfigPath());
  fs::create_symlink(one_.ConfigPath(), two_.ConfigPath());
  EXPECT_EQ(configtool::LockFileOf(two_.Path()), configtool::LockFileOf(one_.Path()));
  const FolderLocks both(Folders(), LockKind::Exclusive, In(0ms));
  EXPECT_FALSE(both.NotLocked(0));
  EXPECT_FALSE(both.NotLocked(2));
  EXPECT_EQ(NamesIn(two_.ConfigPath().parent_path()), std::vector<std::string>{"config.json"});

  testsupport::ServerDirectory third;
  const fs::path victim = fs::path(third.Path()) / "victim";
  WriteFile(victim, "kept");
  fs::create_symlink(victim, configtool::LockFileOf(third.Path()));
  const FolderLocks linked({fs::path(third.Path())}, LockKind::Exclusive, In(0ms));
  ASSERT_TRUE(linked.NotLocked(0));
  EXPECT_EQ(linked.NotLocked(0)->rfind("cannot open the lock file ", 0), 0U)
      << *linked.NotLocked(0);
  std::ifstream kept(victim);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "kept");
}
#endif

#if !defined(_WIN32)
// Whoever makes the lock file, under whatever umask, the server's own user
// can open it and lock the folder after; and a record left by a holder that
// was killed names nobody.
TEST_F(FolderLocking, ALockFileServesEveryoneAndADeadHolderIsNotNamed)
{
  const mode_t was = ::umask(077);
  {
    const FolderLocks made(Folders(), LockKind::Exclusive, In(0ms));
  }
  ::umask(was);
  struct stat status = {};
  ASSERT_EQ(::stat(configtool::LockFileOf(one_.Path()).c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0644U);

  const pid_t gone = ::fork();
  if (gone == 0)
  {
    ::_exit(0);
  }
  ::waitpid(gone, nullptr, 0);
  char host[256] = {};
  ::gethostname(host, sizeof host - 1);
  const int held = ::open(configtool::LockFileOf(one_.Path()).c_str(), O_RDWR);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  const std::string stale =
      "process " + std::to_string(gone) + " on " + host + " since 2026-01-01 00:00:00 UTC\n";
  ASSERT_EQ(::write(held, stale.data(), stale.size()), static_cast<ssize_t>(stale.size()));
  const FolderLocks next({fs::path(one_.Path())}, LockKind::Exclusive, In(0ms));
  ::close(held);
  ASSERT_TRUE(next.NotLocked(0));
  EXPECT_EQ(*next.NotLocked(0), "another deploy or reload holds it");
}

// The kept copy's own name is replaced: a link planted there is not
// followed to a file elsewhere.
TEST(KeptCopy, ALinkInItsPlaceIsReplacedNotFollowed)
{
  const testsupport::ServerDirectory server;
  server.WriteConfig("new");
  const fs::path elsewhere = fs::path(server.Path()) / "elsewhere.txt";
  WriteFile(elsewhere, "kept");
  const fs::path previous = configtool::PreviousFile(server.Path());
  fs::create_symlink(elsewhere, previous);
  configtool::KeepCopy(server.ConfigPath(), previous);
  EXPECT_FALSE(fs::is_symlink(previous));
  std::ifstream copy(previous);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(copy), {}), "new");
  std::ifstream other(elsewhere);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(other), {}), "kept");
}
#endif

// Under the lock, temporary files of ours beside the file or its kept copy
// can only be a killed deploy's: they go, and nothing else does.
TEST(Leftovers, AreRemovedAndNothingElse)
{
  const testsupport::ServerDirectory server;
  const fs::path folder = server.ConfigPath().parent_path();
  server.WriteConfig("{}");
  for (const char* name :
       {"config.json.ashgrove-4242-1-0.tmp", "config.json.previous.ashgrove-4242-1-1.tmp",
        "config.json.previous", "config.json.lock", "notes.txt", "config.json.ashgrove-notes",
        "other.json.ashgrove-1-1-1.tmp"})
  {
    WriteFile(folder / name, "x");
  }
  EXPECT_TRUE(configtool::RemoveLeftovers(server.ConfigPath(), true).empty());
  EXPECT_TRUE(configtool::RemoveLeftovers(configtool::PreviousFile(server.Path()), false).empty());
  EXPECT_EQ(NamesIn(folder),
            (std::vector<std::string>{"config.json", "config.json.ashgrove-notes",
                                      "config.json.lock", "config.json.previous", "notes.txt",
                                      "other.json.ashgrove-1-1-1.tmp"}));
}

#if defined(_WIN32)
// A config.json another program holds open without sharing cannot be
// replaced: the deploy says so, leaves the file as it was and nothing
// beside it.
TEST(HeldOpen, AFileAnotherProgramHoldsIsNotDeployedAndNothingIsLeft)
{
  const testsupport::ServerDirectory server;
  const std::string before = R"({"wildCorpseDecayTime": 90})";
  server.WriteConfig(before);
  HANDLE held = CreateFileW(server.ConfigPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  configtool::ClusterServer target;
  target.Name = "island";
  target.Address = {"127.0.0.1", "1"};
  target.ServerDir = fs::path(server.Path());
  configtool::DeployRequest request;
  request.Bytes = R"({"wildCorpseDecayTime": 60})";
  request.Timeout = 1000ms;
  const auto results = configtool::Deploy({target}, {"x"}, request);
  CloseHandle(held);
  ASSERT_EQ(results.size(), 1U);
  EXPECT_EQ(results[0].Outcome, configtool::DeployOutcome::NotDeployed);
  EXPECT_EQ(results[0].Error.rfind("another program holds ", 0), 0U) << results[0].Error;
  EXPECT_NE(results[0].Error.find("config.json open: the deploy can be tried again once it is "
                                  "closed"),
            std::string::npos)
      << results[0].Error;
  std::ifstream file(server.ConfigPath(), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), before);
  EXPECT_EQ(NamesIn(server.ConfigPath().parent_path()),
            (std::vector<std::string>{"config.json", "config.json.lock"}));
}
#endif
} // namespace
