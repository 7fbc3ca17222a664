#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <asio.hpp>

#include "rcon/Address.h"
#include "rcon/Client.h"
#include "rcon/Packet.h"

namespace
{
using asio::ip::tcp;
using namespace std::chrono_literals;

// A server on 127.0.0.1 that plays one connection by a script: each step
// reads a packet and answers with the packets the step makes of it.
class ScriptedServer
{
public:
  using Step = std::function<std::vector<rcon::Packet>(const rcon::Packet&)>;

  explicit ScriptedServer(std::vector<Step> steps, bool close_at_end = false)
      : acceptor_(io_, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)),
        thread_(
            [this, steps = std::move(steps), close_at_end]
            {
              asio::error_code error;
              tcp::socket socket = acceptor_.accept(error);
              if (error)
              {
                return;
              }
              for (const Step& step : steps)
              {
                const std::optional<rcon::Packet> packet = ReadPacket(socket);
                if (!packet)
                {
                  return;
                }
                for (const rcon::Packet& answer : step(*packet))
                {
                  asio::write(socket, asio::buffer(rcon::Encode(answer)), error);
                }
              }
              if (!close_at_end)
              {
                // Holds the connection until the client lets go.
                std::vector<unsigned char> rest(64);
                while (!error)
                {
                  socket.read_some(asio::buffer(rest), error);
                }
              }
            })
  {
  }

  ~ScriptedServer()
  {
    asio::error_code ignored;
    acceptor_.close(ignored);
    thread_.join();
  }

  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  [[nodiscard]] rcon::ServerAddress Address() const
  {
    return {"127.0.0.1", std::to_string(acceptor_.local_endpoint().port())};
  }

private:
  static std::optional<rcon::Packet> ReadPacket(tcp::socket& socket)
  {
    std::vector<unsigned char> bytes(4);
    asio::error_code error;
    asio::read(socket, asio::buffer(bytes), error);
    if (error)
    {
      return std::nullopt;
    }
    std::size_t size = 0;
    for (int i = 3; i >= 0; --i)
    {
      size = (size << 8U) | bytes[static_cast<std::size_t>(i)];
    }
    bytes.resize(4 + size);
    asio::read(socket, asio::buffer(bytes.data() + 4, size), error);
    if (error)
    {
      return std::nullopt;
    }
    return rcon::Parse(bytes.data(), bytes.size()).Value;
  }

  asio::io_context io_;
  tcp::acceptor acceptor_;
  std::thread thread_;
};

rcon::ExchangeResult Exchange(const rcon::ServerAddress& address,
                              std::chrono::milliseconds timeout = 2000ms)
{
  asio::io_context io;
  rcon::ExchangeResult result;
  int calls = 0;
  rcon::SendCommand(io, address, "secret", "Ashgrove.Reload", timeout,
                    [&](const rcon::ExchangeResult& done)
                    {
                      result = done;
                      ++calls;
                    });
  io.run();
  EXPECT_EQ(calls, 1);
  return result;
}

// The usual Source server: an empty response value, then the auth response.
std::vector<rcon::Packet> LogsIn(const rcon::Packet& auth)
{
  EXPECT_EQ(auth.Type, rcon::Auth);
  EXPECT_EQ(auth.Body, "secret");
  return {{auth.Id, rcon::ResponseValue, ""}, {auth.Id, rcon::AuthResponse, ""}};
}

std::vector<rcon::Packet> Nothing(const rcon::Packet& /*packet*/)
{
  return {};
}

TEST(RconClient, JoinsALongReplyUpToTheEndMarker)
{
  const std::string reply(9000, 'r');
  std::int32_t command_id = 0;
  ScriptedServer server(
      {LogsIn,
       [&](const rcon::Packet& command)
       {
         EXPECT_EQ(command.Type, rcon::ExecCommand);
         EXPECT_EQ(command.Body, "Ashgrove.Reload");
         command_id = command.Id;
         return std::vector<rcon::Packet>{};
       },
       [&](const rcon::Packet& marker)
       {
         std::vector<rcon::Packet> answers;
         for (const auto piece : rcon::SplitBody(reply))
         {
           answers.push_back({command_id, rcon::ResponseValue, std::string(piece)});
         }
         answers.push_back({marker.Id, rcon::ResponseValue, ""});
         return answers;
       }});
  const rcon::ExchangeResult result = Exchange(server.Address());
  EXPECT_EQ(result.Outcome, rcon::ExchangeOutcome::Answered) << result.Error;
  EXPECT_EQ(result.Reply, reply);
}

struct FailureCase
{
  const char* Name;
  std::vector<ScriptedServer::Step> Script;
  bool CloseAtEnd;
  rcon::ExchangeOutcome Outcome;
  const char* Error;
};

void PrintTo(const FailureCase& c, std::ostream* out)
{
  *out << c.Name;
}

class RconClientEnds : public ::testing::TestWithParam<FailureCase>
{
};

// However a server misbehaves, the exchange ends, in time, saying how.
TEST_P(RconClientEnds, AndSaysHow)
{
  const FailureCase& c = GetParam();
  ScriptedServer server(c.Script, c.CloseAtEnd);
  const rcon::ExchangeResult result = Exchange(server.Address(), 300ms);
  EXPECT_EQ(result.Outcome, c.Outcome);
  EXPECT_EQ(result.Error, c.Error);
  EXPECT_EQ(result.Error.find("secret"), std::string::npos);
  EXPECT_EQ(result.Reply.find("secret"), std::string::npos);
  EXPECT_LT(result.Elapsed, 2000ms);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, RconClientEnds,
    ::testing::Values(
        FailureCase{"WrongPassword",
                    {[](const rcon::Packet&) {
                      return std::vector<rcon::Packet>{{-1, rcon::AuthResponse, ""}};
                    }},
                    true,
                    rcon::ExchangeOutcome::AuthFailed,
                    "wrong password"},
        FailureCase{"SilentAfterAccepting",
                    {},
                    false,
                    rcon::ExchangeOutcome::TimedOut,
                    "no answer to the login within 0.3 s"},
        FailureCase{"SilentAfterTheCommand",
                    {LogsIn, Nothing, Nothing},
                    false,
                    rcon::ExchangeOutcome::TimedOut,
                    "no complete answer within 0.3 s"},
        FailureCase{"ClosesBeforeTheLoginsAnswer",
                    {Nothing},
                    true,
                    rcon::ExchangeOutcome::Unreachable,
                    "the server closed the connection before it answered the login"},
        // What comes back instead of the login's answer may be the
        // password itself: it is never shown.
        FailureCase{"EchoesTheLogin",
                    {[](const rcon::Packet& auth) { return std::vector<rcon::Packet>{auth}; }},
                    false,
                    rcon::ExchangeOutcome::Unexpected,
                    "instead of the login's answer, a packet of type 3 with id 1"},
        FailureCase{"AnswersWithAnotherId",
                    {LogsIn, Nothing,
                     [](const rcon::Packet&) {
                       return std::vector<rcon::Packet>{{77, rcon::ResponseValue, "hi"}};
                     }},
                    false,
                    rcon::ExchangeOutcome::Unexpected,
                    "instead of the reply, a packet of type 0 with id 77: \"hi\""}),
    [](const auto& test) { return std::string(test.param.Name); });

TEST(RconClient, NobodyListeningIsUnreachable)
{
  asio::io_context io;
  tcp::acceptor probe(io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
  const std::string port = std::to_string(probe.local_endpoint().port());
  probe.close();
  const rcon::ExchangeResult result = Exchange({"127.0.0.1", port});
  EXPECT_EQ(result.Outcome, rcon::ExchangeOutcome::Unreachable);
  EXPECT_FALSE(result.Error.empty());
}

TEST(RconAddress, TakesWhatOperatorsWrite)
{
  struct Case
  {
    const char* Text;
    const char* Host; // nullptr: refused
    const char* Port;
  };
  const Case cases[] = {
      {"127.0.0.1:27020", "127.0.0.1", "27020"},
      {"[::1]:27020", "::1", "27020"},
      {"[2001:db8::7]:1", "2001:db8::7", "1"},
      {"ark-1.example.org:65535", "ark-1.example.org", "65535"},
      {"localhost:27020", "localhost", "27020"},
      {"127.0.0.1", nullptr, nullptr},
      {"::1:27020", nullptr, nullptr},
      {"[::1]27020", nullptr, nullptr},
      {"[nonsense]:1", nullptr, nullptr},
      {"127.0.0.1:0", nullptr, nullptr},
      {"127.0.0.1:65536", nullptr, nullptr},
      {"127.0.0.1:27x", nullptr, nullptr},
      {":27020", nullptr, nullptr},
      {"999.1.1.1:1", nullptr, nullptr},
      {"bad host:1", nullptr, nullptr},
      {"-lead.example:1", nullptr, nullptr},
  };
  for (const Case& c : cases)
  {
    std::string why;
    const auto address = rcon::ParseServerAddress(c.Text, why);
    if (c.Host == nullptr)
    {
      EXPECT_FALSE(address) << c.Text;
      EXPECT_FALSE(why.empty()) << c.Text;
      continue;
    }
    ASSERT_TRUE(address) << c.Text << ": " << why;
    EXPECT_EQ(address->Host, c.Host);
    EXPECT_EQ(address->Port, c.Port);
    EXPECT_EQ(rcon::Describe(*address), c.Text);
  }
}
} // namespace
