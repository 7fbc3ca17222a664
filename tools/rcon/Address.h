#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "rcon/Client.h"

namespace rcon
{
// A server's RCON address as an operator writes it, "HOST:PORT": an IPv4
// address (127.0.0.1:27020), an IPv6 address in brackets ([::1]:27020) or a
// host name (ark.example.org:27020), and a port from 1 to 65535. Nothing
// when the text is none of these; then `why` says what is wrong.
std::optional<ServerAddress> ParseServerAddress(std::string_view text, std::string& why);

// The address as the operator writes it again.
std::string Describe(const ServerAddress& address);
} // namespace rcon
