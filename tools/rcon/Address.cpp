#include "rcon/Address.h"

#include <algorithm>
#include <cctype>

#include <asio/ip/address.hpp>

namespace rcon
{
namespace
{
bool IsDigits(std::string_view text)
{
  return !text.empty() && std::all_of(text.begin(), text.end(),
                                      [](unsigned char c) { return std::isdigit(c) != 0; });
}

bool IsPort(std::string_view text)
{
  if (!IsDigits(text) || text.size() > 5)
  {
    return false;
  }
  const int port = std::stoi(std::string(text));
  return port >= 1 && port <= 65535;
}

// Letters, digits, '-' and '_' in labels of 1 to 63 between dots, 253 in
// all.
bool IsHostName(std::string_view name)
{
  if (name.empty() || name.size() > 253)
  {
    return false;
  }
  std::size_t start = 0;
  while (start <= name.size())
  {
    const std::size_t dot = std::min(name.find('.', start), name.size());
    const std::string_view label = name.substr(start, dot - start);
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-' ||
        !std::all_of(label.begin(), label.end(),
                     [](unsigned char c) { return std::isalnum(c) != 0 || c == '-' || c == '_'; }))
    {
      return false;
    }
    start = dot + 1;
  }
  return true;
}

// Built by appending: GCC 12 at -O3 warns falsely of overlapping copies in
// "'" + std::string(...).
std::string InQuotes(std::string_view text)
{
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted += '\'';
  quoted += text;
  quoted += '\'';
  return quoted;
}

bool LooksNumeric(std::string_view host)
{
  return std::all_of(host.begin(), host.end(),
                     [](unsigned char c) { return std::isdigit(c) != 0 || c == '.'; });
}

struct HostAndPort
{
  std::string_view Host;
  std::string_view Port;
};

// "[IPV6]:PORT", the address perhaps with a zone ("%eth0"). The zone is
// the system's to find when connecting; the address is read alike on every
// system.
std::optional<HostAndPort> SplitBracketed(std::string_view text, std::string& why)
{
  const std::size_t close = text.find(']');
  if (close == std::string_view::npos || text.substr(close + 1, 1) != ":")
  {
    why = "an IPv6 address in brackets must be followed by :PORT, as in [::1]:27020";
    return std::nullopt;
  }
  const HostAndPort parts{text.substr(1, close - 1), text.substr(close + 2)};
  const std::size_t zone = parts.Host.find('%');
  asio::error_code error;
  asio::ip::make_address_v6(std::string(parts.Host.substr(0, zone)), error);
  if (error || zone + 1 == parts.Host.size())
  {
    why = InQuotes(parts.Host) + " is not an IPv6 address";
    return std::nullopt;
  }
  return parts;
}

// Four numbers from 0 to 255 in decimal, without leading zeros, as the
// address is read on every system (some also take "1.2.3" or octal).
bool IsDottedQuad(std::string_view host)
{
  int numbers = 0;
  for (std::size_t start = 0; start <= host.size(); ++numbers)
  {
    const std::size_t dot = std::min(host.find('.', start), host.size());
    const std::string_view number = host.substr(start, dot - start);
    if (!IsDigits(number) || number.size() > 3 || (number.size() > 1 && number[0] == '0') ||
        std::stoi(std::string(number)) > 255)
    {
      return false;
    }
    start = dot + 1;
  }
  return numbers == 4;
}

// "HOST:PORT", the host an IPv4 address or a name.
std::optional<HostAndPort> SplitPlain(std::string_view text, std::string& why)
{
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos)
  {
    why = "no port: write HOST:PORT, as in 127.0.0.1:27020";
    return std::nullopt;
  }
  const HostAndPort parts{text.substr(0, colon), text.substr(colon + 1)};
  if (parts.Host.find(':') != std::string_view::npos)
  {
    why = "an IPv6 address goes in brackets, as in [::1]:27020";
    return std::nullopt;
  }
  if (parts.Host.empty())
  {
    why = "no host before the port";
    return std::nullopt;
  }
  if (LooksNumeric(parts.Host) ? !IsDottedQuad(parts.Host) : !IsHostName(parts.Host))
  {
    why = InQuotes(parts.Host) + " is neither an IPv4 address nor a host name";
    return std::nullopt;
  }
  return parts;
}
} // namespace

std::optional<ServerAddress> ParseServerAddress(std::string_view text, std::string& why)
{
  const auto parts = text.starts_with('[') ? SplitBracketed(text, why) : SplitPlain(text, why);
  if (!parts)
  {
    return std::nullopt;
  }
  if (!IsPort(parts->Port))
  {
    why = "the port must be a number from 1 to 65535, not " + InQuotes(parts->Port);
    return std::nullopt;
  }
  return ServerAddress{std::string(parts->Host), std::string(parts->Port)};
}

std::string Describe(const ServerAddress& address)
{
  if (address.Host.find(':') != std::string::npos)
  {
    return "[" + address.Host + "]:" + address.Port;
  }
  return address.Host + ":" + address.Port;
}
} // namespace rcon
