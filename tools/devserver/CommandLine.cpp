#include "devserver/CommandLine.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

#include <fmt/format.h>

namespace devserver
{
namespace
{
// Every kind of blank separates words, so that no character can sit between
// two words unseen.
constexpr std::string_view Blanks = " \t\v\f\r";

std::string_view SkipBlanks(std::string_view text)
{
  const auto first = text.find_first_not_of(Blanks);
  return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

// Takes the first word off `text`, and the blanks after it.
std::string_view NextWord(std::string_view& text)
{
  text = SkipBlanks(text);
  const auto end = text.find_first_of(Blanks);
  const std::string_view word = text.substr(0, end);
  text = end == std::string_view::npos ? std::string_view{} : SkipBlanks(text.substr(end));
  return word;
}

void AddOption(Arguments& arguments, std::string_view word, const CommandShape& shape)
{
  const auto equals = word.find('=');
  const std::string key(word.substr(0, equals));
  bool known = false;
  for (const std::string& option : shape.Options)
  {
    known = known || option == key;
  }
  if (equals == std::string_view::npos || !known)
  {
    throw CommandError(fmt::format("unexpected '{}'; usage: {}", word, shape.Usage));
  }
  if (!arguments.Options.emplace(key, word.substr(equals + 1)).second)
  {
    throw CommandError(fmt::format("option '{}' given twice", key));
  }
}

template <class T> std::string RangeText()
{
  return fmt::format("{} to {}", std::numeric_limits<T>::lowest(), std::numeric_limits<T>::max());
}
} // namespace

bool IsCommentOrBlank(std::string_view line)
{
  const std::string_view start = SkipBlanks(line);
  return start.empty() || start.front() == '#';
}

std::string_view TrimmedLineEnd(std::string_view line)
{
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
  {
    line.remove_suffix(1);
  }
  return line;
}

std::optional<CommandLine> SplitCommand(std::string_view line)
{
  if (IsCommentOrBlank(line))
  {
    return std::nullopt;
  }
  std::string_view rest = TrimmedLineEnd(line);
  const std::string_view command = NextWord(rest);
  return CommandLine{std::string(command), std::string(rest)};
}

Arguments ParseArguments(std::string_view rest, const CommandShape& shape)
{
  Arguments arguments;
  for (std::size_t i = 0; i < shape.Positional; ++i)
  {
    const std::string_view word = NextWord(rest);
    if (word.empty())
    {
      throw CommandError(fmt::format("usage: {}", shape.Usage));
    }
    arguments.Words.emplace_back(word);
  }
  if (shape.Text)
  {
    arguments.Text = std::string(SkipBlanks(rest));
    return arguments;
  }
  while (!SkipBlanks(rest).empty())
  {
    AddOption(arguments, NextWord(rest), shape);
  }
  return arguments;
}

template <class T> T ParseNumber(const std::string& text, const std::string& what)
{
  T value{};
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error == std::errc::result_out_of_range && stop == end)
  {
    throw CommandError(fmt::format("{} {} is out of range ({})", what, text, RangeText<T>()));
  }
  if (error != std::errc() || stop != end)
  {
    throw CommandError(fmt::format("{} must be a number, not '{}'", what, text));
  }
  if constexpr (std::is_floating_point_v<T>)
  {
    if (!std::isfinite(value))
    {
      throw CommandError(fmt::format("{} must be a finite number, not '{}'", what, text));
    }
  }
  return value;
}

template std::int32_t ParseNumber<std::int32_t>(const std::string&, const std::string&);
template float ParseNumber<float>(const std::string&, const std::string&);
template double ParseNumber<double>(const std::string&, const std::string&);
} // namespace devserver
