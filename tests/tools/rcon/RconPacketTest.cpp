#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "rcon/Packet.h"

namespace
{
using rcon::MaximumBody;

struct SplitCase
{
  const char* Name;
  std::string Body;
  std::vector<std::size_t> Pieces; // their lengths
};

void PrintTo(const SplitCase& split, std::ostream* out)
{
  *out << split.Name;
}

std::string Repeat(const std::string& text, std::size_t times)
{
  std::string out;
  for (std::size_t i = 0; i < times; ++i)
  {
    out += text;
  }
  return out;
}

class RconSplit : public ::testing::TestWithParam<SplitCase>
{
};

// Each piece fits one packet, ends between two UTF-8 characters, and the
// pieces make up the body again in order.
TEST_P(RconSplit, CutsBetweenCharactersIntoPacketsThatFit)
{
  const SplitCase& c = GetParam();
  const auto pieces = rcon::SplitBody(c.Body);
  std::vector<std::size_t> lengths;
  std::string joined;
  for (const auto piece : pieces)
  {
    lengths.push_back(piece.size());
    joined += piece;
  }
  EXPECT_EQ(lengths, c.Pieces);
  EXPECT_EQ(joined, c.Body);
}

const std::string A = "a";
const std::string E = "\xC3\xA9";            // two bytes
const std::string Euro = "\xE2\x82\xAC";     // three bytes
const std::string Face = "\xF0\x9F\x98\x80"; // four bytes

INSTANTIATE_TEST_SUITE_P(
    Bodies, RconSplit,
    ::testing::Values(
        SplitCase{"Empty", "", {0}},
        SplitCase{"OnePacketFull", Repeat(A, MaximumBody), {MaximumBody}},
        SplitCase{"OneByteOver", Repeat(A, MaximumBody + 1), {MaximumBody, 1}},
        SplitCase{
            "TwoByteCharacterAcrossTheEdge", Repeat(A, MaximumBody - 1) + E, {MaximumBody - 1, 2}},
        SplitCase{"ThreeByteCharacterAcrossTheEdge",
                  Repeat(A, MaximumBody - 2) + Euro,
                  {MaximumBody - 2, 3}},
        SplitCase{"FourByteCharacterAcrossTheEdge",
                  Repeat(A, MaximumBody - 1) + Face,
                  {MaximumBody - 1, 4}},
        SplitCase{
            "CharacterEndingAtTheEdge", Repeat(A, MaximumBody - 4) + Face + A, {MaximumBody, 1}},
        SplitCase{
            "ManyPackets", Repeat(E, 5000), {MaximumBody, MaximumBody, 10000 - 2 * MaximumBody}},
        // Bytes that are not UTF-8 are cut where the packet is full.
        SplitCase{"NotUtf8", A + Repeat("\x80", MaximumBody + 10), {MaximumBody, 11}}),
    [](const auto& test) { return std::string(test.param.Name); });

TEST(RconPacket, EncodesTheWireFormat)
{
  const auto bytes = rcon::Encode({-1, 2, "caf\xC3\xA9"});
  const std::vector<unsigned char> expected = {15, 0, 0,   0,   0xFF, 0xFF, 0xFF, 0xFF, 2, 0,
                                               0,  0, 'c', 'a', 'f',  0xC3, 0xA9, 0,    0};
  EXPECT_EQ(bytes, expected);
}

TEST(RconReply, EveryPartCarriesTheRequestsIdAndType)
{
  std::vector<unsigned char> out;
  const std::string body = Repeat(Euro, 3000); // 9000 bytes: three packets
  rcon::AppendReply(out, 42, rcon::ResponseValue, body);
  std::string joined;
  std::size_t offset = 0;
  int parts = 0;
  while (offset < out.size())
  {
    const auto parsed = rcon::Parse(out.data() + offset, out.size() - offset);
    ASSERT_EQ(parsed.Result, rcon::Parsed::Complete);
    EXPECT_EQ(parsed.Value.Id, 42);
    EXPECT_EQ(parsed.Value.Type, rcon::ResponseValue);
    joined += parsed.Value.Body;
    offset += parsed.Consumed;
    ++parts;
  }
  EXPECT_EQ(parts, 3);
  EXPECT_EQ(joined, body);
}

TEST(RconParse, TakesOnePacketFromTheFrontOfAStream)
{
  auto bytes = rcon::Encode({7, rcon::ExecCommand, "Ashgrove.Reload"});
  const std::size_t whole = bytes.size();
  const auto next = rcon::Encode({8, rcon::Auth, "x"});
  bytes.insert(bytes.end(), next.begin(), next.begin() + 5);

  for (std::size_t length : {std::size_t{0}, std::size_t{3}, std::size_t{4}, whole - 1})
  {
    EXPECT_EQ(rcon::Parse(bytes.data(), length).Result, rcon::Parsed::Incomplete)
        << length << " bytes";
  }
  const auto parsed = rcon::Parse(bytes.data(), bytes.size());
  ASSERT_EQ(parsed.Result, rcon::Parsed::Complete);
  EXPECT_EQ(parsed.Consumed, whole);
  EXPECT_EQ(parsed.Value.Id, 7);
  EXPECT_EQ(parsed.Value.Body, "Ashgrove.Reload");

  // A size out of bounds is known from the size field alone.
  for (const std::int32_t size : {9, 4097, -1})
  {
    std::vector<unsigned char> header = rcon::Encode({1, 2, ""});
    header[0] = static_cast<unsigned char>(size);
    header[1] = static_cast<unsigned char>(static_cast<std::uint32_t>(size) >> 8U);
    header[2] = static_cast<unsigned char>(static_cast<std::uint32_t>(size) >> 16U);
    header[3] = static_cast<unsigned char>(static_cast<std::uint32_t>(size) >> 24U);
    EXPECT_EQ(rcon::Parse(header.data(), 4).Result, rcon::Parsed::OutOfBounds) << size;
  }
}
} // namespace
