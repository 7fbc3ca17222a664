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
  std::optional<std::filesystem::path> File; // check and deploy: the settings file; "-" for stdin
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
  // The waiting options as they were given, for a reload command to suggest
  // that waits as this one did.
  std::vector<std::string> WaitOptions;
};

struct ParsedCommand
{
  Command Value;
  std::optional<std::string> Error; // what is wrong with the command line, in words
  std::string HelpCommand;          // where the help is, for the error's second line
};

// The words after the program's name, as UTF-8 (on Windows, converted from
// the system's wide text, so that paths in any language come through).
ParsedCommand ParseCommand(const std::vector<std::string>& arguments);
} // namespace configtool
