#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "rcon/Client.h"

namespace configtool
{
// One game server of a cluster, as its cluster file describes it.
struct ClusterServer
{
  std::string Name;
  rcon::ServerAddress Address;
  // Exactly one of these gives the RCON password.
  std::optional<std::filesystem::path>
      PasswordFile; // relative ones resolved against the file's folder
  std::optional<std::string> PasswordEnv;
  // The server's folder on this machine, the one below which the plugin
  // reads its settings file; none for a server that is only reloaded.
  std::optional<std::filesystem::path> ServerDir;
  std::string PasswordSourceAt; // "FILE:LINE:COLUMN", for errors found later
};

struct Cluster
{
  std::string Shown; // the file, as the operator named it
  std::vector<ClusterServer> Servers;
};

// What is wrong with a cluster file, one "FILE:LINE:COLUMN: error: ..." line
// for each fault.
class ClusterError : public std::runtime_error
{
public:
  using std::runtime_error::runtime_error;
};

// Reads a cluster file strictly: {"servers": [{"name", "rcon", "passwordFile"
// or "passwordEnv", "serverDir"}, ...]} and nothing else. An unknown key, a
// key given twice, a duplicate name, a missing field, a bad address or a
// password written into the file itself throws ClusterError listing every
// fault with its place.
Cluster ReadClusterFile(const std::filesystem::path& path);

// The same for a cluster file's bytes; `path` places it, for relative paths
// and for the messages.
Cluster ReadClusterText(const std::string& bytes, const std::filesystem::path& path);

// The servers named, in the cluster file's order; all of them when none is.
// Throws ClusterError for a name the cluster does not have.
std::vector<ClusterServer> SelectServers(const Cluster& cluster,
                                         const std::vector<std::string>& names);

// The RCON password of a server, from its file or its environment variable.
// Throws ClusterError, placed where the cluster file names the source, when
// it cannot be had.
std::string ServerPassword(const ClusterServer& server);

// The JSON Schema (draft 2020-12) of the cluster file, as shipped in
// config/cluster.schema.json.
nlohmann::ordered_json ClusterSchema();
} // namespace configtool
