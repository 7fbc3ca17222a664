#include "devserver/Output.h"

#include <algorithm>

#include <fmt/format.h>

namespace devserver
{
std::string Quoted(std::string_view text)
{
  std::string out = "\"";
  for (const char c : text)
  {
    switch (c)
    {
    case '"':
      out += "\\\"";
      break;
    case '\\':
      out += "\\\\";
      break;
    case '\n':
      out += "\\n";
      break;
    default:
      out += c;
    }
  }
  out += '"';
  return out;
}

std::string Number(float value)
{
  return fmt::format("{}", value);
}

std::string Number(double value)
{
  return fmt::format("{}", value);
}

std::string InColour(const std::string& line, const MessageColour& colour)
{
  const auto channel = [](float value)
  { return static_cast<int>(std::clamp(value, 0.0F, 1.0F) * 255.0F + 0.5F); };
  return fmt::format("\x1b[38;2;{};{};{}m{}\x1b[0m", channel(colour.R), channel(colour.G),
                     channel(colour.B), line);
}
} // namespace devserver
