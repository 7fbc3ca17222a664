#pragma once

#include <chrono>
#include <functional>
#include <string>

#include <asio/io_context.hpp>

// A Source RCON client over TCP, by the same rules the development server
// answers with (ClientRules.h): it logs in, sends one command followed by an
// end marker, and joins the reply up to the marker's answer. It never
// hangs: each step is bounded by a timeout. The password goes to the
// server and nowhere else.
namespace rcon
{
struct ServerAddress
{
  std::string Host; // a name, an IPv4 address or an IPv6 address without brackets
  std::string Port;
};

enum class ExchangeOutcome
{
  Answered,    // the command's whole reply came
  Unreachable, // no connection: refused, no such host, or a network error
  AuthFailed,  // the server refused the password
  TimedOut,    // a step got no complete answer in time
  Unexpected,  // the server sent what the protocol has no place for
};

struct ExchangeResult
{
  ExchangeOutcome Outcome = ExchangeOutcome::Unexpected;
  std::string Reply; // the command's reply; what came instead, when unexpected
  std::string Error; // why there is no reply, in words
  std::chrono::milliseconds Elapsed{0};
};

// Sends `command` to one server on `io`. Resolving and connecting, the login
// and the reply are each given `timeout`; `done` is called once, on the
// io_context's thread, when the exchange has ended either way. Many
// exchanges may run on one io_context at once.
void SendCommand(asio::io_context& io, ServerAddress address, std::string password,
                 std::string command, std::chrono::milliseconds timeout,
                 std::function<void(ExchangeResult)> done);

// Only logs in, to learn whether the server answers and takes the password:
// Answered, with no reply, once it has.
void LogIn(asio::io_context& io, ServerAddress address, std::string password,
           std::chrono::milliseconds timeout, std::function<void(ExchangeResult)> done);
} // namespace rcon
