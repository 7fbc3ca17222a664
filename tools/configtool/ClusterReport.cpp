#include "configtool/ClusterReport.h"

#include <algorithm>
#include <map>

#include <fmt/format.h>

#include "configtool/Report.h"
#include "configtool/Text.h"

namespace configtool
{
namespace
{
using nlohmann::ordered_json;

// A server's line: its name, address, outcome and what to know about it,
// then indented notes.
struct Row
{
  std::string Name;
  std::string Address;
  std::string Outcome;
  std::string Detail;
  std::vector<std::string> Notes;
};

std::string Milliseconds(std::chrono::milliseconds elapsed)
{
  return fmt::format("in {} ms", elapsed.count());
}

// What a reload came to, in a few words.
std::string ReloadDetail(const ReloadResult& result)
{
  switch (result.Outcome)
  {
  case ReloadOutcome::Reloaded:
    return Milliseconds(result.Elapsed);
  case ReloadOutcome::Refused:
    return result.Reply;
  default:
    break;
  }
  return result.Error;
}

// What would help where a reload could not happen; nothing where trying
// again is all there is to do.
std::string NextStep(const ReloadResult& result, const ServerLabel& server)
{
  if (result.Outcome == ReloadOutcome::AuthFailed && !server.PasswordSource.empty())
  {
    return "check " + server.PasswordSource;
  }
  if (result.Outcome == ReloadOutcome::Unexpected && result.Reply.rfind("Unknown command", 0) == 0)
  {
    return "is the plugin loaded on this server?";
  }
  return "";
}

std::string WithNextStep(const std::string& detail, const std::string& next)
{
  return next.empty() ? detail : detail + "; " + next;
}

// Outcome words on a terminal: green went well, red failed, yellow needs a
// look, cyan a dry run's.
std::string Coloured(const std::string& word)
{
  const char* colour = "33";
  if (word == "reloaded")
  {
    colour = "32";
  }
  else if (word == "refused" || word == "rolled-back" || word == "not-deployed" ||
           word == "unreachable" || word == "auth-failed")
  {
    colour = "31";
  }
  else if (word == "dry-run")
  {
    colour = "36";
  }
  return fmt::format("\x1b[{}m{}\x1b[0m", colour, word);
}

std::string Table(const std::vector<Row>& rows, bool colour)
{
  // A lone server named by its address shows it once.
  const bool names =
      std::any_of(rows.begin(), rows.end(), [](const Row& row) { return row.Name != row.Address; });
  std::size_t name_width = 0;
  std::size_t address_width = 0;
  std::size_t outcome_width = 0;
  for (const Row& row : rows)
  {
    name_width = std::max(name_width, row.Name.size());
    address_width = std::max(address_width, row.Address.size());
    outcome_width = std::max(outcome_width, row.Outcome.size());
  }
  std::string out;
  for (const Row& row : rows)
  {
    std::string line;
    if (names)
    {
      line += fmt::format("{:<{}}  ", row.Name, name_width);
    }
    const std::string padding(outcome_width - row.Outcome.size(), ' ');
    line +=
        fmt::format("{:<{}}  {}{}  {}", row.Address, address_width,
                    colour ? Coloured(row.Outcome) : row.Outcome, padding, Printable(row.Detail));
    line.erase(line.find_last_not_of(' ') + 1);
    out += line + "\n";
    for (const std::string& note : row.Notes)
    {
      out += "    " + Printable(note) + "\n";
    }
  }
  return out;
}

// "6 servers in 5.01 s: 3 reloaded, 2 refused, 1 timed-out", the outcomes
// in the order their words are given.
std::string Summary(const std::vector<std::string>& outcomes, const std::vector<std::string>& order,
                    std::chrono::milliseconds took)
{
  std::string counts;
  for (const std::string& word : order)
  {
    const auto count = std::count(outcomes.begin(), outcomes.end(), word);
    if (count > 0)
    {
      counts += fmt::format("{}{} {}", counts.empty() ? "" : ", ", count, word);
    }
  }
  return fmt::format("{} server{} in {:.2f} s: {}\n", outcomes.size(),
                     outcomes.size() == 1 ? "" : "s", std::chrono::duration<double>(took).count(),
                     counts);
}

// Every outcome's word, in the enumeration's order.
template <class Outcome> std::vector<std::string> AllWords(Outcome last)
{
  std::vector<std::string> words;
  for (int value = 0; value <= static_cast<int>(last); ++value)
  {
    words.emplace_back(OutcomeWord(static_cast<Outcome>(value)));
  }
  return words;
}

// Whether a deploy that ended so left the new settings in force.
bool InForce(DeployOutcome outcome)
{
  return outcome != DeployOutcome::RolledBack && outcome != DeployOutcome::Refused &&
         outcome != DeployOutcome::NotDeployed;
}

std::vector<std::string> ChangeNotes(const Changes& changes, DeployOutcome outcome)
{
  if (changes.SameBytes)
  {
    return {"unchanged: the same bytes are in place"};
  }
  std::vector<std::string> notes;
  if (changes.Before == Changes::InPlace::Missing)
  {
    notes.emplace_back("no config.json in place yet");
  }
  else if (changes.Before == Changes::InPlace::Refused)
  {
    notes.push_back("the file in place would be refused: " + changes.Refusal);
  }
  else if (changes.Settings.empty())
  {
    notes.emplace_back("the same settings; only the file's text differs");
  }
  std::size_t width = 0;
  for (const SettingChange& change : changes.Settings)
  {
    width = std::max(width, change.Key.size());
  }
  if (!changes.Settings.empty() && !InForce(outcome))
  {
    notes.emplace_back("not in force:");
  }
  for (const SettingChange& change : changes.Settings)
  {
    notes.push_back(change.Old.is_null()
                        ? fmt::format("{:<{}}  {}", change.Key, width, change.New.dump())
                        : fmt::format("{:<{}}  {} \u2192 {}", change.Key, width, change.Old.dump(),
                                      change.New.dump()));
  }
  return notes;
}

// Why a refused file was not put back: other servers load it too.
std::string SharedFileText(const std::string& names)
{
  return "it is shared with " + names + ", which did not refuse it";
}

// How a rollback went: the file put back (or the new one removed, when there
// was none), and the server's answer to reloading again.
std::string RollbackDetail(const DeployResult& result)
{
  const bool reloaded =
      result.AfterRollback && result.AfterRollback->Outcome == ReloadOutcome::Reloaded;
  std::string detail =
      result.Reload->Reply + (result.HadPrevious ? "; the previous file is back"
                                                 : "; the new file is removed again, as there "
                                                   "was none before");
  if (reloaded || !result.AfterRollback)
  {
    return detail + (reloaded ? " and reloaded" : "");
  }
  const ReloadResult& again = *result.AfterRollback;
  if (again.Outcome == ReloadOutcome::Refused)
  {
    return detail +
           (result.HadPrevious ? ", but the server refuses it too: "
                               : ", but the server refuses to do without it: ") +
           again.Reply;
  }
  return fmt::format("{}, but reloading again: {} {}", detail, OutcomeWord(again.Outcome),
                     ReloadDetail(again));
}

std::string DeployDetail(const DeployResult& result, const std::string& finish,
                         const ServerLabel& server)
{
  switch (result.Outcome)
  {
  case DeployOutcome::Reloaded:
    return Milliseconds(result.Reload->Elapsed);
  case DeployOutcome::Refused:
    if (!result.SharedWith.empty())
    {
      return result.Reload->Reply +
             "; the refused file stays in place: " + SharedFileText(result.SharedWith);
    }
    return result.Reload->Reply +
           (result.Error.empty()
                ? "; the same bytes were in place before"
                : "; the previous file could not be put back, so the refused one is in place: " +
                      result.Error);
  case DeployOutcome::RolledBack:
    return RollbackDetail(result);
  case DeployOutcome::DeployedNotReloaded:
  {
    const std::string next = NextStep(*result.Reload, server);
    if (result.Predicted)
    {
      return WithNextStep(ReloadDetail(*result.Reload), next) +
             "; the file would be put in place and not reloaded";
    }
    const std::string then = next.empty()         ? ""
                             : next.back() == '?' ? next + " Once it is, "
                                                  : next + "; then, ";
    return fmt::format("{}; {}to reload it: {}", ReloadDetail(*result.Reload), then,
                       FinishCommand(finish, server.Name));
  }
  case DeployOutcome::NotDeployed:
    return result.Error;
  case DeployOutcome::Skipped:
    return "no serverDir in the cluster file";
  case DeployOutcome::DryRun:
    return "the folder takes the file and the server its password; nothing written or reloaded";
  }
  return {};
}

ordered_json TextOrNull(const std::string& text)
{
  return text.empty() ? ordered_json(nullptr) : ordered_json(text);
}

ordered_json ServerJson(const ServerLabel& server, const char* outcome,
                        const std::optional<ReloadResult>& reload, const std::string& error)
{
  return {{"name", server.Name},
          {"address", server.Address},
          {"outcome", outcome},
          {"reply", reload ? TextOrNull(reload->Reply) : nullptr},
          {"error", TextOrNull(error.empty() && reload ? reload->Error : error)},
          {"milliseconds", reload ? ordered_json(reload->Elapsed.count()) : nullptr},
          {"next", reload ? TextOrNull(NextStep(*reload, server)) : nullptr}};
}

ordered_json ChangesJson(const Changes& changes)
{
  ordered_json settings = ordered_json::array();
  for (const SettingChange& change : changes.Settings)
  {
    settings.push_back({{"key", change.Key}, {"old", change.Old}, {"new", change.New}});
  }
  const char* before = changes.Before == Changes::InPlace::Missing ? "missing"
                       : changes.Before == Changes::InPlace::Loads ? "loads"
                                                                   : "refused";
  return {{"unchanged", changes.SameBytes},
          {"inPlace", before},
          {"refusal", TextOrNull(changes.Refusal)},
          {"settings", settings}};
}

// Whether this deploy left a new file in the server's folder: one put back,
// or the same bytes found in place, is none.
bool Written(const DeployResult& result)
{
  switch (result.Outcome)
  {
  case DeployOutcome::Reloaded:
  case DeployOutcome::Refused:
  case DeployOutcome::DeployedNotReloaded:
    return !result.Predicted && !result.What.SameBytes;
  default:
    return false;
  }
}

ordered_json Document(ordered_json servers, int status, std::chrono::milliseconds took)
{
  return {{"servers", std::move(servers)},
          {"status", status},
          {"seconds", std::chrono::duration<double>(took).count()}};
}
} // namespace

int ReloadStatus(const std::vector<ReloadResult>& results)
{
  int status = ExitLoads;
  for (const ReloadResult& result : results)
  {
    if (result.Outcome == ReloadOutcome::Refused)
    {
      status = std::max(status, ExitRefused);
    }
    else if (result.Outcome != ReloadOutcome::Reloaded)
    {
      status = ExitNotReached;
    }
  }
  return status;
}

int DeployStatus(const std::vector<DeployResult>& results)
{
  int status = ExitLoads;
  for (const DeployResult& result : results)
  {
    switch (result.Outcome)
    {
    case DeployOutcome::Refused:
    case DeployOutcome::RolledBack:
    case DeployOutcome::NotDeployed:
      status = std::max(status, ExitRefused);
      break;
    case DeployOutcome::DeployedNotReloaded:
      status = ExitNotReached;
      break;
    default:
      break;
    }
  }
  return status;
}

std::string ReloadText(const std::vector<ServerLabel>& servers,
                       const std::vector<ReloadResult>& results, std::chrono::milliseconds took,
                       bool colour)
{
  std::vector<Row> rows;
  std::vector<std::string> outcomes;
  for (std::size_t i = 0; i < servers.size(); ++i)
  {
    outcomes.emplace_back(OutcomeWord(results[i].Outcome));
    rows.push_back({servers[i].Name,
                    servers[i].Address,
                    outcomes.back(),
                    WithNextStep(ReloadDetail(results[i]), NextStep(results[i], servers[i])),
                    {}});
  }
  return Table(rows, colour) + Summary(outcomes, AllWords(LastReloadOutcome), took);
}

std::string DeployText(const std::vector<ServerLabel>& servers,
                       const std::vector<DeployResult>& results, std::chrono::milliseconds took,
                       const std::string& finish, bool colour)
{
  std::vector<Row> rows;
  std::vector<std::string> outcomes;
  for (std::size_t i = 0; i < servers.size(); ++i)
  {
    const DeployResult& result = results[i];
    outcomes.emplace_back(OutcomeWord(result.Outcome));
    rows.push_back({servers[i].Name, servers[i].Address, outcomes.back(),
                    DeployDetail(result, finish, servers[i]),
                    result.Outcome == DeployOutcome::Skipped
                        ? std::vector<std::string>{}
                        : ChangeNotes(result.What, result.Outcome)});
  }
  const bool none_deployed =
      !results.empty() &&
      std::all_of(results.begin(), results.end(),
                  [](const DeployResult& r) { return r.Outcome == DeployOutcome::Skipped; });
  // Every row saying "skipped" is easy to misread as success.
  const std::string warning =
      none_deployed ? "nothing was deployed: no selected server has a serverDir\n" : "";
  return Table(rows, colour) + warning + Summary(outcomes, AllWords(LastDeployOutcome), took);
}

ordered_json ReloadJson(const std::vector<ServerLabel>& servers,
                        const std::vector<ReloadResult>& results, std::chrono::milliseconds took)
{
  ordered_json list = ordered_json::array();
  for (std::size_t i = 0; i < servers.size(); ++i)
  {
    list.push_back(ServerJson(servers[i], OutcomeWord(results[i].Outcome), results[i], ""));
  }
  return Document(std::move(list), ReloadStatus(results), took);
}

ordered_json DeployJson(const std::vector<ServerLabel>& servers,
                        const std::vector<DeployResult>& results, std::chrono::milliseconds took,
                        const std::string& finish)
{
  ordered_json list = ordered_json::array();
  for (std::size_t i = 0; i < servers.size(); ++i)
  {
    const DeployResult& result = results[i];
    const std::string error = result.Outcome == DeployOutcome::Skipped
                                  ? DeployDetail(result, finish, servers[i])
                              : !result.SharedWith.empty() ? SharedFileText(result.SharedWith)
                                                           : result.Error;
    ordered_json server = ServerJson(servers[i], OutcomeWord(result.Outcome), result.Reload, error);
    server["changes"] =
        result.Outcome == DeployOutcome::Skipped ? ordered_json(nullptr) : ChangesJson(result.What);
    server["written"] = Written(result);
    server["afterRollback"] =
        result.AfterRollback ? ServerJson(servers[i], OutcomeWord(result.AfterRollback->Outcome),
                                          result.AfterRollback, "")
                             : ordered_json(nullptr);
    server["reloadCommand"] =
        result.Outcome == DeployOutcome::DeployedNotReloaded && !result.Predicted
            ? ordered_json(FinishCommand(finish, servers[i].Name))
            : ordered_json(nullptr);
    list.push_back(std::move(server));
  }
  return Document(std::move(list), DeployStatus(results), took);
}

std::string FinishCommand(const std::string& finish, const std::string& name)
{
  return finish + " " + ShellWord(name);
}

std::string ShellWord(const std::string& text)
{
  if (!text.empty() && text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                              "0123456789-_./:=+,@") == std::string::npos)
  {
    return text;
  }
#if defined(_WIN32)
  // The Windows command prompt and PowerShell both take double quotes; a
  // name that holds one, or a '%', would need each shell's own escaping.
  return "\"" + text + "\"";
#else
  std::string quoted = "'";
  for (const char c : text)
  {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
#endif
}
} // namespace configtool
