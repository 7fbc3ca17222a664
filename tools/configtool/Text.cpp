#include "configtool/Text.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

namespace configtool
{
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
} // namespace configtool
