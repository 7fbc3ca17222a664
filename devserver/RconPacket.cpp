#include "devserver/RconPacket.h"

namespace devserver::rcon
{
namespace
{
std::int32_t ReadInt(const unsigned char* bytes)
{
  const std::uint32_t value =
      static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8U) |
      (static_cast<std::uint32_t>(bytes[2]) << 16U) | (static_cast<std::uint32_t>(bytes[3]) << 24U);
  return static_cast<std::int32_t>(value);
}

void WriteInt(std::vector<unsigned char>& out, std::int32_t value)
{
  const auto bits = static_cast<std::uint32_t>(value);
  for (unsigned shift = 0; shift < 32; shift += 8)
  {
    out.push_back(static_cast<unsigned char>((bits >> shift) & 0xFFU));
  }
}
} // namespace

std::optional<std::int32_t> ReadSize(const unsigned char (&header)[4])
{
  const std::int32_t size = ReadInt(header);
  if (size < MinimumSize || size > MaximumSize)
  {
    return std::nullopt;
  }
  return size;
}

Packet Decode(const std::vector<unsigned char>& payload)
{
  Packet packet;
  packet.Id = ReadInt(payload.data());
  packet.Type = ReadInt(payload.data() + 4);
  // The body ends at its first NUL; the protocol puts two after it.
  std::size_t end = 8;
  while (end < payload.size() && payload[end] != 0)
  {
    ++end;
  }
  packet.Body.assign(payload.begin() + 8, payload.begin() + static_cast<std::ptrdiff_t>(end));
  return packet;
}

std::vector<unsigned char> Encode(const Packet& packet)
{
  std::vector<unsigned char> out;
  out.reserve(packet.Body.size() + 14);
  WriteInt(out, static_cast<std::int32_t>(packet.Body.size() + 10));
  WriteInt(out, packet.Id);
  WriteInt(out, packet.Type);
  out.insert(out.end(), packet.Body.begin(), packet.Body.end());
  out.push_back(0);
  out.push_back(0);
  return out;
}
} // namespace devserver::rcon
