#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace devserver::rcon
{
// Packet types of the Source RCON protocol.
constexpr std::int32_t ResponseValue = 0;
constexpr std::int32_t ExecCommand = 2;
constexpr std::int32_t AuthResponse = 2;
constexpr std::int32_t Auth = 3;

// A packet's size field counts id, type, body and the two terminating NULs.
constexpr std::int32_t MinimumSize = 10;
constexpr std::int32_t MaximumSize = 4096;

struct Packet
{
  std::int32_t Id = 0;
  std::int32_t Type = 0;
  std::string Body;
};

// The size field of a packet header; nothing when it is out of bounds and
// the connection should be dropped.
std::optional<std::int32_t> ReadSize(const unsigned char (&header)[4]);

// A packet from the bytes that follow its size field.
Packet Decode(const std::vector<unsigned char>& payload);

// A whole packet, size field included, ready to send.
std::vector<unsigned char> Encode(const Packet& packet);
} // namespace devserver::rcon
