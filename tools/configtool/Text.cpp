#include "configtool/Text.h"

#include <algorithm>
#include <cctype>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

namespace configtool
{
namespace
{
std::string Lowered(std::string_view text)
{
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

// Edits (insertions, deletions, substitutions) between two short words.
std::size_t EditDistance(std::string_view a, std::string_view b)
{
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j)
  {
    row[j] = j;
  }
  for (std::size_t i = 1; i <= a.size(); ++i)
  {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j)
    {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}
} // namespace

std::string Utf8(const std::filesystem::path& path)
{
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

std::filesystem::path PathFromUtf8(const std::string& text)
{
  return {std::u8string(text.begin(), text.end())};
}

std::string Printable(std::string_view text)
{
  std::string out;
  out.reserve(text.size());
  for (const char c : text)
  {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F)
    {
      out += fmt::format("\\x{:02X}", byte);
    }
    else
    {
      out += c;
    }
  }
  return out;
}

std::string Quote(std::string_view text)
{
  return nlohmann::json(std::string(text))
      .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::optional<std::string> NoFileReason(const std::filesystem::file_status& status,
                                        const std::error_code& error)
{
  switch (status.type())
  {
  case std::filesystem::file_type::regular:
    return std::nullopt;
  case std::filesystem::file_type::none:
    return error.message();
  case std::filesystem::file_type::not_found:
    return "no such file";
  case std::filesystem::file_type::directory:
    return "it is a folder";
  default:
    return "it is not a regular file";
  }
}

std::string WithMark(std::string text, std::string_view mark, std::string_view value)
{
  if (const auto at = text.find(mark); at != std::string::npos)
  {
    text.replace(at, mark.size(), value);
  }
  return text;
}

std::optional<std::string> Nearest(std::string_view word,
                                   const std::vector<std::string>& candidates)
{
  const std::string lowered = Lowered(word);
  const std::string* best = nullptr;
  std::size_t best_distance = 4; // more edits than this is another word
  for (const std::string& candidate : candidates)
  {
    // A word mostly changed is another word, not a slip.
    const std::size_t distance = EditDistance(lowered, Lowered(candidate));
    if (distance < best_distance && distance <= word.size() / 2)
    {
      best = &candidate;
      best_distance = distance;
    }
  }
  if (best == nullptr)
  {
    return std::nullopt;
  }
  return *best;
}
} // namespace configtool
