#include "configtool/Commands.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "configtool/AtomicFile.h"
#include "configtool/ClusterFile.h"
#include "configtool/ClusterReload.h"
#include "configtool/ClusterReport.h"
#include "configtool/Deploy.h"
#include "configtool/FolderLock.h"
#include "configtool/Report.h"
#include "configtool/Schema.h"
#include "configtool/SettingsCheck.h"
#include "configtool/SourceFile.h"
#include "configtool/Text.h"
#include "rcon/Address.h"
#include "rcon/Password.h"
#include "settings/LoadErrors.h"
#include "settings/SettingsLocation.h"

namespace configtool
{
namespace
{
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using nlohmann::ordered_json;

void Print(std::ostream& out, const ordered_json& report)
{
  out << report.dump(2, ' ', false, ordered_json::error_handler_t::replace) << '\n';
}

std::chrono::milliseconds Milliseconds(double seconds)
{
  return std::chrono::milliseconds(static_cast<long long>(seconds * 1000.0 + 0.5));
}

std::chrono::milliseconds Timeout(const Command& command)
{
  return Milliseconds(command.TimeoutSeconds);
}

std::chrono::milliseconds Since(Clock::time_point started)
{
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
}

// Nothing is sent: a line on `errors`, or the same as JSON.
int Stop(const Command& command, std::ostream& out, std::ostream& errors,
         const std::string& message)
{
  if (command.Json)
  {
    Print(out,
          {{"error", message}, {"servers", ordered_json::array()}, {"status", UsageOrUnreadable}});
  }
  else
  {
    errors << "ashgrove-config: " << message << '\n';
  }
  return UsageOrUnreadable;
}

// The password for --rcon: from --password-file or the environment, never
// both.
std::string RconPassword(const Command& command)
{
  const std::optional<std::string> from_environment =
      rcon::EnvironmentPassword(rcon::PasswordVariable);
  if (command.PasswordFile && from_environment)
  {
    throw rcon::PasswordError(std::string("the RCON password is given twice, in --password-file "
                                          "and in ") +
                              rcon::PasswordVariable + ": give one");
  }
  if (command.PasswordFile)
  {
    return rcon::ReadPasswordFile(*command.PasswordFile);
  }
  if (!from_environment)
  {
    throw rcon::PasswordError(std::string("give the RCON password in --password-file FILE or in ") +
                              rcon::PasswordVariable);
  }
  rcon::CheckPassword(*from_environment);
  return *from_environment;
}

// Reloads each server once no deploy holds its folder, so that what it
// answers holds for the file that stays; one whose folder stays held is
// not sent anything.
std::vector<ReloadResult> ReloadUnlocked(const std::vector<ReloadTarget>& targets,
                                         const std::vector<std::optional<fs::path>>& folders,
                                         const Command& command)
{
  const Clock::time_point waited = Clock::now();
  const FolderLocks locks(folders, LockKind::Shared,
                          waited + Milliseconds(command.LockTimeoutSeconds));
  std::vector<std::size_t> free;
  std::vector<ReloadTarget> to_send;
  for (std::size_t i = 0; i < targets.size(); ++i)
  {
    if (i >= folders.size() || !locks.NotLocked(i))
    {
      free.push_back(i);
      to_send.push_back(targets[i]);
    }
  }
  std::vector<ReloadResult> results(targets.size());
  for (std::size_t i = 0; i < folders.size(); ++i)
  {
    if (const auto& why = locks.NotLocked(i))
    {
      results[i] = {ReloadOutcome::TimedOut, "", "not sent: " + *why, Since(waited)};
    }
  }
  const std::vector<ReloadResult> sent = ReloadAll(to_send, Timeout(command));
  for (std::size_t k = 0; k < free.size(); ++k)
  {
    results[free[k]] = sent[k];
  }
  return results;
}

fs::path FileToCheck(const Command& command)
{
  if (command.ServerDir)
  {
    return ConfigFilePathIn(*command.ServerDir);
  }
  return command.File ? *command.File : fs::path("config.json");
}
} // namespace

int RunCheck(const Command& command, std::ostream& out, std::ostream& errors)
{
  const fs::path path = FileToCheck(command);
  const bool piped = path == "-";
  const std::string shown = piped ? "<stdin>" : Utf8(path);
  const FileCheck check = piped ? ReadStandardInput().Check : CheckSettingsFile(path);
  if (check.Unreadable)
  {
    const std::string message = "cannot read " + shown + ": " + *check.Unreadable +
                                " (a reload would answer \"" + std::string(CannotOpenConfig) +
                                "\")";
    if (command.Json)
    {
      Print(out, {{"file", shown},
                  {"outcome", "unreadable"},
                  {"status", UsageOrUnreadable},
                  {"error", {{"text", CannotOpenConfig}, {"kind", "open"}, {"reason", message}}},
                  {"warnings", ordered_json::array()}});
    }
    else
    {
      errors << "ashgrove-config: " << message << '\n';
    }
    return UsageOrUnreadable;
  }
  if (command.Json)
  {
    Print(out, JsonReport(shown, check.Result, command.Strict));
  }
  else
  {
    out << TextReport(shown, check.Result);
  }
  return ExitStatus(check.Result, command.Strict);
}

int RunSchema(const Command& command, std::ostream& out)
{
  out << (command.ClusterSchema ? ClusterSchema().dump(2) + "\n" : SchemaText());
  return Loads;
}

int RunReload(const Command& command, std::ostream& out, std::ostream& errors)
{
  std::vector<ServerLabel> labels;
  std::vector<ReloadTarget> targets;
  std::vector<std::optional<fs::path>> folders;
  try
  {
    if (command.Rcon)
    {
      std::string why;
      const auto address = rcon::ParseServerAddress(*command.Rcon, why);
      if (!address)
      {
        return Stop(command, out, errors, "--rcon " + *command.Rcon + ": " + why);
      }
      labels.push_back({rcon::Describe(*address), rcon::Describe(*address)});
      targets.push_back({*address, RconPassword(command)});
    }
    else
    {
      const Cluster cluster = ReadClusterFile(*command.Cluster);
      for (const ClusterServer& server : SelectServers(cluster, command.Servers))
      {
        labels.push_back({server.Name, rcon::Describe(server.Address)});
        targets.push_back({server.Address, ServerPassword(server)});
        folders.push_back(server.ServerDir);
      }
    }
  }
  catch (const std::runtime_error& error)
  {
    // A cluster file or a password that will not do: nothing is sent.
    return Stop(command, out, errors, error.what());
  }
  const Clock::time_point started = Clock::now();
  const std::vector<ReloadResult> results = ReloadUnlocked(targets, folders, command);
  const std::chrono::milliseconds took = Since(started);
  if (command.Json)
  {
    Print(out, ReloadJson(labels, results, took));
  }
  else
  {
    out << ReloadText(labels, results, took);
  }
  return ReloadStatus(results);
}

int RunDeploy(const Command& command, std::ostream& out, std::ostream& errors)
{
  Cluster cluster;
  std::vector<ClusterServer> servers;
  try
  {
    cluster = ReadClusterFile(*command.Cluster);
    servers = SelectServers(cluster, command.Servers);
  }
  catch (const ClusterError& error)
  {
    return Stop(command, out, errors, error.what());
  }
  const std::string shown = Utf8(*command.File);
  SourceFile source;
  try
  {
    source = ReadSourceFile(*command.File);
  }
  catch (const ChangedWhileRead& changed)
  {
    return Stop(command, out, errors, changed.what());
  }
  const FileCheck& check = source.Check;
  if (check.Unreadable)
  {
    return Stop(command, out, errors, "cannot read " + shown + ": " + *check.Unreadable);
  }
  ordered_json report = {{"file", shown},
                         {"check", JsonReport(shown, check.Result, command.Strict)}};
  if (!command.Json)
  {
    out << TextReport(shown, check.Result) << '\n';
  }
  if (ExitStatus(check.Result, command.Strict) != Loads)
  {
    const std::string message = shown + " is deployed nowhere: " +
                                (check.Result.Error ? "the server would refuse it"
                                                    : "it has warnings, and --strict is given");
    if (command.Json)
    {
      report["error"] = message;
      report["servers"] = ordered_json::array();
      report["status"] = Refused;
      Print(out, report);
    }
    else
    {
      out << message << '\n';
    }
    return Refused;
  }
  std::vector<std::string> passwords(servers.size());
  try
  {
    for (std::size_t i = 0; i < servers.size(); ++i)
    {
      if (servers[i].ServerDir && !command.DryRun)
      {
        passwords[i] = ServerPassword(servers[i]);
      }
    }
  }
  catch (const ClusterError& error)
  {
    return Stop(command, out, errors, error.what());
  }
  const DeployRequest request{std::move(source.Bytes), *check.Result.Settings, command.DryRun,
                              Timeout(command), Milliseconds(command.LockTimeoutSeconds)};
  const Clock::time_point started = Clock::now();
  const std::vector<DeployResult> results = Deploy(servers, passwords, request);
  const std::chrono::milliseconds took = Since(started);
  for (std::size_t i = 0; i < results.size(); ++i)
  {
    for (const std::string& leftover : results[i].Leftovers)
    {
      errors << "ashgrove-config: " << servers[i].Name << ": " << leftover
             << " (left by a deploy stopped half-way)\n";
    }
  }
  std::vector<ServerLabel> labels;
  for (const ClusterServer& server : servers)
  {
    labels.push_back({server.Name, rcon::Describe(server.Address)});
  }
  const std::string finish =
      "ashgrove-config reload --cluster " + ShellWord(cluster.Shown) + " --server";
  if (command.Json)
  {
    const ordered_json deployed = DeployJson(labels, results, took, finish);
    for (const auto& [key, value] : deployed.items())
    {
      report[key] = value;
    }
    Print(out, report);
  }
  else
  {
    out << (command.DryRun ? "a dry run: " + shown + " would go to " + cluster.Shown +
                                 "; nothing is written or sent:\n"
                           : "deploying " + shown + " to " + cluster.Shown + ":\n")
        << DeployText(labels, results, took, finish);
  }
  return DeployStatus(results);
}
} // namespace configtool
