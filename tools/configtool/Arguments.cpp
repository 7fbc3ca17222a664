#include "configtool/Arguments.h"

#include <algorithm>
#include <charconv>
#include <map>

#include <CLI/CLI.hpp>

#include "configtool/Text.h"

namespace configtool
{
namespace
{
struct Option
{
  const char* Name;
  const char* Value; // what it takes, for the message when it is missing; none for a flag
};

// What each command takes.
struct Shape
{
  const char* Name;
  CommandKind Kind;
  std::vector<Option> Options;
  bool TakesFile;
};

const std::vector<Shape>& Shapes()
{
  static const std::vector<Shape> shapes = {
      {"check",
       CommandKind::Check,
       {{"--server-dir", "a folder"}, {"--strict", nullptr}, {"--json", nullptr}},
       true},
      {"schema", CommandKind::Schema, {{"--cluster", nullptr}}, false},
      {"reload",
       CommandKind::Reload,
       {{"--rcon", "HOST:PORT"},
        {"--password-file", "a file"},
        {"--cluster", "a cluster file"},
        {"--server", "a server's name"},
        {"--timeout", "seconds"},
        {"--lock-timeout", "seconds"},
        {"--json", nullptr}},
       false},
      {"deploy",
       CommandKind::Deploy,
       {{"--cluster", "a cluster file"},
        {"--server", "a server's name"},
        {"--timeout", "seconds"},
        {"--lock-timeout", "seconds"},
        {"--strict", nullptr},
        {"--dry-run", nullptr},
        {"--json", nullptr}},
       true},
  };
  return shapes;
}

// What CLI11 found for one command: each option's values and each flag's
// count, by name, and the words it did not know.
struct Found
{
  const Shape* Of = nullptr;
  CLI::App* App = nullptr;
  int Help = 0;
  std::vector<std::string> Files;
  std::map<std::string, std::vector<std::string>> Values;
  std::map<std::string, int> Flags;
};

void Declare(CLI::App& app, Found& found)
{
  app.set_help_flag();
  app.allow_extras();
  // A path such as /srv/ark is a path on Windows too, not an option.
  app.allow_windows_style_options(false);
  app.add_flag("-h,--help", found.Help)->disable_flag_override();
  if (found.Of == nullptr)
  {
    return;
  }
  if (found.Of->TakesFile)
  {
    app.add_option("FILE", found.Files);
  }
  for (const Option& option : found.Of->Options)
  {
    if (option.Value == nullptr)
    {
      // A flag takes no value: --dry-run=false is no way to turn one off.
      app.add_flag(option.Name, found.Flags[option.Name])->disable_flag_override();
    }
    else
    {
      // Every time it is given, one value.
      app.add_option(option.Name, found.Values[option.Name])
          ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
          ->expected(1)
          ->allow_extra_args(false);
    }
  }
}

std::vector<std::string> OptionNames(const Shape* shape)
{
  std::vector<std::string> names = {"--help"};
  if (shape == nullptr)
  {
    names.emplace_back("--version");
    return names;
  }
  for (const Option& option : shape->Options)
  {
    names.emplace_back(option.Name);
  }
  return names;
}

std::string WithSuggestion(std::string message, const std::string& word,
                           const std::vector<std::string>& known)
{
  if (const auto nearest = Nearest(word, known))
  {
    message += "; did you mean " + *nearest + "?";
  }
  return message;
}

// A word nobody expected, where `shape` (none: before any command) was
// being read.
std::string Unexpected(const std::string& word, const Shape* shape)
{
  if (word.size() > 1 && word[0] == '-')
  {
    return WithSuggestion("unknown option " + word, word, OptionNames(shape));
  }
  if (shape != nullptr)
  {
    return "unexpected " + word;
  }
  std::vector<std::string> commands;
  for (const Shape& known : Shapes())
  {
    commands.emplace_back(known.Name);
  }
  return WithSuggestion("unknown command " + word, word, commands);
}

// A word before the command, or after --version.
std::string BeforeCommand(const std::string& word, const Shape* shape, bool version)
{
  const std::vector<std::string> options = OptionNames(shape);
  if (shape != nullptr && std::find(options.begin(), options.end(), word) != options.end())
  {
    return word + " goes after the command: ashgrove-config " + shape->Name + " " + word;
  }
  return version ? "unexpected " + word : Unexpected(word, nullptr);
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

std::optional<std::string> TakeSeconds(const std::string& name, const std::string& text,
                                       Command& command)
{
  const bool lock = name == "--lock-timeout";
  const auto seconds = ParseSeconds(text, lock ? 0.0 : 0.01);
  if (!seconds)
  {
    return name + " takes seconds, from " + (lock ? "0" : "0.01") + " to 3600, not '" + text + "'";
  }
  (lock ? command.LockTimeoutSeconds : command.TimeoutSeconds) = *seconds;
  command.WaitOptions.push_back(name);
  command.WaitOptions.push_back(text);
  return std::nullopt;
}

// Puts one option's value where the command keeps it.
std::optional<std::string> Take(const std::string& name, const std::string& value, Command& command)
{
  if (name == "--timeout" || name == "--lock-timeout")
  {
    return TakeSeconds(name, value, command);
  }
  if (name == "--server")
  {
    command.Servers.push_back(value);
  }
  else if (name == "--rcon")
  {
    command.Rcon = value;
  }
  else
  {
    (name == "--server-dir"      ? command.ServerDir
     : name == "--password-file" ? command.PasswordFile
                                 : command.Cluster) = PathFromUtf8(value);
  }
  return std::nullopt;
}

std::optional<std::string> TakeAll(const Found& found, Command& command)
{
  for (const auto& [name, count] : found.Flags)
  {
    if (count > 1)
    {
      return name + " given twice";
    }
    bool& flag = name == "--strict"    ? command.Strict
                 : name == "--json"    ? command.Json
                 : name == "--dry-run" ? command.DryRun
                                       : command.ClusterSchema;
    flag = count == 1;
  }
  for (const auto& [name, values] : found.Values)
  {
    if (values.size() > 1 && name != "--server")
    {
      return name + " given twice";
    }
    for (const std::string& value : values)
    {
      if (auto error = Take(name, value, command))
      {
        return error;
      }
    }
  }
  if (found.Files.size() > 1)
  {
    return "more than one file: " + found.Files[0] + " and " + found.Files[1];
  }
  if (!found.Files.empty())
  {
    command.File = PathFromUtf8(found.Files.front());
  }
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

// "--server: 1 required TEXT missing": the option's name, and what it takes.
std::string MissingValue(const CLI::ParseError& error, const Shape* shape)
{
  const std::string what = error.what();
  constexpr std::string_view Override = " was given a disallowed flag override";
  if (what.ends_with(Override))
  {
    // "dry-run was given a disallowed flag override": --dry-run=VALUE.
    const std::string flag = what.substr(0, what.size() - Override.size());
    return (flag.size() == 1 ? "-" : "--") + flag + " takes no value";
  }
  const std::string name = what.substr(0, what.find(':'));
  if (shape != nullptr)
  {
    for (const Option& option : shape->Options)
    {
      if (name == option.Name)
      {
        return option.Value != nullptr ? name + " needs " + option.Value : name + " takes no value";
      }
    }
  }
  return name == "--help" || name == "-h" || name == "--version" ? name + " takes no value" : what;
}

ParsedCommand Failed(std::string error, const Shape* shape)
{
  return {Command{}, std::move(error),
          std::string("ashgrove-config ") +
              (shape != nullptr ? shape->Name + std::string(" ") : "") + "--help"};
}

// The command CLI11 found, and what it took; or the error in words.
ParsedCommand Interpret(const CLI::App& app, const std::vector<Found>& found, int version)
{
  const Found* chosen = nullptr;
  for (std::size_t i = 1; i < found.size(); ++i)
  {
    chosen = found[i].App->parsed() ? &found[i] : chosen;
  }
  const Shape* shape = chosen != nullptr ? chosen->Of : nullptr;
  if (found[0].Help > 0 || (chosen != nullptr && chosen->Help > 0))
  {
    return {};
  }
  const std::vector<std::string> extras = app.remaining();
  if (!extras.empty())
  {
    return Failed(BeforeCommand(extras.front(), shape, version > 0), shape);
  }
  if (chosen != nullptr && !chosen->App->remaining().empty())
  {
    return Failed(Unexpected(chosen->App->remaining().front(), shape), shape);
  }
  if (version > 0 && chosen != nullptr)
  {
    return Failed("unexpected " + chosen->App->get_name(), nullptr);
  }
  if (version > 0 || (chosen != nullptr && chosen->Of == nullptr))
  {
    ParsedCommand parsed;
    parsed.Value.Kind = chosen != nullptr && std::string(chosen->App->get_name()) == "help"
                            ? CommandKind::Help
                            : CommandKind::Version;
    return parsed;
  }
  if (chosen == nullptr)
  {
    return Failed("no command", nullptr);
  }
  ParsedCommand parsed;
  parsed.Value.Kind = shape->Kind;
  if (auto error = TakeAll(*chosen, parsed.Value))
  {
    return Failed(*error, shape);
  }
  if (auto error = Consistent(parsed.Value))
  {
    return Failed(*error, shape);
  }
  return parsed;
}
} // namespace

ParsedCommand ParseCommand(const std::vector<std::string>& arguments)
{
  CLI::App app{"ashgrove-config"};
  // One for the program itself, then one for each command; "help" and
  // "version" are words for the options.
  std::vector<Found> found(Shapes().size() + 3);
  found[0].App = &app;
  Declare(app, found[0]);
  int version = 0;
  app.add_flag("--version", version)->disable_flag_override();
  // One command: a word after it that names another is a file or a value.
  app.require_subcommand(0, 1);
  std::size_t i = 1;
  for (const Shape& shape : Shapes())
  {
    found[i].Of = &shape;
    found[i].App = app.add_subcommand(shape.Name);
    Declare(*found[i].App, found[i]);
    ++i;
  }
  for (const char* word : {"help", "version"})
  {
    found[i].App = app.add_subcommand(word);
    Declare(*found[i].App, found[i]);
    ++i;
  }
  // After "--" every word is a file, even one that begins with '-'.
  const auto end_of_options = std::find(arguments.begin(), arguments.end(), "--");
  std::vector<std::string> reversed(std::make_reverse_iterator(end_of_options), arguments.rend());
  try
  {
    app.parse(reversed);
  }
  catch (const CLI::ParseError& error)
  {
    const Shape* shape = nullptr;
    for (const Found& command : found)
    {
      shape = command.App->parsed() && command.Of != nullptr ? command.Of : shape;
    }
    return Failed(MissingValue(error, shape), shape);
  }
  for (auto word = end_of_options; word != arguments.end() && ++word != arguments.end();)
  {
    for (Found& command : found)
    {
      if (command.App->parsed() && command.Of != nullptr && command.Of->TakesFile)
      {
        command.Files.push_back(*word);
      }
    }
  }
  return Interpret(app, found, version);
}
} // namespace configtool
