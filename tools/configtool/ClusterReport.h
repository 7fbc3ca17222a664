#pragma once

#include <chrono>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "configtool/ClusterReload.h"
#include "configtool/Deploy.h"

namespace configtool
{
// One server as the reports name it.
struct ServerLabel
{
  std::string Name;
  std::string Address; // HOST:PORT as the operator writes it
  // Where its password comes from, for when the server refuses it: "the
  // password in FILE (passwordFile at cluster.json:LINE:COLUMN)".
  std::string PasswordSource;
};

// Exit statuses of `reload` and `deploy`: 0 every server took the settings,
// 1 at least one refused them (or they could not be put in place), 3 at
// least one could not be reached, authenticated or answered; 3 wins over 1.
int ReloadStatus(const std::vector<ReloadResult>& results);
int DeployStatus(const std::vector<DeployResult>& results);

// For people: a line per server in the cluster file's order, then a summary;
// with `colour`, each outcome word coloured for a terminal.
std::string ReloadText(const std::vector<ServerLabel>& servers,
                       const std::vector<ReloadResult>& results, std::chrono::milliseconds took,
                       bool colour = false);

// `finish` is the command that reloads one server by name, for a server
// that has the new file but could not be reloaded.
std::string DeployText(const std::vector<ServerLabel>& servers,
                       const std::vector<DeployResult>& results, std::chrono::milliseconds took,
                       const std::string& finish, bool colour = false);

// For scripts: the same as one JSON object.
nlohmann::ordered_json ReloadJson(const std::vector<ServerLabel>& servers,
                                  const std::vector<ReloadResult>& results,
                                  std::chrono::milliseconds took);
nlohmann::ordered_json DeployJson(const std::vector<ServerLabel>& servers,
                                  const std::vector<DeployResult>& results,
                                  std::chrono::milliseconds took, const std::string& finish);

// The command that finishes the job on a server: `finish` and its name.
std::string FinishCommand(const std::string& finish, const std::string& name);

// A word as a shell reads it back: quoted when it needs to be.
std::string ShellWord(const std::string& text);
} // namespace configtool
