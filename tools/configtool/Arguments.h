#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace configtool
{
enum class CommandKind
{
  Check,
  Schema,
  Reload,
  Deploy,
  Help,
  Version,
};

struct Command
{
  CommandKind Kind = CommandKind::Help;
  std::optional<std::filesystem::path> File; // check and deploy: the settings file
  std::optional<std::filesystem::path> ServerDir;
  bool Strict = false;
  bool Json = false;
  bool ClusterSchema = false; // schema --cluster
  std::optional<std::filesystem::path> Cluster;
  std::vector<std::string> Servers; // --server NAME, in the order given
  std::optional<std::string> Rcon;  // HOST:PORT
  std::optional<std::filesystem::path> PasswordFile;
  double TimeoutSeconds = 5.0;
  double LockTimeoutSeconds = 30.0; // how long to wait for a folder another deploy holds
  bool DryRun = false;
};

struct ParsedCommand
{
  Command Value;
  std::optional<std::string> Error; // what is wrong with the command line, in words
};

// The words after the program's name. Paths stay paths of the system's own
// kind, so that names in any language reach the file functions intact.
ParsedCommand ParseCommand(const std::vector<std::filesystem::path>& arguments);
} // namespace configtool
