#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace configtool
{
class Progress;

enum class LockKind
{
  Shared,    // reading what is in force: reloads
  Exclusive, // changing it: deploys
};

// The lock file of the settings file a server reads below its folder:
// beside the file where it lives, so that servers sharing one file through
// links share one lock. It stays there between deploys: a lock file that
// came and went could be locked by two at once.
std::filesystem::path LockFileOf(const std::filesystem::path& server_dir);

// Locks on the settings files of server folders, held until destroyed, and
// freed by the system if the process dies first. Each file is locked once
// however many servers share it, and all in the order of their canonical
// paths, so that two processes locking clusters that overlap cannot wait on
// each other for ever.
class FolderLocks
{
public:
  // Waits for each lock until `deadline`. A server without a folder needs
  // no lock, nor one whose lock file cannot be made at all (no such folder,
  // or one that cannot be written): nothing can be written there either.
  // On a terminal, `shown` says whom it waits for.
  FolderLocks(const std::vector<std::optional<std::filesystem::path>>& server_dirs, LockKind kind,
              std::chrono::steady_clock::time_point deadline, Progress* shown = nullptr);
  ~FolderLocks();
  FolderLocks(const FolderLocks&) = delete;
  FolderLocks& operator=(const FolderLocks&) = delete;

  // Why server i's folder is not locked: another process holds it ("another
  // deploy holds it (process N on HOST since T)") or its lock file will not
  // do; none when it is locked or needs no lock.
  [[nodiscard]] const std::optional<std::string>& NotLocked(std::size_t i) const
  {
    return not_locked_[i];
  }

  // Whether server i's folder is not locked because another process holds
  // it, rather than for a lock file that will not do.
  [[nodiscard]] bool HeldByAnother(std::size_t i) const { return held_by_another_[i]; }

  // Why a deploy could not lock this folder's lock file, as it would say,
  // without making or locking it; nothing when it could.
  static std::optional<std::string> LockFileProblem(const std::filesystem::path& server_dir);

private:
  class LockFile;
  // Why a lock file that is there cannot be opened, and what to do.
  static std::string Unusable(const std::filesystem::path& path, const LockFile& file);
  // Locks the file, waiting until `deadline`; why not, if it cannot, and
  // `held` when that is because another process holds it.
  static std::optional<std::string> Take(LockFile& file, const std::filesystem::path& path,
                                         LockKind kind,
                                         std::chrono::steady_clock::time_point deadline,
                                         Progress* shown, bool& held);

  std::vector<std::unique_ptr<LockFile>> held_;
  std::vector<std::optional<std::string>> not_locked_;
  std::vector<bool> held_by_another_;
};
} // namespace configtool
