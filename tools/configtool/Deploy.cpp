#include "configtool/Deploy.h"

#include <exception>
#include <system_error>

#include "configtool/AtomicFile.h"
#include "configtool/SettingsCheck.h"
#include "settings/ConfigFile.h"
#include "settings/SettingsLocation.h"
#include "settings/SettingsTable.h"

namespace configtool
{
namespace
{
namespace fs = std::filesystem;

std::string ValueText(const Setting& setting, const CorpseSettingsValues& values)
{
  const std::int32_t value = setting.In(values);
  if (setting.Kind == SettingKind::Switch)
  {
    return value != 0 ? "true" : "false";
  }
  return std::to_string(value);
}

// Where the file stands before the deploy: what it holds, or nothing.
std::optional<std::string> BytesInPlace(const fs::path& file)
{
  std::error_code error;
  if (!fs::exists(fs::status(file, error)))
  {
    return std::nullopt;
  }
  return ReadConfigFileAt(file);
}

// Puts the new file in place; false, with the system's reason, when the
// folder cannot be written, and then nothing in it has changed.
bool PutInPlace(const fs::path& server_dir, const std::string& bytes, bool& had_previous,
                std::string& error)
{
  const fs::path file = DeployedFile(server_dir);
  try
  {
    std::error_code ignored;
    had_previous = fs::exists(fs::status(file, ignored));
    if (had_previous)
    {
      KeepCopy(file, PreviousFile(server_dir));
    }
    WriteAtomically(file, bytes);
    return true;
  }
  catch (const std::exception& failure)
  {
    error = failure.what();
    return false;
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
      KeepCopy(PreviousFile(server_dir), DeployedFile(server_dir));
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

// Reloads the servers at these indices at once; `passwords` and `servers`
// are indexed alike.
std::vector<ReloadResult> ReloadSome(const std::vector<std::size_t>& which,
                                     const std::vector<ClusterServer>& servers,
                                     const std::vector<std::string>& passwords,
                                     std::chrono::milliseconds timeout)
{
  std::vector<ReloadTarget> targets;
  for (const std::size_t i : which)
  {
    targets.push_back({servers[i].Address, passwords[i]});
  }
  return ReloadAll(targets, timeout);
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
  try
  {
    if (const auto bytes = BytesInPlace(DeployedFile(server_dir)))
    {
      changes.SameBytes = *bytes == request.Bytes;
      const CheckResult check = CheckSettingsText(*bytes);
      before = check.Settings;
      changes.Before = before ? Changes::InPlace::Loads : Changes::InPlace::Refused;
      changes.Refusal = check.Error ? check.Error->Text : "";
    }
  }
  catch (const std::exception& refused)
  {
    // Too large, or not a file the server can read: it would refuse it so.
    changes.Before = Changes::InPlace::Refused;
    changes.Refusal = refused.what();
  }
  for (const Setting& setting : SettingsTable)
  {
    const std::string after = ValueText(setting, request.Settings);
    const std::string old = before ? ValueText(setting, *before) : "";
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
  std::vector<bool> had_previous(servers.size(), false);
  std::vector<std::size_t> to_reload;
  // Files are written one at a time, in the cluster's order, so that
  // servers sharing one file through a link see it written once.
  for (std::size_t i = 0; i < servers.size(); ++i)
  {
    DeployResult& result = results[i];
    if (!servers[i].ServerDir)
    {
      result.Outcome = DeployOutcome::Skipped;
      continue;
    }
    const fs::path& folder = *servers[i].ServerDir;
    result.What = ChangesIn(folder, request);
    if (request.DryRun)
    {
      result.Outcome = DeployOutcome::DryRun;
      continue;
    }
    bool previous = false;
    if (!result.What.SameBytes && !PutInPlace(folder, request.Bytes, previous, result.Error))
    {
      result.Outcome = DeployOutcome::NotDeployed;
      continue;
    }
    had_previous[i] = previous;
    to_reload.push_back(i);
  }

  const std::vector<ReloadResult> reloads =
      ReloadSome(to_reload, servers, passwords, request.Timeout);
  std::vector<std::size_t> rolled_back;
  for (std::size_t k = 0; k < to_reload.size(); ++k)
  {
    const std::size_t i = to_reload[k];
    DeployResult& result = results[i];
    result.Reload = reloads[k];
    switch (reloads[k].Outcome)
    {
    case ReloadOutcome::Reloaded:
      result.Outcome = DeployOutcome::Reloaded;
      break;
    case ReloadOutcome::Refused:
      // Nothing to put back when the same bytes were in place already.
      if (!result.What.SameBytes && PutBack(*servers[i].ServerDir, had_previous[i], result.Error))
      {
        result.Outcome = DeployOutcome::RolledBack;
        rolled_back.push_back(i);
      }
      else
      {
        result.Outcome = DeployOutcome::Refused;
      }
      break;
    default:
      result.Outcome = DeployOutcome::DeployedNotReloaded;
      result.Error = reloads[k].Error;
      break;
    }
  }

  const std::vector<ReloadResult> again =
      ReloadSome(rolled_back, servers, passwords, request.Timeout);
  for (std::size_t k = 0; k < rolled_back.size(); ++k)
  {
    results[rolled_back[k]].AfterRollback = again[k];
  }
  return results;
}
} // namespace configtool
