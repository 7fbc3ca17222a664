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
  Help,
};

struct Command
{
  CommandKind Kind = CommandKind::Help;
  std::optional<std::filesystem::path> File;
  std::optional<std::filesystem::path> ServerDir;
  bool Strict = false;
  bool Json = false;
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
