#pragma once

#include <cstdint>
#include <string_view>

#include "rcon/Packet.h"

namespace rcon
{
// What a server does with each packet a client sends on one connection, by
// the protocol's rules alone. Sockets, buffers and deadlines belong to
// whoever holds the connection, which the rules drive through its Actions.
class ServerRules
{
public:
  class Actions
  {
  public:
    // Whether the password lets the client in.
    virtual bool LogIn(std::string_view password) = 0;
    // Runs a command line for request `id`; false when the server has no
    // command of that name.
    virtual bool RunCommand(std::int32_t id, std::string_view line) = 0;
    virtual void Send(std::int32_t id, std::int32_t type, std::string_view body) = 0;
    // Ends the connection once what was sent has gone out.
    virtual void CloseWhenSent() = 0;
    // Ends it at once, for the reason given.
    virtual void Drop(std::string_view reason) = 0;

  protected:
    Actions() = default;
    ~Actions() = default;
    Actions(const Actions&) = default;
    Actions& operator=(const Actions&) = default;
  };

  // An auth request is answered with an empty response value and then the
  // auth response carrying its id, or with id -1 and the connection closed
  // once that is sent: one guess a connection. Anything before a successful
  // auth drops the connection. A command is run, or answered "Unknown
  // command: ..."; any other packet, such as the empty response value a
  // client sends to find the end of a long reply, gets an empty response
  // value with its id.
  void Handle(const Packet& packet, Actions& actions);

  [[nodiscard]] bool Authenticated() const { return authenticated_; }

private:
  bool authenticated_ = false;
};
} // namespace rcon
