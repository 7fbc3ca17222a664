#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "configtool/ClusterFile.h"
#include "configtool/ClusterReload.h"

#include "settings/SettingsValues.h"
#include <nlohmann/json.hpp>

namespace configtool
{
// How a deploy to one server ended, in the words the tool prints.
enum class DeployOutcome
{
  Reloaded,            // the new file is in place and the server took it
  Refused,             // the server refused the file in place, which is the new one
  RolledBack,          // it refused the new file: the previous one is back
  DeployedNotReloaded, // the new file is in place; the server could not be reloaded
  NotDeployed,         // the file could not be written; nothing changed
  Skipped,             // no server folder in the cluster file
  DryRun,              // nothing would stop it: what would change, written and reloaded nowhere
};
// The last of them: reports count every outcome up to it.
constexpr DeployOutcome LastDeployOutcome = DeployOutcome::DryRun;

const char* OutcomeWord(DeployOutcome outcome);

// A setting whose value the deploy changes, each value as the reports give
// it; Old is null when the file in place gives none.
struct SettingChange
{
  std::string Key;
  nlohmann::ordered_json Old;
  nlohmann::ordered_json New;
};

// What a deploy changes on one server, judged from the file now in place.
struct Changes
{
  enum class InPlace
  {
    Missing,
    Loads,
    Refused, // the server would refuse it; Refusal says why
  };
  InPlace Before = InPlace::Missing;
  std::string Refusal;
  bool SameBytes = false; // not written again, but reloaded
  std::vector<SettingChange> Settings;
};

struct DeployResult
{
  DeployOutcome Outcome = DeployOutcome::Skipped;
  Changes What;
  std::optional<ReloadResult> Reload;        // after the new file was put in place
  std::optional<ReloadResult> AfterRollback; // after the previous file was put back
  std::string Error;                         // why it was not deployed or not rolled back
  std::string SharedWith;   // refused, but the file stays for these servers, which share it
  bool HadPrevious = false; // a file was in place before this deploy
  bool Predicted = false;   // a dry run's: what the deploy would do
  // Temporary files a killed deploy left in the folder that could not be
  // removed, and why.
  std::vector<std::string> Leftovers;
};

struct DeployRequest
{
  std::string Bytes; // the file, checked
  CorpseSettingsValues Settings;
  bool DryRun = false;
  std::chrono::milliseconds Timeout{5000};
  std::chrono::milliseconds LockTimeout{30000}; // how long to wait for a folder another holds
  Progress* Shown = nullptr;                    // told what is awaited, on a terminal
};

// The settings file in a server folder, and the copy of the one it replaced.
std::filesystem::path DeployedFile(const std::filesystem::path& server_dir);
std::filesystem::path PreviousFile(const std::filesystem::path& server_dir);

// What putting the request's file in place would change in this folder.
Changes ChangesIn(const std::filesystem::path& server_dir, const DeployRequest& request);

// Deploys to each server with a folder: its folder locked, what a killed
// deploy left there removed, its changes judged, then the file put in place
// atomically with the replaced one kept as config.json.previous, then every
// server reloaded at once; a server that refuses gets its previous file back
// and is reloaded again, and only then are the folders let go. A folder
// another deploy holds for longer than the request's LockTimeout is left as
// it was. `passwords` go with `servers`, one each (empty for those without a
// folder).
//
// A dry run writes and reloads nothing: it stages a file in each folder and
// removes it at once, and logs in to each server, to tell what the deploy
// would do or what would stop it, in the outcome words the deploy would
// use.
std::vector<DeployResult> Deploy(const std::vector<ClusterServer>& servers,
                                 const std::vector<std::string>& passwords,
                                 const DeployRequest& request);
} // namespace configtool
