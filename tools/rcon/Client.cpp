#include "rcon/Client.h"

#include <array>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <asio.hpp>

#include "rcon/ClientRules.h"
#include "rcon/Packet.h"

namespace rcon
{
namespace
{
using asio::ip::tcp;
using Clock = std::chrono::steady_clock;

constexpr std::int32_t AuthId = 1;
constexpr std::int32_t CommandId = 2;
constexpr std::int32_t MarkerId = 3;

std::string Seconds(std::chrono::milliseconds timeout)
{
  const double seconds = std::chrono::duration<double>(timeout).count();
  std::string text = std::to_string(seconds);
  text.erase(text.find_last_not_of('0') + 1);
  if (text.back() == '.')
  {
    text.pop_back();
  }
  return text + " s";
}

// A packet the protocol has no place for, as it came; its body only where
// it cannot be the password sent back.
std::string AsReceived(const Packet& packet, bool with_body)
{
  std::string text =
      "a packet of type " + std::to_string(packet.Type) + " with id " + std::to_string(packet.Id);
  return with_body ? text + ": \"" + packet.Body + "\"" : text;
}

class Exchange : public std::enable_shared_from_this<Exchange>
{
public:
  // Without a command, the exchange ends once the login is accepted.
  Exchange(asio::io_context& io, ServerAddress address, std::string password,
           std::optional<std::string> command, std::chrono::milliseconds timeout,
           std::function<void(ExchangeResult)> done)
      : resolver_(io), socket_(io), timer_(io), address_(std::move(address)),
        password_(std::move(password)), command_(std::move(command)), timeout_(timeout),
        done_(std::move(done)), started_(Clock::now()), joiner_(CommandId, MarkerId)
  {
  }

  void Start()
  {
    Deadline("could not connect within " + Seconds(timeout_));
    resolver_.async_resolve(
        address_.Host, address_.Port, tcp::resolver::numeric_service,
        [self = shared_from_this()](const asio::error_code& error,
                                    const tcp::resolver::results_type& endpoints)
        { self->Resolved(error, endpoints); });
  }

private:
  enum class Step
  {
    Connecting,
    LoggingIn,
    AwaitingReply,
  };

  // The step under way must end by then, or the exchange ends as timed out.
  void Deadline(std::string what)
  {
    timer_.expires_after(timeout_);
    timer_.async_wait(
        [self = shared_from_this(), what = std::move(what)](const asio::error_code& error)
        {
          if (!error)
          {
            self->Finish(ExchangeOutcome::TimedOut, {}, what);
          }
        });
  }

  void Resolved(const asio::error_code& error, const tcp::resolver::results_type& endpoints)
  {
    if (finished_)
    {
      return;
    }
    if (error)
    {
      Finish(ExchangeOutcome::Unreachable, {},
             "cannot find " + address_.Host + ": " + error.message());
      return;
    }
    asio::async_connect(socket_, endpoints,
                        [self = shared_from_this()](const asio::error_code& failure,
                                                    const tcp::endpoint& /*endpoint*/)
                        { self->Connected(failure); });
  }

  void Connected(const asio::error_code& error)
  {
    if (finished_)
    {
      return;
    }
    if (error)
    {
      Finish(ExchangeOutcome::Unreachable, {}, error.message());
      return;
    }
    asio::error_code ignored;
    socket_.set_option(tcp::no_delay(true), ignored);
    step_ = Step::LoggingIn;
    Deadline("no answer to the login within " + Seconds(timeout_));
    Send(Encode({AuthId, Auth, password_}));
    // Once sent, this exchange keeps the password no longer.
    std::fill(password_.begin(), password_.end(), '\0');
    password_.clear();
    Read();
  }

  void Send(std::vector<unsigned char> bytes)
  {
    auto buffer = std::make_shared<std::vector<unsigned char>>(std::move(bytes));
    asio::async_write(
        socket_, asio::buffer(*buffer),
        [self = shared_from_this(), buffer](const asio::error_code& error, std::size_t /*sent*/)
        {
          std::fill(buffer->begin(), buffer->end(), 0);
          if (error && !self->finished_)
          {
            self->Finish(ExchangeOutcome::Unreachable, {}, error.message());
          }
        });
  }

  void Read()
  {
    socket_.async_read_some(
        asio::buffer(chunk_),
        [self = shared_from_this()](const asio::error_code& error, std::size_t bytes)
        { self->Received(error, bytes); });
  }

  void Received(const asio::error_code& error, std::size_t bytes)
  {
    if (finished_)
    {
      return;
    }
    if (error)
    {
      const std::string when =
          step_ == Step::LoggingIn ? "before it answered the login" : "before the reply was whole";
      Finish(ExchangeOutcome::Unreachable, {},
             error == asio::error::eof ? "the server closed the connection " + when
                                       : error.message());
      return;
    }
    inbox_.insert(inbox_.end(), chunk_.begin(),
                  chunk_.begin() + static_cast<std::ptrdiff_t>(bytes));
    std::size_t used = 0;
    while (!finished_)
    {
      const Parsed parsed = Parse(inbox_.data() + used, inbox_.size() - used);
      if (parsed.Result == Parsed::Incomplete)
      {
        break;
      }
      if (parsed.Result == Parsed::OutOfBounds)
      {
        Finish(ExchangeOutcome::Unexpected, {},
               "a packet whose size is out of the protocol's bounds");
        return;
      }
      used += parsed.Consumed;
      Take(parsed.Value);
    }
    inbox_.erase(inbox_.begin(), inbox_.begin() + static_cast<std::ptrdiff_t>(used));
    if (!finished_)
    {
      Read();
    }
  }

  void Take(const Packet& packet)
  {
    if (step_ == Step::LoggingIn)
    {
      switch (ReadAuthAnswer(packet, AuthId))
      {
      case AuthAnswer::Pending:
        return;
      case AuthAnswer::Accepted:
        if (!command_)
        {
          Finish(ExchangeOutcome::Answered, {}, {});
          return;
        }
        step_ = Step::AwaitingReply;
        Deadline("no complete answer within " + Seconds(timeout_));
        Send(CommandRequest(CommandId, *command_, MarkerId));
        return;
      case AuthAnswer::Refused:
        Finish(ExchangeOutcome::AuthFailed, {}, "wrong password");
        return;
      case AuthAnswer::Unexpected:
        break;
      }
      // What came back may be the password itself: its body is never shown.
      Finish(ExchangeOutcome::Unexpected, {},
             "instead of the login's answer, " + AsReceived(packet, false));
      return;
    }
    switch (joiner_.Take(packet))
    {
    case ReplyJoiner::Step::More:
      return;
    case ReplyJoiner::Step::Done:
      Finish(ExchangeOutcome::Answered, joiner_.Text(), {});
      return;
    case ReplyJoiner::Step::Unexpected:
      break;
    }
    Finish(ExchangeOutcome::Unexpected, packet.Body,
           "instead of the reply, " + AsReceived(packet, true));
  }

  void Finish(ExchangeOutcome outcome, std::string reply, std::string error)
  {
    if (finished_)
    {
      return;
    }
    finished_ = true;
    asio::error_code ignored;
    timer_.cancel();
    resolver_.cancel();
    socket_.shutdown(tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
    std::fill(password_.begin(), password_.end(), '\0');
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started_);
    done_({outcome, std::move(reply), std::move(error), elapsed});
  }

  tcp::resolver resolver_;
  tcp::socket socket_;
  asio::steady_timer timer_;
  ServerAddress address_;
  std::string password_;
  std::optional<std::string> command_;
  std::chrono::milliseconds timeout_;
  std::function<void(ExchangeResult)> done_;
  Clock::time_point started_;
  ReplyJoiner joiner_;
  Step step_ = Step::Connecting;
  bool finished_ = false;
  std::array<unsigned char, 8192> chunk_{};
  std::vector<unsigned char> inbox_;
};
} // namespace

void SendCommand(asio::io_context& io, ServerAddress address, std::string password,
                 std::string command, std::chrono::milliseconds timeout,
                 std::function<void(ExchangeResult)> done)
{
  std::make_shared<Exchange>(io, std::move(address), std::move(password), std::move(command),
                             timeout, std::move(done))
      ->Start();
}

void LogIn(asio::io_context& io, ServerAddress address, std::string password,
           std::chrono::milliseconds timeout, std::function<void(ExchangeResult)> done)
{
  std::make_shared<Exchange>(io, std::move(address), std::move(password), std::nullopt, timeout,
                             std::move(done))
      ->Start();
}
} // namespace rcon
