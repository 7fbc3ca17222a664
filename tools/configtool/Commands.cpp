#include "configtool/Commands.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "configtool/ClusterFile.h"
#include "configtool/ClusterReload.h"
#include "configtool/ClusterReport.h"
#include "configtool/Deploy.h"
#include "configtool/FolderLock.h"
#include "configtool/Report.h"
#include "configtool/Schema.h"
#include "configtool/SettingsCheck.h"
#include "configtool/SourceFile.h"
#include "configtool/Terminal.h"
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

std::chrono::milliseconds Milliseconds(double seconds)
{
  return std::chrono::milliseconds(static_cast<long long>(seconds * 1000.0 + 0.5));
}

std::chrono::milliseconds Since(Clock::time_point started)
{
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
}

// Where a command's result goes: text for people on `out`, with its
// complaints on `errors`, or, with --json, one JSON document on `out` for
// scripts. On a terminal, a status line while servers are awaited, and
// coloured outcomes.
class Output
{
public:
  Output(const Command& command, std::ostream& out, std::ostream& errors)
      : json_(command.Json), out_(out), errors_(errors),
        colour_(!json_ && &out == &std::cout && ColourWanted()),
        progress_(errors, !json_ && &errors == &std::cerr && IsTerminal(stderr))
  {
  }

  [[nodiscard]] bool Json() const { return json_; }
  [[nodiscard]] bool Colour() const { return colour_; }
  Progress* Shown() { return &progress_; }

  // The result, in the form asked for; each is made only when wanted.
  void Write(const std::function<std::string()>& text,
             const std::function<ordered_json()>& document)
  {
    progress_.Clear();
    if (json_)
    {
      out_ << document().dump(2, ' ', false, ordered_json::error_handler_t::replace) << '\n';
    }
    else
    {
      out_ << text();
    }
  }

  // A command that fails before it contacts anyone: each problem on a line
  // of its own on `errors`, or as JSON; wrong usage, as the status says.
  int Fail(const std::vector<ClusterProblem>& problems)
  {
    constexpr int status = ExitUsage;
    progress_.Clear();
    std::string text;
    ordered_json list = ordered_json::array();
    for (const ClusterProblem& problem : problems)
    {
      text += (text.empty() ? "" : "\n") + ProblemText(problem);
      list.push_back({{"file", problem.At ? ordered_json(problem.At->File) : nullptr},
                      {"line", problem.At ? ordered_json(problem.At->Line) : nullptr},
                      {"column", problem.At ? ordered_json(problem.At->Column) : nullptr},
                      {"message", problem.Message}});
    }
    if (!json_)
    {
      errors_ << "ashgrove-config: " << text << '\n';
      return status;
    }
    Write({},
          [&]
          {
            return ordered_json{{"error", text},
                                {"errors", list},
                                {"servers", ordered_json::array()},
                                {"status", status}};
          });
    return status;
  }

  int Fail(const std::string& message) { return Fail({{std::nullopt, message}}); }

  // Something to know that is no result, such as what could not be cleaned.
  void Warn(const std::string& message) { errors_ << "ashgrove-config: " << message << '\n'; }

private:
  bool json_;
  std::ostream& out_;
  std::ostream& errors_;
  bool colour_;
  Progress progress_;
};

// The password for --rcon: from --password-file or the environment, never
// both.
std::string RconPassword(const Command& command)
{
  const std::string variable = rcon::PasswordVariable;
  auto password = rcon::ResolvePassword(
      {.File = command.PasswordFile, .Variable = variable},
      "the RCON password is given twice, in --password-file and in " + variable + ": give one");
  if (!password)
  {
    throw rcon::PasswordError("give the RCON password in --password-file FILE or in " + variable);
  }
  return std::move(*password);
}

std::string RconPasswordSource(const Command& command)
{
  return command.PasswordFile
             ? "the password in " + Utf8(*command.PasswordFile) + " (--password-file)"
             : std::string("the password in ") + rcon::PasswordVariable;
}

// What `reload` is to do: to which servers, and where their folders are.
struct ReloadPlan
{
  std::vector<ServerLabel> Labels;
  std::vector<ReloadTarget> Targets;
  std::vector<std::optional<fs::path>> Folders;
};

bool Always(const ClusterServer& /*server*/)
{
  return true;
}

bool HasFolder(const ClusterServer& server)
{
  return server.ServerDir.has_value();
}

ServerLabel LabelOf(const ClusterServer& server)
{
  return {server.Name, rcon::Describe(server.Address), PasswordSourceText(server)};
}

ReloadPlan PlanReload(const Command& command)
{
  ReloadPlan plan;
  if (command.Rcon)
  {
    std::string why;
    const auto address = rcon::ParseServerAddress(*command.Rcon, why);
    if (!address)
    {
      throw ClusterError("--rcon " + *command.Rcon + ": " + why);
    }
    const std::string shown = rcon::Describe(*address);
    plan.Labels.push_back({shown, shown, RconPasswordSource(command)});
    plan.Targets.push_back({shown, *address, RconPassword(command)});
    plan.Folders.emplace_back(); // a server named by its address alone has no folder
    return plan;
  }
  const ClusterSelection selection =
      SelectFromClusterFile(*command.Cluster, command.Servers, Always);
  for (std::size_t i = 0; i < selection.Servers.size(); ++i)
  {
    const ClusterServer& server = selection.Servers[i];
    plan.Labels.push_back(LabelOf(server));
    plan.Targets.push_back({server.Name, server.Address, selection.Passwords[i]});
    plan.Folders.push_back(server.ServerDir);
  }
  return plan;
}

// Reloads each server once no deploy holds its folder, so that what it
// answers holds for the file that stays; one whose folder stays held is
// not sent anything.
std::vector<ReloadResult> ReloadUnlocked(const ReloadPlan& plan, const Command& command,
                                         Progress* shown)
{
  const Clock::time_point waited = Clock::now();
  const FolderLocks locks(plan.Folders, LockKind::Shared,
                          waited + Milliseconds(command.LockTimeoutSeconds), shown);
  std::vector<std::size_t> free;
  std::vector<ReloadTarget> to_send;
  std::vector<ReloadResult> results(plan.Targets.size());
  for (std::size_t i = 0; i < plan.Targets.size(); ++i)
  {
    if (const auto& held = locks.NotLocked(i))
    {
      results[i] = {ReloadOutcome::TimedOut, "", "not sent: " + *held, Since(waited)};
      continue;
    }
    free.push_back(i);
    to_send.push_back(plan.Targets[i]);
  }
  const std::vector<ReloadResult> sent =
      ReloadAll(to_send, {Milliseconds(command.TimeoutSeconds), shown, false});
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

// The command that reloads one server of the cluster, waiting as this one
// was told to.
std::string ReloadCommandFor(const Command& command, const Cluster& cluster)
{
  std::string finish = "ashgrove-config reload --cluster " + ShellWord(cluster.Shown);
  for (const std::string& word : command.WaitOptions)
  {
    finish += " " + ShellWord(word);
  }
  return finish + " --server";
}

// The file to deploy, read once and checked, with its check's report.
struct DeploySource
{
  std::string Shown;
  SourceFile Read;
  ordered_json Report;
};

int RefuseToDeploy(const DeploySource& source, Output& output)
{
  const CheckResult& check = source.Read.Check.Result;
  const std::string message =
      source.Shown + " is deployed nowhere: " +
      (check.Error ? "the server would refuse it" : "it has warnings, and --strict is given");
  output.Write([&] { return TextReport(source.Shown, check) + "\n" + message + "\n"; },
               [&]
               {
                 ordered_json report = source.Report;
                 report["error"] = message;
                 report["servers"] = ordered_json::array();
                 report["status"] = ExitRefused;
                 return report;
               });
  return ExitRefused;
}

std::string DeployHeading(const Command& command, const DeploySource& source,
                          const Cluster& cluster)
{
  return command.DryRun ? "a dry run: " + source.Shown + " would go to " + cluster.Shown +
                              "; nothing is written or reloaded:\n"
                        : "deploying " + source.Shown + " to " + cluster.Shown + ":\n";
}

int ReportDeploy(const Command& command, const DeploySource& source,
                 const ClusterSelection& selection, const std::vector<DeployResult>& results,
                 std::chrono::milliseconds took, Output& output)
{
  std::vector<ServerLabel> labels;
  for (const ClusterServer& server : selection.Servers)
  {
    labels.push_back(LabelOf(server));
  }
  for (std::size_t i = 0; i < results.size(); ++i)
  {
    for (const std::string& leftover : results[i].Leftovers)
    {
      output.Warn(selection.Servers[i].Name + ": " + leftover +
                  " (left by a deploy stopped half-way)");
    }
  }
  const std::string finish = ReloadCommandFor(command, selection.File);
  output.Write(
      [&]
      {
        return TextReport(source.Shown, source.Read.Check.Result) + "\n" +
               DeployHeading(command, source, selection.File) +
               DeployText(labels, results, took, finish, output.Colour());
      },
      [&]
      {
        ordered_json report = source.Report;
        const ordered_json deployed = DeployJson(labels, results, took, finish);
        for (const auto& [key, value] : deployed.items())
        {
          report[key] = value;
        }
        return report;
      });
  return DeployStatus(results);
}
} // namespace

int RunCheck(const Command& command, std::ostream& out, std::ostream& errors)
{
  Output output(command, out, errors);
  const fs::path path = FileToCheck(command);
  const bool piped = path == "-";
  const std::string shown = piped ? "<stdin>" : Utf8(path);
  const FileCheck check = piped ? ReadStandardInput().Check : CheckSettingsFile(path);
  if (check.Unreadable)
  {
    const std::string message = "cannot read " + shown + ": " + *check.Unreadable +
                                " (a reload would answer \"" + std::string(CannotOpenConfig) +
                                "\")";
    if (!output.Json())
    {
      return output.Fail(message);
    }
    output.Write({},
                 [&]
                 {
                   return ordered_json{{"file", shown},
                                       {"outcome", "unreadable"},
                                       {"status", ExitUsage},
                                       {"error",
                                        {{"text", CannotOpenConfig},
                                         {"kind", KindWord(RefusalKind::Open)},
                                         {"reason", message}}},
                                       {"warnings", ordered_json::array()}};
                 });
    return ExitUsage;
  }
  output.Write([&] { return TextReport(shown, check.Result); },
               [&] { return JsonReport(shown, check.Result, command.Strict); });
  return CheckStatus(check.Result, command.Strict);
}

int RunSchema(const Command& command, std::ostream& out)
{
  out << (command.ClusterSchema ? ClusterSchema().dump(2) + "\n" : SchemaText());
  return ExitLoads;
}

int RunReload(const Command& command, std::ostream& out, std::ostream& errors)
{
  Output output(command, out, errors);
  ReloadPlan plan;
  try
  {
    plan = PlanReload(command);
  }
  catch (const ClusterError& error)
  {
    return output.Fail(error.Problems());
  }
  catch (const std::runtime_error& error)
  {
    // A password that will not do: nothing is sent.
    return output.Fail(error.what());
  }
  const Clock::time_point started = Clock::now();
  const std::vector<ReloadResult> results = ReloadUnlocked(plan, command, output.Shown());
  const std::chrono::milliseconds took = Since(started);
  output.Write([&] { return ReloadText(plan.Labels, results, took, output.Colour()); },
               [&] { return ReloadJson(plan.Labels, results, took); });
  return ReloadStatus(results);
}

int RunDeploy(const Command& command, std::ostream& out, std::ostream& errors)
{
  Output output(command, out, errors);
  ClusterSelection selection;
  try
  {
    selection = SelectFromClusterFile(*command.Cluster, command.Servers, HasFolder);
  }
  catch (const ClusterError& error)
  {
    return output.Fail(error.Problems());
  }
  DeploySource source{Utf8(*command.File), {}, {}};
  try
  {
    source.Read = ReadSourceFile(*command.File);
  }
  catch (const ChangedWhileRead& changed)
  {
    return output.Fail(changed.what());
  }
  const FileCheck& check = source.Read.Check;
  if (check.Unreadable)
  {
    return output.Fail("cannot read " + source.Shown + ": " + *check.Unreadable);
  }
  source.Report = {{"file", source.Shown},
                   {"check", JsonReport(source.Shown, check.Result, command.Strict)}};
  if (CheckStatus(check.Result, command.Strict) != ExitLoads)
  {
    return RefuseToDeploy(source, output);
  }
  DeployRequest request{source.Read.Bytes,
                        *check.Result.Settings,
                        command.DryRun,
                        Milliseconds(command.TimeoutSeconds),
                        Milliseconds(command.LockTimeoutSeconds),
                        output.Shown()};
  const Clock::time_point started = Clock::now();
  const std::vector<DeployResult> results = Deploy(selection.Servers, selection.Passwords, request);
  return ReportDeploy(command, source, selection, results, Since(started), output);
}
} // namespace configtool
