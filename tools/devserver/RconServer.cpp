#include "devserver/RconServer.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include <fmt/format.h>

namespace devserver
{
namespace
{
using asio::ip::tcp;
using namespace std::chrono_literals;

// The sweep runs often enough to catch the shortest deadline within a
// quarter of it, and at least twice a second.
std::chrono::milliseconds SweepPeriod(const RconLimits& limits)
{
  const auto shortest = std::min({limits.AuthTimeout, limits.PacketTimeout, limits.WriteTimeout});
  return std::clamp<std::chrono::milliseconds>(shortest / 4, 10ms, 500ms);
}

bool OutOfDescriptors(const asio::error_code& error)
{
  if (error.category() != asio::system_category())
  {
    return false;
  }
  const int value = error.value();
  return value == EMFILE || value == ENFILE || value == ENOBUFS || value == ENOMEM;
}

// Compares every byte whatever the first difference, so that the time an
// answer takes does not tell how much of a guess was right.
bool SamePassword(std::string_view given, std::string_view expected)
{
  if (expected.empty())
  {
    return false; // never served without a password; and nothing to index below
  }
  unsigned difference = given.size() == expected.size() ? 0U : 1U;
  for (std::size_t i = 0; i < given.size(); ++i)
  {
    difference |= static_cast<unsigned char>(given[i]) ^
                  static_cast<unsigned char>(expected[i % expected.size()]);
  }
  return difference == 0U;
}
} // namespace

RconServer::RconServer(asio::io_context& io, RconSettings settings, std::ostream& diagnostics)
    : acceptor_(io, tcp::endpoint(asio::ip::make_address(settings.BindAddress), settings.Port)),
      retry_timer_(io), sweep_timer_(io), settings_(std::move(settings)), diagnostics_(diagnostics)
{
  Accept();
  ScheduleSweep();
}

RconServer::~RconServer()
{
  asio::error_code ignored;
  acceptor_.close(ignored);
  retry_timer_.cancel();
  sweep_timer_.cancel();
  for (const auto& connection : connections_)
  {
    connection->Detach();
    connection->Close({});
  }
}

std::uint16_t RconServer::Port() const
{
  return acceptor_.local_endpoint().port();
}

void RconServer::Accept()
{
  acceptor_.async_accept(
      [this](const asio::error_code& error, tcp::socket socket)
      {
        // Aborted: the server is closing, and may be gone already.
        if (error == asio::error::operation_aborted || !acceptor_.is_open())
        {
          return;
        }
        if (error)
        {
          AcceptFailed(error);
          return;
        }
        if (accept_error_)
        {
          diagnostics_ << "rcon: accepting connections again\n";
          accept_error_.reset();
        }
        try
        {
          Admit(std::move(socket));
        }
        catch (const std::exception& failure)
        {
          Diagnose(fmt::format("rcon: cannot admit a connection: {}", failure.what()));
        }
        Accept();
      });
}

// Reported once for as long as the same error lasts; when descriptors have
// run out, accepting waits a little for some to be freed.
void RconServer::AcceptFailed(const asio::error_code& error)
{
  if (accept_error_ != error)
  {
    diagnostics_ << "rcon: cannot accept connections: " << error.message()
                 << "; retrying until it works\n";
    accept_error_ = error;
  }
  retry_timer_.expires_after(OutOfDescriptors(error) ? 100ms : 10ms);
  retry_timer_.async_wait(
      [this](const asio::error_code& aborted)
      {
        if (!aborted)
        {
          Accept();
        }
      });
}

void RconServer::Admit(tcp::socket socket)
{
  asio::error_code error;
  const tcp::endpoint peer = socket.remote_endpoint(error);
  if (error)
  {
    return; // gone already
  }
  if (connections_.size() >= settings_.Limits.MaxConnections)
  {
    Diagnose(fmt::format("rcon: refusing a connection from {}: all {} connections are taken",
                         Describe(peer), connections_.size()));
    return;
  }
  // Replies are small and awaited one by one: send each at once.
  socket.set_option(tcp::no_delay(true), error);
  auto connection = std::make_shared<RconConnection>(
      std::move(socket), peer, static_cast<RconOwner&>(*this), settings_.Limits);
  connections_.push_back(connection);
  connection->Start();
}

void RconServer::ScheduleSweep()
{
  sweep_timer_.expires_after(SweepPeriod(settings_.Limits));
  sweep_timer_.async_wait(
      [this](const asio::error_code& aborted)
      {
        if (!aborted)
        {
          Sweep();
          ScheduleSweep();
        }
      });
}

void RconServer::Sweep()
{
  const Clock::time_point now = Clock::now();
  try
  {
    // A copy: a connection that closes leaves the table.
    const auto connections = connections_;
    for (const auto& connection : connections)
    {
      connection->CheckDeadlines(now);
    }
  }
  catch (const std::exception& failure)
  {
    diagnostics_ << "rcon: sweep failed: " << failure.what() << '\n';
  }
}

bool RconServer::LogIn(const asio::ip::address& address, std::string_view password)
{
  if (SamePassword(password, settings_.Password))
  {
    return true;
  }
  diagnostics_ << "rcon: wrong password from " << address.to_string() << '\n';
  return false;
}

void RconServer::Closed(RconConnection& connection)
{
  std::erase_if(connections_, [&](const auto& held) { return held.get() == &connection; });
}

void RconServer::Diagnose(const std::string& line)
{
  diagnostics_ << line << '\n';
}
} // namespace devserver
