#include "configtool/Arguments.h"

#include "configtool/Text.h"

#include <algorithm>
#include <charconv>

namespace configtool
{
namespace
{
ParsedCommand Failed(std::string error)
{
  return {Command{}, std::move(error)};
}

enum class Takes
{
  Nothing,
  Path,
  Text,
  Seconds,
  Wait, // seconds, none at all included
};

struct Option
{
  const char* Name;
  Takes What;
  const char* Needs; // what the value is, for the message when it is missing
};

// What each command takes: its options, and how many files it names.
struct Shape
{
  std::vector<Option> Options;
  std::size_t Files = 0;
};

constexpr Option Strict{"--strict", Takes::Nothing, ""};
constexpr Option Json{"--json", Takes::Nothing, ""};
constexpr Option DryRun{"--dry-run", Takes::Nothing, ""};
constexpr Option ServerDir{"--server-dir", Takes::Path, "a folder"};
constexpr Option ClusterFile{"--cluster", Takes::Path, "a cluster file"};
constexpr Option ClusterSchema{"--cluster", Takes::Nothing, ""};
constexpr Option PasswordFile{"--password-file", Takes::Path, "a file"};
constexpr Option Rcon{"--rcon", Takes::Text, "HOST:PORT"};
constexpr Option Server{"--server", Takes::Text, "a server's name"};
constexpr Option Timeout{"--timeout", Takes::Seconds, "seconds"};
constexpr Option LockTimeout{"--lock-timeout", Takes::Wait, "seconds"};

Shape ShapeOf(CommandKind kind)
{
  switch (kind)
  {
  case CommandKind::Check:
    return {{ServerDir, Strict, Json}, 1};
  case CommandKind::Schema:
    return {{ClusterSchema}, 0};
  case CommandKind::Reload:
    return {{Rcon, PasswordFile, ClusterFile, Server, Timeout, LockTimeout, Json}, 0};
  case CommandKind::Deploy:
    return {{ClusterFile, Server, Timeout, LockTimeout, Strict, DryRun, Json}, 1};
  case CommandKind::Help:
  case CommandKind::Version:
    break;
  }
  return {};
}

std::optional<CommandKind> KindOf(const std::string& word)
{
  if (word == "check")
  {
    return CommandKind::Check;
  }
  if (word == "schema")
  {
    return CommandKind::Schema;
  }
  if (word == "reload")
  {
    return CommandKind::Reload;
  }
  if (word == "deploy")
  {
    return CommandKind::Deploy;
  }
  if (word == "--help" || word == "-h" || word == "help")
  {
    return CommandKind::Help;
  }
  if (word == "--version" || word == "version")
  {
    return CommandKind::Version;
  }
  return std::nullopt;
}

const Option* FindOption(const Shape& shape, const std::string& word)
{
  for (const Option& option : shape.Options)
  {
    if (word == option.Name)
    {
      return &option;
    }
  }
  return nullptr;
}

std::optional<double> ParseSeconds(const std::string& text, double least)
{
  double seconds = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (error != std::errc() || end != text.data() + text.size() || !(seconds >= least) ||
      seconds > 3600.0)
  {
    return std::nullopt;
  }
  return seconds;
}

// Stores an option's value; an error in words when it cannot.
std::optional<std::string> Store(Command& command, const Option& option,
                                 const std::filesystem::path& value)
{
  const std::string name = option.Name;
  const auto once = [&](auto& slot) -> std::optional<std::string>
  {
    if (slot)
    {
      return name + " given twice";
    }
    slot = value;
    return std::nullopt;
  };
  if (name == "--server-dir")
  {
    return once(command.ServerDir);
  }
  if (name == "--cluster")
  {
    return once(command.Cluster);
  }
  if (name == "--password-file")
  {
    return once(command.PasswordFile);
  }
  if (name == "--rcon")
  {
    if (command.Rcon)
    {
      return name + " given twice";
    }
    command.Rcon = Utf8(value);
    return std::nullopt;
  }
  if (name == "--server")
  {
    command.Servers.push_back(Utf8(value));
    return std::nullopt;
  }
  const bool wait = option.What == Takes::Wait;
  const auto seconds = ParseSeconds(Utf8(value), wait ? 0.0 : 0.01);
  if (!seconds)
  {
    return name + " takes seconds, from " + (wait ? "0" : "0.01") + " to 3600, not '" +
           Utf8(value) + "'";
  }
  (wait ? command.LockTimeoutSeconds : command.TimeoutSeconds) = *seconds;
  return std::nullopt;
}

std::optional<std::string> SetFlag(Command& command, const std::string& name)
{
  bool& flag = name == "--strict"    ? command.Strict
               : name == "--json"    ? command.Json
               : name == "--dry-run" ? command.DryRun
                                     : command.ClusterSchema;
  if (flag)
  {
    return name + " given twice";
  }
  flag = true;
  return std::nullopt;
}

// What a command's options and files must agree on.
std::optional<std::string> Consistent(const Command& command)
{
  switch (command.Kind)
  {
  case CommandKind::Check:
    if (command.File && command.ServerDir)
    {
      return "give either a file or --server-dir, not both";
    }
    break;
  case CommandKind::Reload:
    if (command.Rcon.has_value() == command.Cluster.has_value())
    {
      return command.Rcon ? "give either --rcon or --cluster, not both"
                          : "reload needs --rcon HOST:PORT or --cluster FILE";
    }
    if (command.PasswordFile && !command.Rcon)
    {
      return "--password-file goes with --rcon; a cluster file names each server's password";
    }
    if (!command.Servers.empty() && !command.Cluster)
    {
      return "--server goes with --cluster";
    }
    break;
  case CommandKind::Deploy:
    if (!command.File)
    {
      return "deploy needs the settings file to deploy";
    }
    if (!command.Cluster)
    {
      return "deploy needs --cluster FILE";
    }
    break;
  default:
    break;
  }
  return std::nullopt;
}

ParsedCommand ParseOptions(CommandKind kind, const std::vector<std::filesystem::path>& arguments)
{
  Command command;
  command.Kind = kind;
  const Shape shape = ShapeOf(kind);
  std::vector<std::filesystem::path> files;
  std::vector<std::string> seen;
  for (std::size_t i = 1; i < arguments.size(); ++i)
  {
    const std::string word = Utf8(arguments[i]);
    if (word == "--help" || word == "-h")
    {
      // Help asked for after a command is help, whatever else is there.
      return {Command{}, std::nullopt};
    }
    const Option* option = FindOption(shape, word);
    if (option != nullptr && option->What == Takes::Nothing)
    {
      if (auto error = SetFlag(command, word))
      {
        return Failed(*error);
      }
    }
    else if (option != nullptr)
    {
      const bool seconds = option->What == Takes::Seconds || option->What == Takes::Wait;
      if (seconds && std::find(seen.begin(), seen.end(), word) != seen.end())
      {
        return Failed(word + " given twice");
      }
      seen.push_back(word);
      if (i + 1 >= arguments.size())
      {
        return Failed(word + " needs " + option->Needs);
      }
      if (auto error = Store(command, *option, arguments[++i]))
      {
        return Failed(*error);
      }
    }
    else if (word.rfind("--", 0) == 0 && word.size() > 2)
    {
      return Failed(shape.Options.empty() ? "unexpected " + word : "unknown option " + word);
    }
    else if (files.size() < shape.Files)
    {
      files.push_back(arguments[i]);
    }
    else if (shape.Files == 0)
    {
      return Failed("unexpected " + word);
    }
    else
    {
      return Failed("more than one file: " + Utf8(files.back()) + " and " + word);
    }
  }
  if (!files.empty())
  {
    command.File = files.front();
  }
  if (auto error = Consistent(command))
  {
    return Failed(*error);
  }
  return {command, std::nullopt};
}
} // namespace

ParsedCommand ParseCommand(const std::vector<std::filesystem::path>& arguments)
{
  if (arguments.empty())
  {
    return Failed("no command");
  }
  const std::string word = Utf8(arguments[0]);
  const std::optional<CommandKind> kind = KindOf(word);
  if (!kind)
  {
    return Failed("unknown command " + word);
  }
  return ParseOptions(*kind, arguments);
}
} // namespace configtool
