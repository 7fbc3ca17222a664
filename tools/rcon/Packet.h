#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The Source RCON protocol's packets, as the development server and
// ashgrove-config's client both send and read them: a little-endian size,
// id and type, then the body and two NUL bytes.
namespace rcon
{
// Packet types of the Source RCON protocol.
constexpr std::int32_t ResponseValue = 0;
constexpr std::int32_t ExecCommand = 2;
constexpr std::int32_t AuthResponse = 2;
constexpr std::int32_t Auth = 3;

// A packet's size field counts id, type, body and the two terminating NULs.
constexpr std::int32_t MinimumSize = 10;
constexpr std::int32_t MaximumSize = 4096;
// The longest body one packet can carry.
constexpr std::size_t MaximumBody = MaximumSize - MinimumSize;

struct Packet
{
  std::int32_t Id = 0;
  std::int32_t Type = 0;
  std::string Body;
};

// A whole packet, size field included, ready to send.
std::vector<unsigned char> Encode(const Packet& packet);

// The first packet at the start of a stream of received bytes.
struct Parsed
{
  enum Status
  {
    Incomplete,  // more bytes are needed
    OutOfBounds, // the size field is out of bounds: drop the connection
    Complete,
  };
  Status Result = Incomplete;
  std::size_t Consumed = 0; // bytes the packet took, size field included
  Packet Value;
};
Parsed Parse(const unsigned char* bytes, std::size_t length);

// A body cut into pieces that each fit one packet, cut only between UTF-8
// characters (bytes that are not UTF-8 are cut where they fill a packet).
// An empty body is one empty piece.
std::vector<std::string_view> SplitBody(std::string_view body);

// Appends a reply to `out` as one packet per piece of its body, all with the
// same id and type, so that a client reading up to an end marker gets the
// whole text.
void AppendReply(std::vector<unsigned char>& out, std::int32_t id, std::int32_t type,
                 std::string_view body);
} // namespace rcon
