#include "configtool/Deploy.h"

#include <algorithm>
#include <exception>
#include <system_error>

#include "configtool/AtomicFile.h"
#include "configtool/FolderLock.h"
#include "configtool/Report.h"
#include "configtool/SettingsCheck.h"
#include "configtool/Text.h"
#include "settings/LoadErrors.h"
#include "settings/SettingsLocation.h"
#include "settings/SettingsTable.h"

namespace configtool
{
namespace
{
namespace fs = std::filesystem;

// Whether the file holds these very bytes; a file that cannot be read does
// not, and one that is no regular file (a pipe would never end) is not read.
bool Holds(const fs::path& file, const std::string& bytes)
{
  std::error_code error;
  if (!fs::is_regular_file(fs::status(file, error)) || fs::file_size(file, error) != bytes.size())
  {
    return false;
  }
  try
  {
    return ReadWhole(file) == bytes;
  }
  catch (const std::exception&)
  {
    return false;
  }
}

// A problem of a server's folder, with where the cluster file sets it.
std::string WithPlace(const std::string& problem, const ClusterServer& server)
{
  return problem + " (its serverDir is set at " + PlaceText(server.ServerDirAt) + ")";
}

// Why the file in place, or the kept copy, is no file a deploy may replace
// (a folder, a pipe, a link that leads nowhere), or nothing.
std::optional<std::string> NotAFile(const fs::path& file, bool follow_link)
{
  std::error_code error;
  const fs::file_status status =
      follow_link ? fs::status(file, error) : fs::symlink_status(file, error);
  if (status.type() == fs::file_type::not_found)
  {
    if (follow_link && fs::is_symlink(fs::symlink_status(file, error)))
    {
      return Utf8(file) + " is a link to " + Utf8(fs::read_symlink(file, error)) +
             ", which does not exist";
    }
    return std::nullopt;
  }
  if (status.type() == fs::file_type::regular || status.type() == fs::file_type::symlink)
  {
    return std::nullopt;
  }
  return Utf8(file) + " is " +
         (status.type() == fs::file_type::directory ? "a folder" : "no regular file") +
         ": move it away, and deploy again";
}

// The new bytes, staged where they would go: on Windows once no other
// program holds the file; removed again unless committed. Throws
// std::runtime_error for a file in place, or a kept copy, that is no file.
StagedFile Staged(const fs::path& server_dir, const std::string& bytes, bool& had_previous)
{
  const fs::path file = DeployedFile(server_dir);
  for (const auto& [path, follow] :
       {std::pair(file, true), std::pair(PreviousFile(server_dir), false)})
  {
    if (auto why = NotAFile(path, follow))
    {
      throw std::runtime_error(*why);
    }
  }
  std::error_code ignored;
  had_previous = fs::exists(fs::status(file, ignored));
  if (had_previous)
  {
    WaitUntilReplaceable(file);
  }
  return StagedFile(file, bytes);
}

// Puts the new file in place, keeping the one it replaces; false, with the
// reason, when the folder cannot be written. The new bytes are staged
// first, so that a folder that takes no file changes nothing.
bool PutInPlace(const ClusterServer& server, const std::string& bytes, bool& had_previous,
                std::string& error)
{
  try
  {
    StagedFile staged = Staged(*server.ServerDir, bytes, had_previous);
    if (had_previous)
    {
      KeepCopy(DeployedFile(*server.ServerDir), PreviousFile(*server.ServerDir));
    }
    staged.Commit();
    return true;
  }
  catch (const FolderError& failure)
  {
    error = WithPlace(failure.what(), server);
  }
  catch (const std::exception& failure)
  {
    error = failure.what();
  }
  return false;
}

// What would stop the file being put in place in the server's folder: its
// lock file, opened as a deploy would, and, unless the same bytes are in
// place already (then nothing is written), the file staged there and
// removed at once; or nothing.
std::optional<std::string> FolderWouldRefuse(const ClusterServer& server, const std::string& bytes,
                                             bool same_bytes)
{
  try
  {
    if (auto why = FolderLocks::LockFileProblem(*server.ServerDir))
    {
      return WithPlace(*why, server);
    }
    bool had_previous = false;
    if (!same_bytes)
    {
      Staged(*server.ServerDir, bytes, had_previous);
    }
    return std::nullopt;
  }
  catch (const FolderError& failure)
  {
    return WithPlace(failure.what(), server);
  }
  catch (const std::exception& failure)
  {
    return failure.what();
  }
}

// Puts back the file the deploy replaced, or removes the new one when there
// was none.
bool PutBack(const fs::path& server_dir, bool had_previous, std::string& error)
{
  try
  {
    if (had_previous)
    {
      // A file apart from the kept copy, so that a later deploy keeps the
      // right one.
      CopyOver(PreviousFile(server_dir), DeployedFile(server_dir));
    }
    else
    {
      RemoveFile(DeployedFile(server_dir));
    }
    return true;
  }
  catch (const std::exception& failure)
  {
    error = failure.what();
    return false;
  }
}

// The server whose write put the file in place: the server itself, or, for
// one that found it in place, an earlier server whose file it shares
// through a link; none when the same bytes were there before the deploy.
constexpr std::size_t NoWriter = static_cast<std::size_t>(-1);

std::size_t SharedWriter(std::size_t i, const std::vector<ClusterServer>& servers,
                         const std::vector<std::size_t>& writer)
{
  const fs::path file = DeployedFile(*servers[i].ServerDir);
  for (std::size_t j = 0; j < i; ++j)
  {
    std::error_code error;
    if (writer[j] == j && fs::equivalent(file, DeployedFile(*servers[j].ServerDir), error))
    {
      return j;
    }
  }
  return NoWriter;
}

std::string NamesOf(const std::vector<std::size_t>& which,
                    const std::vector<ClusterServer>& servers)
{
  std::string names;
  for (const std::size_t i : which)
  {
    names += (names.empty() ? "" : ", ") + servers[i].Name;
  }
  return names;
}

// Puts back each written file that every server loading it refused, and
// returns those servers, to be reloaded again. A file that one of its
// servers did not refuse stays: that server runs it, or will once reached,
// and the servers that refused it say so.
std::vector<std::size_t> PutBackRefused(const std::vector<std::size_t>& reloaded,
                                        const std::vector<std::size_t>& writer,
                                        const std::vector<ClusterServer>& servers,
                                        std::vector<DeployResult>& results)
{
  std::vector<std::size_t> rolled_back;
  for (const std::size_t w : reloaded)
  {
    if (writer[w] != w)
    {
      continue;
    }
    std::vector<std::size_t> refused;
    std::vector<std::size_t> others;
    for (const std::size_t i : reloaded)
    {
      if (writer[i] == w)
      {
        (results[i].Outcome == DeployOutcome::Refused ? refused : others).push_back(i);
      }
    }
    if (refused.empty())
    {
      continue;
    }
    if (!others.empty())
    {
      const std::string names = NamesOf(others, servers);
      for (const std::size_t i : refused)
      {
        results[i].SharedWith = names;
      }
      continue;
    }
    std::string error;
    const bool back = PutBack(*servers[w].ServerDir, results[w].HadPrevious, error);
    for (const std::size_t i : refused)
    {
      if (back)
      {
        results[i].Outcome = DeployOutcome::RolledBack;
        results[i].HadPrevious = results[w].HadPrevious;
        rolled_back.push_back(i);
      }
      else
      {
        results[i].Error = error;
      }
    }
  }
  std::sort(rolled_back.begin(), rolled_back.end());
  return rolled_back;
}

// Reloads the servers at these indices at once; `passwords` and `servers`
// are indexed alike.
std::vector<ReloadResult> ReloadSome(const std::vector<std::size_t>& which,
                                     const std::vector<ClusterServer>& servers,
                                     const std::vector<std::string>& passwords,
                                     const DeployRequest& request, bool login_only = false)
{
  std::vector<ReloadTarget> targets;
  for (const std::size_t i : which)
  {
    targets.push_back({servers[i].Name, servers[i].Address, passwords[i]});
  }
  return ReloadAll(targets, {request.Timeout, request.Shown, login_only});
}

// A dry run: what would stop each server's deploy, as the deploy would say
// it. A folder that takes no file is not-deployed; a server that does not
// answer or take its password would have the file and not be reloaded.
void Predict(const std::vector<ClusterServer>& servers, const std::vector<std::string>& passwords,
             const DeployRequest& request, std::vector<DeployResult>& results)
{
  std::vector<std::size_t> reachable;
  for (std::size_t i = 0; i < servers.size(); ++i)
  {
    results[i].Predicted = true;
    if (results[i].Outcome != DeployOutcome::DryRun)
    {
      continue;
    }
    if (auto why = FolderWouldRefuse(servers[i], request.Bytes, results[i].What.SameBytes))
    {
      results[i].Outcome = DeployOutcome::NotDeployed;
      results[i].Error = std::move(*why);
      continue;
    }
    reachable.push_back(i);
  }
  const std::vector<ReloadResult> logins = ReloadSome(reachable, servers, passwords, request, true);
  for (std::size_t k = 0; k < reachable.size(); ++k)
  {
    DeployResult& result = results[reachable[k]];
    result.Reload = logins[k];
    if (logins[k].Outcome != ReloadOutcome::Reloaded)
    {
      result.Outcome = DeployOutcome::DeployedNotReloaded;
      result.Error = logins[k].Error;
    }
  }
}

std::vector<std::optional<fs::path>> FoldersOf(const std::vector<ClusterServer>& servers)
{
  std::vector<std::optional<fs::path>> folders;
  for (const ClusterServer& server : servers)
  {
    folders.push_back(server.ServerDir);
  }
  return folders;
}

// What deploys killed half-way left beside the file and its kept copy.
std::vector<std::string> RemoveLeftoversIn(const fs::path& server_dir)
{
  std::vector<std::string> faults = RemoveLeftovers(DeployedFile(server_dir), true);
  for (std::string& fault : RemoveLeftovers(PreviousFile(server_dir), false))
  {
    faults.push_back(std::move(fault));
  }
  return faults;
}

// Files are written one at a time, in the cluster's order; servers that
// share one file through a link find it in place, and it is written once.
// Returns the servers to reload; `writer` says whose write each loads.
std::vector<std::size_t> WriteInTurn(const std::vector<ClusterServer>& servers,
                                     const std::string& bytes, std::vector<DeployResult>& results,
                                     std::vector<std::size_t>& writer)
{
  std::vector<std::size_t> to_reload;
  for (std::size_t i = 0; i < servers.size(); ++i)
  {
    DeployResult& result = results[i];
    if (result.Outcome != DeployOutcome::Reloaded)
    {
      continue; // skipped, or its folder could not be locked
    }
    const fs::path& folder = *servers[i].ServerDir;
    const bool in_place = Holds(DeployedFile(folder), bytes);
    if (!in_place && !PutInPlace(servers[i], bytes, result.HadPrevious, result.Error))
    {
      result.Outcome = DeployOutcome::NotDeployed;
      continue;
    }
    writer[i] = in_place ? SharedWriter(i, servers, writer) : i;
    to_reload.push_back(i);
  }
  return to_reload;
}

void TakeReloads(const std::vector<std::size_t>& reloaded, const std::vector<ReloadResult>& reloads,
                 std::vector<DeployResult>& results)
{
  for (std::size_t k = 0; k < reloaded.size(); ++k)
  {
    DeployResult& result = results[reloaded[k]];
    result.Reload = reloads[k];
    switch (reloads[k].Outcome)
    {
    case ReloadOutcome::Reloaded:
      result.Outcome = DeployOutcome::Reloaded;
      break;
    case ReloadOutcome::Refused:
      result.Outcome = DeployOutcome::Refused;
      break;
    default:
      result.Outcome = DeployOutcome::DeployedNotReloaded;
      result.Error = reloads[k].Error;
      break;
    }
  }
}

// Writes, reloads every server written at once, then puts back what was
// refused and reloads those servers again.
void WriteAndReload(const std::vector<ClusterServer>& servers,
                    const std::vector<std::string>& passwords, const DeployRequest& request,
                    std::vector<DeployResult>& results)
{
  std::vector<std::size_t> writer(servers.size(), NoWriter);
  const std::vector<std::size_t> written = WriteInTurn(servers, request.Bytes, results, writer);
  TakeReloads(written, ReloadSome(written, servers, passwords, request), results);
  const std::vector<std::size_t> rolled_back = PutBackRefused(written, writer, servers, results);
  const std::vector<ReloadResult> again = ReloadSome(rolled_back, servers, passwords, request);
  for (std::size_t k = 0; k < rolled_back.size(); ++k)
  {
    results[rolled_back[k]].AfterRollback = again[k];
  }
}
} // namespace

const char* OutcomeWord(DeployOutcome outcome)
{
  switch (outcome)
  {
  case DeployOutcome::Reloaded:
    return "reloaded";
  case DeployOutcome::Refused:
    return "refused";
  case DeployOutcome::RolledBack:
    return "rolled-back";
  case DeployOutcome::DeployedNotReloaded:
    return "deployed-not-reloaded";
  case DeployOutcome::NotDeployed:
    return "not-deployed";
  case DeployOutcome::DryRun:
    return "dry-run";
  case DeployOutcome::Skipped:
    break;
  }
  return "skipped";
}

fs::path DeployedFile(const fs::path& server_dir)
{
  return ConfigFilePathIn(server_dir);
}

fs::path PreviousFile(const fs::path& server_dir)
{
  fs::path file = DeployedFile(server_dir);
  file += ".previous";
  return file;
}

Changes ChangesIn(const fs::path& server_dir, const DeployRequest& request)
{
  Changes changes;
  std::optional<CorpseSettingsValues> before;
  const fs::path file = DeployedFile(server_dir);
  std::error_code missing;
  if (fs::exists(fs::status(file, missing)))
  {
    // Read as the server reads it for its settings, and byte for byte to
    // tell whether the file in place is the very file.
    const FileCheck check = CheckSettingsFile(file);
    before = check.Result.Settings;
    changes.Before = before ? Changes::InPlace::Loads : Changes::InPlace::Refused;
    changes.Refusal = check.Unreadable     ? std::string(CannotOpenConfig)
                      : check.Result.Error ? check.Result.Error->Text
                                           : "";
    changes.SameBytes = Holds(file, request.Bytes);
  }
  for (const Setting& setting : SettingsTable)
  {
    const nlohmann::ordered_json after = SettingValue(setting, request.Settings);
    const nlohmann::ordered_json old =
        before ? SettingValue(setting, *before) : nlohmann::ordered_json(nullptr);
    if (old != after)
    {
      changes.Settings.push_back({setting.Key, old, after});
    }
  }
  return changes;
}

std::vector<DeployResult> Deploy(const std::vector<ClusterServer>& servers,
                                 const std::vector<std::string>& passwords,
                                 const DeployRequest& request)
{
  std::vector<DeployResult> results(servers.size());
  std::optional<FolderLocks> locks;
  if (!request.DryRun)
  {
    locks.emplace(FoldersOf(servers), LockKind::Exclusive,
                  std::chrono::steady_clock::now() + request.LockTimeout, request.Shown);
  }
  // Every server's changes are judged before anything is written.
  for (std::size_t i = 0; i < servers.size(); ++i)
  {
    results[i].Outcome = !servers[i].ServerDir ? DeployOutcome::Skipped
                         : request.DryRun      ? DeployOutcome::DryRun
                                               : DeployOutcome::Reloaded;
    if (!servers[i].ServerDir)
    {
      continue;
    }
    if (locks && locks->NotLocked(i))
    {
      results[i].Outcome = DeployOutcome::NotDeployed;
      results[i].Error = locks->HeldByAnother(i) ? *locks->NotLocked(i)
                                                 : WithPlace(*locks->NotLocked(i), servers[i]);
    }
    else if (locks)
    {
      results[i].Leftovers = RemoveLeftoversIn(*servers[i].ServerDir);
    }
    results[i].What = ChangesIn(*servers[i].ServerDir, request);
  }
  if (request.DryRun)
  {
    Predict(servers, passwords, request, results);
  }
  else
  {
    WriteAndReload(servers, passwords, request, results);
  }
  return results;
}
} // namespace configtool
