#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace devserver
{
// A line the session cannot run, said in words.
class CommandError : public std::runtime_error
{
public:
  using std::runtime_error::runtime_error;
};

// What a command takes: a fixed number of positional words, then either
// key=value options (each at most once) or free text, the rest of the line
// as typed.
struct CommandShape
{
  const char* Usage = "";
  std::size_t Positional = 0;
  std::vector<std::string> Options;
  bool Text = false;
};

struct Arguments
{
  std::vector<std::string> Words;
  std::map<std::string, std::string> Options;
  std::string Text;
};

struct CommandLine
{
  std::string Command;
  std::string Rest; // everything after the command and the blanks that follow it
};

// A comment (first non-blank character '#') or a line of blanks.
bool IsCommentOrBlank(std::string_view line);

// The line without the carriage return or line feed it may end with.
std::string_view TrimmedLineEnd(std::string_view line);

// The command word and the rest; nothing for a comment or blank line.
std::optional<CommandLine> SplitCommand(std::string_view line);

// The rest of a line checked against the command's shape; throws
// CommandError for missing or extra words, unknown or repeated options.
Arguments ParseArguments(std::string_view rest, const CommandShape& shape);

// A number in full: no trailing characters, finite, and within the type's
// range; otherwise CommandError naming `what`.
template <class T> T ParseNumber(const std::string& text, const std::string& what);
} // namespace devserver
