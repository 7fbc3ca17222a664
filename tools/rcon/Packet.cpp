#include "rcon/Packet.h"

namespace rcon
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

bool InSizeBounds(std::int32_t size)
{
  return size >= MinimumSize && size <= MaximumSize;
}

Packet DecodePayload(const unsigned char* payload, std::size_t length)
{
  Packet packet;
  packet.Id = ReadInt(payload);
  packet.Type = ReadInt(payload + 4);
  // The body ends at its first NUL; the protocol puts two after it.
  std::size_t end = 8;
  while (end < length && payload[end] != 0)
  {
    ++end;
  }
  packet.Body.assign(payload + 8, payload + end);
  return packet;
}

void AppendPacket(std::vector<unsigned char>& out, std::int32_t id, std::int32_t type,
                  std::string_view body)
{
  WriteInt(out, static_cast<std::int32_t>(body.size()) + MinimumSize);
  WriteInt(out, id);
  WriteInt(out, type);
  out.insert(out.end(), body.begin(), body.end());
  out.push_back(0);
  out.push_back(0);
}

bool IsContinuationByte(char c)
{
  return (static_cast<unsigned char>(c) & 0xC0U) == 0x80U;
}

// Where to end a piece of a longer text: before the character that would
// not fit whole. A UTF-8 character has at most three continuation bytes.
std::size_t PieceLength(std::string_view text)
{
  std::size_t cut = MaximumBody;
  while (cut > MaximumBody - 3 && IsContinuationByte(text[cut]))
  {
    --cut;
  }
  return IsContinuationByte(text[cut]) ? MaximumBody : cut;
}
} // namespace

std::vector<unsigned char> Encode(const Packet& packet)
{
  std::vector<unsigned char> out;
  out.reserve(packet.Body.size() + 14);
  AppendPacket(out, packet.Id, packet.Type, packet.Body);
  return out;
}

Parsed Parse(const unsigned char* bytes, std::size_t length)
{
  Parsed parsed;
  if (length < 4)
  {
    return parsed;
  }
  const std::int32_t size = ReadInt(bytes);
  if (!InSizeBounds(size))
  {
    parsed.Result = Parsed::OutOfBounds;
    return parsed;
  }
  const auto total = static_cast<std::size_t>(size) + 4;
  if (length < total)
  {
    return parsed;
  }
  parsed.Result = Parsed::Complete;
  parsed.Consumed = total;
  parsed.Value = DecodePayload(bytes + 4, static_cast<std::size_t>(size));
  return parsed;
}

std::vector<std::string_view> SplitBody(std::string_view body)
{
  std::vector<std::string_view> pieces;
  while (body.size() > MaximumBody)
  {
    const std::size_t length = PieceLength(body);
    pieces.push_back(body.substr(0, length));
    body.remove_prefix(length);
  }
  pieces.push_back(body);
  return pieces;
}

void AppendReply(std::vector<unsigned char>& out, std::int32_t id, std::int32_t type,
                 std::string_view body)
{
  for (const std::string_view piece : SplitBody(body))
  {
    AppendPacket(out, id, type, piece);
  }
}
} // namespace rcon
