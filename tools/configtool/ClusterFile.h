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
// A place in a file, as FILE:LINE:COLUMN.
struct FilePlace
{
  std::string File;
  int Line = 0;
  int Column = 0;
};

// Something wrong with a cluster file or what it names: at a place in the
// file, or, without one, about the file as a whole.
struct ClusterProblem
{
  std::optional<FilePlace> At;
  std::string Message;
};

// "FILE:LINE:COLUMN".
std::string PlaceText(const FilePlace& place);

// "FILE:LINE:COLUMN: error: MESSAGE", or the message alone.
std::string ProblemText(const ClusterProblem& problem);

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
  // Where the file gives them, for errors found later.
  FilePlace PasswordSourceAt;
  FilePlace ServerDirAt;
};

struct Cluster
{
  std::string Shown; // the file, as the operator named it
  std::vector<ClusterServer> Servers;
};

// What is wrong with a cluster file: every problem, and as text one
// "FILE:LINE:COLUMN: error: ..." line for each.
class ClusterError : public std::runtime_error
{
public:
  explicit ClusterError(std::vector<ClusterProblem> problems);
  explicit ClusterError(const std::string& message) : ClusterError({{std::nullopt, message}}) {}
  [[nodiscard]] const std::vector<ClusterProblem>& Problems() const { return problems_; }

private:
  std::vector<ClusterProblem> problems_;
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

// A cluster file read as far as it can be: the servers it describes whole,
// and the problems of the rest, so that they can be told together with
// those found later. Throws ClusterError only where nothing can be read.
struct ClusterReading
{
  Cluster Value;
  std::vector<ClusterProblem> Problems;
};
ClusterReading ReadClusterAsFarAsItGoes(const std::filesystem::path& path);

// The servers named, in the cluster file's order; all of them when none is.
// Throws ClusterError for a name the cluster does not have, naming those it
// has.
std::vector<ClusterServer> SelectServers(const Cluster& cluster,
                                         const std::vector<std::string>& names);

// The servers a command works on, from a cluster file, with the passwords
// of those that `needs_password` picks (empty for the others).
struct ClusterSelection
{
  Cluster File;
  std::vector<ClusterServer> Servers;
  std::vector<std::string> Passwords;
};

// Reads the cluster file, picks the servers named (all when none is) and
// gets their passwords, and throws one ClusterError with every problem it
// met on the way: the file's, the names', the password sources'.
ClusterSelection SelectFromClusterFile(const std::filesystem::path& path,
                                       const std::vector<std::string>& names,
                                       bool (*needs_password)(const ClusterServer&));

// Where a server's password comes from, for when the server refuses it:
// "the password in FILE (passwordFile at cluster.json:LINE:COLUMN)".
std::string PasswordSourceText(const ClusterServer& server);

// The RCON password of a server, from its file or its environment variable.
// Throws ClusterError, placed where the cluster file names the source, when
// it cannot be had.
std::string ServerPassword(const ClusterServer& server);

// The JSON Schema (draft 2020-12) of the cluster file, as shipped in
// config/cluster.schema.json.
nlohmann::ordered_json ClusterSchema();
} // namespace configtool
