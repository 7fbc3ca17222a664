#include "configtool/Arguments.h"

namespace configtool
{
namespace
{
std::string Text(const std::filesystem::path& word)
{
  const std::u8string text = word.u8string();
  return {text.begin(), text.end()};
}

ParsedCommand Failed(std::string error)
{
  return {Command{}, std::move(error)};
}

// check [FILE] [--server-dir DIR] [--strict] [--json], in any order.
ParsedCommand ParseCheck(const std::vector<std::filesystem::path>& arguments)
{
  Command command;
  command.Kind = CommandKind::Check;
  for (std::size_t i = 1; i < arguments.size(); ++i)
  {
    const std::string word = Text(arguments[i]);
    if (word == "--strict" || word == "--json")
    {
      bool& flag = word == "--strict" ? command.Strict : command.Json;
      if (flag)
      {
        return Failed(word + " given twice");
      }
      flag = true;
    }
    else if (word == "--server-dir")
    {
      if (command.ServerDir)
      {
        return Failed("--server-dir given twice");
      }
      if (i + 1 >= arguments.size())
      {
        return Failed("--server-dir needs a folder");
      }
      command.ServerDir = arguments[++i];
    }
    else if (word.rfind("--", 0) == 0 && word.size() > 2)
    {
      return Failed("unknown option " + word);
    }
    else if (command.File)
    {
      return Failed("more than one file: " + Text(*command.File) + " and " + word);
    }
    else
    {
      command.File = arguments[i];
    }
  }
  if (command.File && command.ServerDir)
  {
    return Failed("give either a file or --server-dir, not both");
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
  const std::string command = Text(arguments[0]);
  if (command == "check")
  {
    return ParseCheck(arguments);
  }
  if (command == "schema" || command == "--help" || command == "-h" || command == "help")
  {
    if (arguments.size() > 1)
    {
      return Failed("unexpected " + Text(arguments[1]));
    }
    Command parsed;
    parsed.Kind = command == "schema" ? CommandKind::Schema : CommandKind::Help;
    return {parsed, std::nullopt};
  }
  return Failed("unknown command " + command);
}
} // namespace configtool
