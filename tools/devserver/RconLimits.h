#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace devserver
{
// What one RCON server allows its clients; docs/devserver.md documents each
// default.
struct RconLimits
{
  // Connections held at once; when the table is full a newcomer is turned
  // away.
  std::size_t MaxConnections = 64;
  // A connection must authenticate this soon after it is accepted.
  std::chrono::milliseconds AuthTimeout{5000};
  // A packet must arrive whole this soon after its first byte.
  std::chrono::milliseconds PacketTimeout{5000};
  // Replies waiting to be sent must make progress at least this often.
  std::chrono::milliseconds WriteTimeout{10000};
  // Past this many bytes of unsent replies a connection's requests wait
  // until half of them are sent.
  std::size_t OutputLimit = 64 * 1024;
};

struct RconSettings
{
  std::string BindAddress = "127.0.0.1";
  std::uint16_t Port = 0;
  std::string Password;
  RconLimits Limits;
};
} // namespace devserver
