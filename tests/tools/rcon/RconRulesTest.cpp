#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "rcon/ClientRules.h"
#include "rcon/Packet.h"
#include "rcon/ServerRules.h"

namespace
{
using rcon::Packet;

// Every action the rules take, as a line: "send 7 2 ''", "run 8 'cmd'",
// "close-when-sent", "drop reason".
class RecordedActions final : public rcon::ServerRules::Actions
{
public:
  bool LogIn(std::string_view password) override
  {
    Log.push_back("login '" + std::string(password) + "'");
    return password == "right";
  }
  bool RunCommand(std::int32_t id, std::string_view line) override
  {
    Log.push_back("run " + std::to_string(id) + " '" + std::string(line) + "'");
    return line == "Known";
  }
  void Send(std::int32_t id, std::int32_t type, std::string_view body) override
  {
    Log.push_back("send " + std::to_string(id) + " " + std::to_string(type) + " '" +
                  std::string(body) + "'");
  }
  void CloseWhenSent() override { Log.push_back("close-when-sent"); }
  void Drop(std::string_view reason) override { Log.push_back("drop " + std::string(reason)); }

  std::vector<std::string> Log;
};

struct ServerCase
{
  const char* Name;
  std::vector<Packet> Received;
  std::vector<std::string> Actions;
};

void PrintTo(const ServerCase& c, std::ostream* out)
{
  *out << c.Name;
}

class ServerRules : public ::testing::TestWithParam<ServerCase>
{
};

TEST_P(ServerRules, AnswerEachPacketAsTheProtocolSays)
{
  rcon::ServerRules rules;
  RecordedActions actions;
  for (const Packet& packet : GetParam().Received)
  {
    rules.Handle(packet, actions);
  }
  EXPECT_EQ(actions.Log, GetParam().Actions);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, ServerRules,
    ::testing::Values(
        ServerCase{"RightPasswordThenCommands",
                   {{5, rcon::Auth, "right"},
                    {6, rcon::ExecCommand, "Known"},
                    {7, rcon::ExecCommand, "Nope x"},
                    {8, rcon::ResponseValue, ""}},
                   {"login 'right'", "send 5 0 ''", "send 5 2 ''", "run 6 'Known'",
                    "run 7 'Nope x'", "send 7 0 'Unknown command: Nope x'", "send 8 0 ''"}},
        ServerCase{"WrongPasswordIsAnsweredMinusOneAndCloses",
                   {{5, rcon::Auth, "wrong"}},
                   {"login 'wrong'", "send -1 2 ''", "close-when-sent"}},
        ServerCase{"CommandBeforeAuthDrops",
                   {{5, rcon::ExecCommand, "Known"}},
                   {"drop command before authentication"}},
        ServerCase{"AnyPacketBeforeAuthDrops",
                   {{5, rcon::ResponseValue, ""}},
                   {"drop command before authentication"}},
        ServerCase{
            "AWrongSecondLoginUndoesTheFirst",
            {{1, rcon::Auth, "right"}, {2, rcon::Auth, "wrong"}, {3, rcon::ExecCommand, "Known"}},
            {"login 'right'", "send 1 0 ''", "send 1 2 ''", "login 'wrong'", "send -1 2 ''",
             "close-when-sent", "drop command before authentication"}}),
    [](const auto& test) { return std::string(test.param.Name); });

TEST(ClientRules, AuthAnswers)
{
  struct Case
  {
    Packet Received;
    rcon::AuthAnswer Answer;
  };
  const Case cases[] = {
      {{9, rcon::ResponseValue, ""}, rcon::AuthAnswer::Pending},
      {{-1, rcon::ResponseValue, ""}, rcon::AuthAnswer::Pending},
      {{9, rcon::AuthResponse, ""}, rcon::AuthAnswer::Accepted},
      {{-1, rcon::AuthResponse, ""}, rcon::AuthAnswer::Refused},
      {{8, rcon::AuthResponse, ""}, rcon::AuthAnswer::Unexpected},
      {{9, rcon::ResponseValue, "hello"}, rcon::AuthAnswer::Unexpected},
      {{9, 7, ""}, rcon::AuthAnswer::Unexpected},
  };
  for (const Case& c : cases)
  {
    EXPECT_EQ(rcon::ReadAuthAnswer(c.Received, 9), c.Answer)
        << c.Received.Id << " " << c.Received.Type << " '" << c.Received.Body << "'";
  }
}

// A long reply as the server splits it, joined again up to the marker.
TEST(ClientRules, AReplySplitIntoPacketsIsJoinedUpToTheEndMarker)
{
  const std::string body(3 * rcon::MaximumBody + 5, 'r');
  std::vector<unsigned char> stream;
  rcon::AppendReply(stream, 4, rcon::ResponseValue, body);
  rcon::AppendReply(stream, 5, rcon::ResponseValue, "");
  rcon::ReplyJoiner joiner(4, 5);
  std::size_t offset = 0;
  rcon::ReplyJoiner::Step step = rcon::ReplyJoiner::Step::More;
  int packets = 0;
  while (step == rcon::ReplyJoiner::Step::More && offset < stream.size())
  {
    const rcon::Parsed parsed = rcon::Parse(stream.data() + offset, stream.size() - offset);
    ASSERT_EQ(parsed.Result, rcon::Parsed::Complete);
    offset += parsed.Consumed;
    step = joiner.Take(parsed.Value);
    ++packets;
  }
  EXPECT_EQ(step, rcon::ReplyJoiner::Step::Done);
  EXPECT_EQ(packets, 5);
  EXPECT_EQ(joiner.Text(), body);
}

TEST(ClientRules, WhatIsNeitherPartOfTheReplyNorTheMarkerIsUnexpected)
{
  rcon::ReplyJoiner joiner(4, 5);
  EXPECT_EQ(joiner.Take({4, rcon::ResponseValue, "a"}), rcon::ReplyJoiner::Step::More);
  EXPECT_EQ(joiner.Take({3, rcon::ResponseValue, "b"}), rcon::ReplyJoiner::Step::Unexpected);
  EXPECT_EQ(joiner.Take({4, rcon::AuthResponse, ""}), rcon::ReplyJoiner::Step::Unexpected);
  EXPECT_EQ(joiner.Text(), "a");

  rcon::ReplyJoiner bounded(1, 2);
  const std::string piece(rcon::MaximumBody, 'x');
  rcon::ReplyJoiner::Step step = rcon::ReplyJoiner::Step::More;
  std::size_t taken = 0;
  while (step == rcon::ReplyJoiner::Step::More)
  {
    step = bounded.Take({1, rcon::ResponseValue, piece});
    taken += piece.size();
  }
  EXPECT_EQ(step, rcon::ReplyJoiner::Step::Unexpected);
  EXPECT_LE(bounded.Text().size(), rcon::ReplyJoiner::Limit);
  EXPECT_GT(taken, rcon::ReplyJoiner::Limit);
}

TEST(ClientRules, ACommandIsFollowedByItsEndMarker)
{
  const std::vector<unsigned char> bytes = rcon::CommandRequest(7, "Ashgrove.Reload", 8);
  const rcon::Parsed command = rcon::Parse(bytes.data(), bytes.size());
  ASSERT_EQ(command.Result, rcon::Parsed::Complete);
  EXPECT_EQ(command.Value.Id, 7);
  EXPECT_EQ(command.Value.Type, rcon::ExecCommand);
  EXPECT_EQ(command.Value.Body, "Ashgrove.Reload");
  const rcon::Parsed marker =
      rcon::Parse(bytes.data() + command.Consumed, bytes.size() - command.Consumed);
  ASSERT_EQ(marker.Result, rcon::Parsed::Complete);
  EXPECT_EQ(marker.Value.Id, 8);
  EXPECT_EQ(marker.Value.Type, rcon::ResponseValue);
  EXPECT_EQ(marker.Value.Body, "");
  EXPECT_EQ(command.Consumed + marker.Consumed, bytes.size());
}
} // namespace
